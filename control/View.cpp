#include "control/ctlGlobalsTab.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace globalstab {

namespace {

// Positions are laid out in twips; at 96 dots per inch 15 twips make a pixel.
constexpr int TwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
                 height / TwipsPerPixel);
}

const QColor BackColor(221, 221, 221);
const QColor FrameColor(224, 224, 224);

QFont viewFont()
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

void fillBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A small arrow on the frame colour; the pressed look is sunken and darker.
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

} // namespace

void ctlGlobalsTab::CreateView()
{
    setObjectName(QStringLiteral("ctlGlobalsTab"));
    setFont(viewFont());
    fillBackground(this, BackColor);
    // The widest frame reaches 8120 twips, the tallest 7095; leave the usual margin.
    setMinimumSize(8240 / TwipsPerPixel, 7215 / TwipsPerPixel);

    std::vector<std::pair<int, QWidget*>> tabOrder;
    auto place = [&](auto* widget, const char* name, QWidget* container, const QRect& geometry,
                     int tabIndex) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setParent(container);
        // Labels sized to their text get only a position here.
        if (geometry.isValid())
            widget->setGeometry(geometry);
        else
            widget->move(geometry.topLeft());
        tabOrder.emplace_back(tabIndex, widget);
        return widget;
    };
    auto frame = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex) {
        auto* box = place(new QGroupBox, name, container, geometry, tabIndex);
        fillBackground(box, FrameColor);
        box->installEventFilter(this);
        return box;
    };
    auto label = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex) {
        auto* text = place(new QLabel, name, container, geometry, tabIndex);
        fillBackground(text, FrameColor);
        return text;
    };
    auto list = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex) {
        auto* box = place(new QListWidget, name, container, geometry, tabIndex);
        box->setSelectionMode(QAbstractItemView::SingleSelection);
        return box;
    };
    auto button = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex) {
        return place(new QPushButton, name, container, geometry, tabIndex);
    };
    auto edit = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex) {
        return place(new QLineEdit, name, container, geometry, tabIndex);
    };
    auto picture = [&](const char* name, QWidget* container, const QRect& geometry, int tabIndex,
                       bool up, bool pressed) {
        auto* box = place(new QLabel, name, container, geometry, tabIndex);
        fillBackground(box, FrameColor);
        box->setPixmap(arrowPixmap(up, pressed));
        box->installEventFilter(this);
        return box;
    };

    // Panels first, so that the drop-down function lists paint above them.
    fraEditPrjNameID = frame("fraEditPrjNameID", this, twips(120, 840, 7935, 2415), 18);
    cmdProjectNameCancel =
        button("cmdProjectNameCancel", fraEditPrjNameID, twips(3600, 1920, 975, 375), 22);
    cmdProjectNameApply =
        button("cmdProjectNameApply", fraEditPrjNameID, twips(2520, 1920, 975, 375), 21);
    txtPrjoectRank = edit("txtPrjoectRank", fraEditPrjNameID, twips(240, 1920, 1215, 315), 38);
    txtProjectID = edit("txtProjectID", fraEditPrjNameID, twips(240, 1200, 1935, 315), 20);
    txtProjectName = edit("txtProjectName", fraEditPrjNameID, twips(240, 600, 4335, 315), 19);
    lblProjectRank = label("lblProjectRank", fraEditPrjNameID, twips(240, 1680, 1455, 255), 11);
    lblProjectID = label("lblProjectID", fraEditPrjNameID, twips(240, 960, 1215, 255), 24);
    lblProjectName = label("lblProjectName", fraEditPrjNameID, twips(240, 360, 3375, 255), 23);

    FraHC = frame("FraHC", this, twips(120, 840, 8000, 6255), 25);
    PictureMoveDown2 =
        picture("PictureMoveDown2", FraHC, twips(3360, 4680, 270, 270), 37, false, false);
    PictureMoveDown1 =
        picture("PictureMoveDown1", FraHC, twips(3360, 4680, 270, 270), 36, false, true);
    PictureMoveUP2 = picture("PictureMoveUP2", FraHC, twips(3360, 4320, 270, 270), 35, true, false);
    PictureMoveUP1 = picture("PictureMoveUP1", FraHC, twips(3360, 4320, 270, 270), 34, true, true);
    cmdApplyAddEditCate = button("cmdApplyAddEditCate", FraHC, twips(5040, 1080, 975, 375), 32);
    cmdCategoryCancel = button("cmdCategoryCancel", FraHC, twips(6120, 1080, 975, 375), 31);
    cmdCategoryDelete = button("cmdCategoryDelete", FraHC, twips(2160, 5235, 975, 375), 26);
    txtCategoryName = edit("txtCategoryName", FraHC, twips(3480, 600, 3615, 315), 29);
    lstAvaBookCategories = list("lstAvaBookCategories", FraHC, twips(120, 600, 3015, 4515), 27);
    lblNote = label("lblNote", FraHC, QRect(240 / TwipsPerPixel, 5760 / TwipsPerPixel, 0, 0), 33);
    lblCategoryName =
        label("lblCategoryName", FraHC, QRect(3480 / TwipsPerPixel, 360 / TwipsPerPixel, 0, 0), 30);
    lblAvailCatName = label("lblAvailCatName", FraHC, twips(120, 360, 2535, 255), 28);

    fraInfo = frame("fraInfo", this, twips(120, 720, 7935, 6255), 0);
    // fraInfo has no click handler.
    fraInfo->removeEventFilter(this);
    cmdDelGblPage = button("cmdDelGblPage", fraInfo, twips(1680, 5715, 975, 375), 7);
    fraAddEditGblPage = frame("fraAddEditGblPage", fraInfo, twips(2800, 120, 5055, 2655), 8);
    cmdCancelGblPage =
        button("cmdCancelGblPage", fraAddEditGblPage, twips(2880, 1560, 975, 375), 14);
    cmdBrowse = button("cmdBrowse", fraAddEditGblPage, twips(3960, 1080, 975, 375), 12);
    cmdAddGblPage = button("cmdAddGblPage", fraAddEditGblPage, twips(1800, 1560, 975, 375), 13);
    txtSourceTo = edit("txtSourceTo", fraAddEditGblPage, twips(240, 1080, 3615, 315), 10);
    txtPageName = edit("txtPageName", fraAddEditGblPage, twips(240, 480, 3615, 315), 9);
    lblTgtFrm = label("lblTgtFrm", fraAddEditGblPage,
                      QRect(240 / TwipsPerPixel, 2040 / TwipsPerPixel, 0, 0), 17);
    lblSourceto = label("lblSourceto", fraAddEditGblPage,
                        QRect(240 / TwipsPerPixel, 840 / TwipsPerPixel, 0, 0), 16);
    lblPageName = label("lblPageName", fraAddEditGblPage,
                        QRect(240 / TwipsPerPixel, 240 / TwipsPerPixel, 0, 0), 15);
    lstPages = list("lstPages", fraInfo, twips(120, 600, 2655, 5055), 5);
    lblListInfo = label("lblListInfo", fraInfo, twips(120, 360, 2535, 255), 6);

    lstAddItems = list("lstAddItems", this, twips(120, 480, 2055, 420), 2);
    lstEditItems = list("lstEditItems", this, twips(1560, 480, 2055, 615), 3);
    fillBackground(lstAddItems, BackColor);
    fillBackground(lstEditItems, BackColor);
    for (QListWidget* functionList : {lstAddItems, lstEditItems}) {
        QPalette palette = functionList->palette();
        palette.setColor(QPalette::Base, BackColor);
        functionList->setPalette(palette);
    }
    cmdEdit = button("cmdEdit", this, twips(1560, 120, 975, 375), 4);
    cmdAdd = button("cmdAdd", this, twips(120, 120, 975, 375), 1);

    // These two keep the container's default font rather than the tab's own.
    lblProjectRank->setFont(QFont());
    fraAddEditGblPage->setFont(QFont());
    for (QWidget* child : fraAddEditGblPage->findChildren<QWidget*>())
        child->setFont(viewFont());

    // Design-time captions hold the string id until start-up replaces them.
    fraEditPrjNameID->setTitle(QStringLiteral("105"));
    lblProjectName->setText(QStringLiteral("106"));
    lblProjectID->setText(QStringLiteral("107"));
    lblProjectRank->setText(QStringLiteral("146"));
    cmdProjectNameApply->setText(QStringLiteral("108"));
    cmdProjectNameCancel->setText(QStringLiteral("109"));
    fraAddEditGblPage->setTitle(QStringLiteral("110"));
    lblPageName->setText(QStringLiteral("111"));
    lblSourceto->setText(QStringLiteral("112"));
    cmdBrowse->setText(QStringLiteral("113"));
    lblTgtFrm->setText(QStringLiteral("5530"));
    cmdAddGblPage->setText(QStringLiteral("5588"));
    cmdDelGblPage->setText(QStringLiteral("5590"));
    cmdCancelGblPage->setText(QStringLiteral("137"));
    cmdAdd->setText(QStringLiteral("5541"));
    cmdEdit->setText(QStringLiteral("5542"));
    cmdApplyAddEditCate->setText(QStringLiteral("108"));
    cmdCategoryCancel->setText(QStringLiteral("109"));
    cmdCategoryDelete->setText(QStringLiteral("136"));
    lblNote->setText(QStringLiteral("5555"));
    lblCategoryName->setText(QStringLiteral("5553"));
    lblAvailCatName->setText(QStringLiteral("5552"));
    FraHC->setTitle(QStringLiteral("5550"));
    fraInfo->setTitle(QStringLiteral("5543"));
    lblListInfo->setText(QStringLiteral("Label"));

    // Visibility as designed.
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             lstAddItems, lstEditItems, FraHC, PictureMoveDown1, PictureMoveUP1, fraInfo,
             cmdDelGblPage, fraAddEditGblPage, lblTgtFrm})
        hidden->setVisible(false);

    std::stable_sort(tabOrder.begin(), tabOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [index, widget] : tabOrder) {
        Q_UNUSED(index);
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }

    txtPageName->installEventFilter(this);
    txtCategoryName->installEventFilter(this);

    connect(cmdAdd, &QPushButton::clicked, this, &ctlGlobalsTab::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &ctlGlobalsTab::cmdEdit_Click);
    connect(lstAddItems, &QListWidget::itemClicked, this, &ctlGlobalsTab::lstAddItems_Click);
    connect(lstEditItems, &QListWidget::itemClicked, this, &ctlGlobalsTab::lstEditItems_Click);
    connect(cmdProjectNameApply, &QPushButton::clicked, this,
            &ctlGlobalsTab::CmdProjectNameApply_click);
    connect(cmdProjectNameCancel, &QPushButton::clicked, this,
            &ctlGlobalsTab::cmdProjectNameCancel_Click);
    connect(lstPages, &QListWidget::itemClicked, this, &ctlGlobalsTab::lstPages_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &ctlGlobalsTab::cmdBrowse_Click);
    connect(cmdAddGblPage, &QPushButton::clicked, this, &ctlGlobalsTab::cmdAddGblPage_Click);
    connect(cmdCancelGblPage, &QPushButton::clicked, this, &ctlGlobalsTab::cmdCancelGblPage_Click);
    connect(cmdDelGblPage, &QPushButton::clicked, this, &ctlGlobalsTab::cmdDelGblPage_Click);
    connect(lstAvaBookCategories, &QListWidget::itemClicked, this,
            &ctlGlobalsTab::lstAvaBookCategories_Click);
    connect(cmdApplyAddEditCate, &QPushButton::clicked, this,
            &ctlGlobalsTab::cmdApplyAddEditCate_Click);
    connect(cmdCategoryCancel, &QPushButton::clicked, this,
            &ctlGlobalsTab::cmdCategoryCancel_Click);
    connect(cmdCategoryDelete, &QPushButton::clicked, this,
            &ctlGlobalsTab::cmdCategoryDelete_Click);
}

