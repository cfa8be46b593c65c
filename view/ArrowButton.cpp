#include "view/ArrowButton.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace globalstab::view {

ArrowButton::ArrowButton(QWidget* parent) : QAbstractButton(parent)
{
    // A click must not move the focus; Tab reaches the button.
    setFocusPolicy(Qt::TabFocus);
}

void ArrowButton::addFace(QLabel* picture)
{
    picture->setParent(this);
    picture->setGeometry(rect());
    picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    picture->setFocusProxy(this);
    picture->setFrameShape(hasFocus() ? QFrame::Box : QFrame::NoFrame);
}

// The faces cover the whole button.
void ArrowButton::paintEvent(QPaintEvent*) {}

// Once pressed, the pointer belongs to the button until the release: leaving and coming back
// must not count as a second press.
bool ArrowButton::hitButton(const QPoint& pos) const
{
    return isDown() || QAbstractButton::hitButton(pos);
}

// The press that a double click begins with has already counted; the second one arrives
// both as a press and as this event, and must count once.
void ArrowButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

// A release of the left button is the button's own even when it ends no press (the focus
// left while the button was held): it must not reach the container as a click.
void ArrowButton::mouseReleaseEvent(QMouseEvent* event)
{
    QAbstractButton::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        event->accept();
}

void ArrowButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                        event->isAutoRepeat());
        QAbstractButton::keyPressEvent(&space);
        event->setAccepted(space.isAccepted());
        break;
    }
    case Qt::Key_Space:
    case Qt::Key_Select:
    case Qt::Key_Escape:
        QAbstractButton::keyPressEvent(event);
        break;
    default:
        // Arrow keys stay with the container rather than moving the focus.
        QWidget::keyPressEvent(event);
    }
}

void ArrowButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QAbstractButton::keyReleaseEvent(event);
    QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                    event->isAutoRepeat());
    QAbstractButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}

void ArrowButton::focusInEvent(QFocusEvent* event)
{
    setFramed(true);
    QAbstractButton::focusInEvent(event);
}

void ArrowButton::focusOutEvent(QFocusEvent* event)
{
    setFramed(false);
    QAbstractButton::focusOutEvent(event);
}

// A picture has no focus frame of its own.
void ArrowButton::setFramed(bool framed)
{
    for (QLabel* face : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        face->setFrameShape(framed ? QFrame::Box : QFrame::NoFrame);
}

} // namespace globalstab::view
