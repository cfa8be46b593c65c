#pragma once

#include <QAbstractButton>

class QLabel;

namespace globalstab::view {

// A button whose faces are pictures: child labels that fill it and that its owner shows and
// hides for the state at rest and while pressed. The button takes the pointer and the focus
// for them. A press is one press: dragging off and back does not press again, the release
// ends it wherever it happens, the second press of a double click is a press like the first,
// and Space, Return or Enter press and release it from the keyboard. Tab focus only; the
// faces wear a frame while the button has the focus.
class ArrowButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ArrowButton(QWidget* parent = nullptr);

    // Makes picture a face of the button, filling it.
    void addFace(QLabel* picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setFramed(bool framed);
};

} // namespace globalstab::view