// Screen readers and UI automation find widgets by these names; the descriptions are the
// tooltips where a widget has one.
void ctlGlobalsTab::SetAccessibleTexts()
{
    auto plain = [](QString caption) { return caption.remove(QLatin1Char('&')).trimmed(); };
    const std::pair<QWidget*, QString> named[] = {
        {lstAddItems, QStringLiteral("Add functions")},
        {lstEditItems, QStringLiteral("Edit functions")},
        {txtProjectName, plain(lblProjectName->text())},
        {txtProjectID, plain(lblProjectID->text())},
        {txtPrjoectRank, plain(lblProjectRank->text())},
        {txtCategoryName, plain(lblCategoryName->text())},
        {lstAvaBookCategories, plain(lblAvailCatName->text())},
        {PictureMoveUP2, QStringLiteral("Move category up")},
        {PictureMoveUP1, QStringLiteral("Move category up")},
        {PictureMoveDown2, QStringLiteral("Move category down")},
        {PictureMoveDown1, QStringLiteral("Move category down")},
        {txtPageName, plain(lblPageName->text())},
        {txtSourceTo, plain(lblSourceto->text())},
        {lstPages, QStringLiteral("Available Global Pages")},
    };
    for (const auto& [widget, name] : named)
        widget->setAccessibleName(name);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->accessibleName().isEmpty()) {
            if (auto* button = qobject_cast<QPushButton*>(child))
                child->setAccessibleName(plain(button->text()));
            else if (auto* frame = qobject_cast<QGroupBox*>(child))
                child->setAccessibleName(plain(frame->title()));
        }
        if (!child->toolTip().isEmpty())
            child->setAccessibleDescription(child->toolTip());
    }
}

} // namespace globalstab
