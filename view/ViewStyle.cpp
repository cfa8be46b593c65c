#include "view/ViewStyle.h"

#include "view/ArrowButton.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>

namespace globalstab::view {

const QColor BackColor(221, 221, 221);
const QColor FrameColor(224, 224, 224);

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
                 height / TwipsPerPixel);
}

QRect twipsAt(int left, int top)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, 0, 0);
}

QFont font()
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

namespace {
const char* const FillProperty = "globalstabFill";
const char* const FontProperty = "globalstabViewFont";

void paintFixed(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
} // namespace

void fillBackground(QWidget* widget, const QColor& color)
{
    widget->setProperty(FillProperty, color);
    paintFixed(widget, color);
}

void setDesignedFont(QWidget* widget, bool viewFont)
{
    widget->setProperty(FontProperty, viewFont);
    widget->setFont(viewFont ? font() : QFont());
}

void applyLook(QWidget* top, bool designed)
{
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* widget : widgets) {
        const QVariant fill = widget->property(FillProperty);
        if (fill.isValid()) {
            if (designed) {
                paintFixed(widget, fill.value<QColor>());
            } else {
                widget->setPalette(QPalette());
                widget->setAutoFillBackground(false);
            }
        }
        const QVariant viewFont = widget->property(FontProperty);
        if (viewFont.isValid())
            widget->setFont(designed && viewFont.toBool() ? font() : QFont());
    }
}

void setCaption(QGroupBox* frame, const QString& title)
{
    frame->setTitle(title);
    frame->setAccessibleName(QString(title).remove(QLatin1Char('&')).trimmed());
}

QPixmap arrowPixmap(bool up, bool pressed)
{
    const int size = 270 / TwipsPerPixel;
    QPixmap pixmap(size, size);
    pixmap.fill(FrameColor);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pressed ? QColor(96, 96, 96) : QColor(255, 255, 255));
    painter.drawLine(0, 0, size - 1, 0);
    painter.drawLine(0, 0, 0, size - 1);
    painter.setPen(pressed ? QColor(255, 255, 255) : QColor(96, 96, 96));
    painter.drawLine(size - 1, 0, size - 1, size - 1);
    painter.drawLine(0, size - 1, size - 1, size - 1);
    const qreal shift = pressed ? 1 : 0;
    const qreal mid = size / 2.0 + shift;
    QPainterPath arrow;
    if (up) {
        arrow.moveTo(mid, 4 + shift);
        arrow.lineTo(size - 4 + shift, size - 6 + shift);
        arrow.lineTo(4 + shift, size - 6 + shift);
    } else {
        arrow.moveTo(mid, size - 4 + shift);
        arrow.lineTo(size - 4 + shift, 6 + shift);
        arrow.lineTo(4 + shift, 6 + shift);
    }
    arrow.closeSubpath();
    painter.fillPath(arrow, pressed ? QColor(0, 0, 96) : QColor(0, 0, 0));
    return pixmap;
}

void Builder::placeWidget(QWidget* widget, const char* name, QWidget* container,
                          const QRect& geometry, int tabIndex)
{
    widget->setObjectName(QString::fromLatin1(name));
    if (container)
        widget->setParent(container);
    // Labels sized to their text get only a position here.
    if (geometry.isValid())
        widget->setGeometry(geometry);
    else
        widget->move(geometry.topLeft());
    m_tabOrder.emplace_back(tabIndex, widget);
}

QGroupBox* Builder::frame(QGroupBox* box, const char* name, QWidget* container,
                          const QRect& geometry, int tabIndex, QObject* clickFilter)
{
    place(box, name, container, geometry, tabIndex);
    fillBackground(box, FrameColor);
    if (clickFilter)
        box->installEventFilter(clickFilter);
    return box;
}

QLabel* Builder::label(const char* name, QWidget* container, const QRect& geometry, int tabIndex)
{
    auto* text = place(new QLabel, name, container, geometry, tabIndex);
    fillBackground(text, FrameColor);
    return text;
}

QListWidget* Builder::list(const char* name, QWidget* container, const QRect& geometry,
                           int tabIndex)
{
    auto* box = place(new QListWidget, name, container, geometry, tabIndex);
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    return box;
}

QPushButton* Builder::button(const char* name, QWidget* container, const QRect& geometry,
                             int tabIndex)
{
    return place(new QPushButton, name, container, geometry, tabIndex);
}

QLineEdit* Builder::edit(const char* name, QWidget* container, const QRect& geometry, int tabIndex)
{
    return place(new QLineEdit, name, container, geometry, tabIndex);
}

QLabel* Builder::picture(const char* name, ArrowButton* button, int tabIndex, bool up, bool pressed)
{
    auto* box = place(new QLabel, name, button, button->rect(), tabIndex);
    fillBackground(box, FrameColor);
    box->setPixmap(arrowPixmap(up, pressed));
    button->addFace(box);
    return box;
}

void Builder::applyTabOrder()
{
    std::stable_sort(m_tabOrder.begin(), m_tabOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [index, widget] : m_tabOrder) {
        Q_UNUSED(index);
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace globalstab::view
