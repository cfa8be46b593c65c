#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>

#include <utility>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QObject;
class QPushButton;
class QWidget;

namespace globalstab {

// The designed look of the tab: positions in twips, its two greys, its font.
namespace view {

class ArrowButton;

// At 96 dots per inch 15 twips make a pixel.
constexpr int TwipsPerPixel = 15;
QRect twips(int left, int top, int width, int height);
// A position only: the widget sizes itself to its caption.
QRect twipsAt(int left, int top);

extern const QColor BackColor;
extern const QColor FrameColor;
QFont font();
// A fixed background, with a fixed dark text colour on it, so that a dark theme of the
// host does not put light text on the light grey.
void fillBackground(QWidget* widget, const QColor& color);
// The font as designed: the tab's own (viewFont) or the one inherited from the container.
void setDesignedFont(QWidget* widget, bool viewFont);
// The designed look (fixed colours and font), or the host's application palette and font.
void applyLook(QWidget* top, bool designed);
// A frame's caption; screen readers hear the same text.
void setCaption(QGroupBox* frame, const QString& title);
// A small arrow on the frame colour; the pressed look is sunken and darker.
QPixmap arrowPixmap(bool up, bool pressed);

// Places the widgets of the view and notes their place in the tab order, which runs across
// all panels by the designed tab index.
class Builder
{
public:
    template <typename Widget>
    Widget* place(Widget* widget, const char* name, QWidget* container, const QRect& geometry,
                  int tabIndex)
    {
        placeWidget(widget, name, container, geometry, tabIndex);
        return widget;
    }
    // A frame on the frame colour; clicks reach clickFilter when one is given.
    QGroupBox* frame(QGroupBox* box, const char* name, QWidget* container, const QRect& geometry,
                     int tabIndex, QObject* clickFilter);
    QLabel* label(const char* name, QWidget* container, const QRect& geometry, int tabIndex);
    QListWidget* list(const char* name, QWidget* container, const QRect& geometry, int tabIndex);
    QPushButton* button(const char* name, QWidget* container, const QRect& geometry, int tabIndex);
    QLineEdit* edit(const char* name, QWidget* container, const QRect& geometry, int tabIndex);
    // A face of an arrow button: the arrow at rest or pressed, filling the button.
    QLabel* picture(const char* name, ArrowButton* button, int tabIndex, bool up, bool pressed);

    // Chains the focusable widgets in tab-index order.
    void applyTabOrder();

private:
    void placeWidget(QWidget* widget, const char* name, QWidget* container, const QRect& geometry,
                     int tabIndex);
    std::vector<std::pair<int, QWidget*>> m_tabOrder;
};

} // namespace view

} // namespace globalstab
