#include "categories/CategoriesPanel.h"
#include "control/GlobalVariables.h"
#include "control/ctlGlobalsTab_p.h"
#include "documents/SelectionList.h"
#include "globalpages/GlobalPagesPanel.h"
#include "platform/Numbers.h"
#include "projectinfo/ProjectInfoPanel.h"
#include "view/ViewStyle.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

void ctlGlobalsTab::Private::createView()
{
    using view::twips;
    q->setObjectName(QStringLiteral("ctlGlobalsTab"));
    view::setDesignedFont(q, true);
    view::fillBackground(q, view::BackColor);
    // The widest frame reaches 8120 twips, the tallest 7095; leave the usual margin.
    q->setMinimumSize(8240 / view::TwipsPerPixel, 7215 / view::TwipsPerPixel);

    // Panels first, so that the drop-down function lists paint above them.
    view::Builder builder;
    info = new ProjectInfoPanel(*this, builder, q, q);
    categories = new CategoriesPanel(*this, builder, q, q);
    pages = new GlobalPagesPanel(*this, builder, q, q);

    lstAddItems = builder.list("lstAddItems", q, twips(120, 480, 2055, 420), 2);
    lstEditItems = builder.list("lstEditItems", q, twips(1560, 480, 2055, 615), 3);
    for (QListWidget* functionList : {lstAddItems, lstEditItems}) {
        view::fillBackground(functionList, view::BackColor);
        QPalette palette = functionList->palette();
        palette.setColor(QPalette::Base, view::BackColor);
        functionList->setPalette(palette);
        functionList->setVisible(false);
    }
    cmdEdit = builder.button("cmdEdit", q, twips(1560, 120, 975, 375), 4);
    cmdAdd = builder.button("cmdAdd", q, twips(120, 120, 975, 375), 1);
    cmdAdd->setText(QStringLiteral("5541"));
    cmdEdit->setText(QStringLiteral("5542"));
    builder.applyTabOrder();

    connect(cmdAdd, &QPushButton::clicked, q, [this] { addClicked(); });
    connect(cmdEdit, &QPushButton::clicked, q, [this] { editClicked(); });
    connect(lstAddItems, &QListWidget::itemClicked, q, [this] { addItemChosen(); });
    connect(lstEditItems, &QListWidget::itemClicked, q, [this] { editItemChosen(); });
    activateByKeyboard(
        lstAddItems, [this] { addItemChosen(); }, [this] { closeFunctionLists(); });
    activateByKeyboard(
        lstEditItems, [this] { editItemChosen(); }, [this] { closeFunctionLists(); });
}

// Screen readers and UI automation find widgets by these names; the descriptions are the
// tooltips where a widget has one.
void ctlGlobalsTab::Private::setAccessibleTexts()
{
    auto caption = [this](const char* label) {
        return q->findChild<QLabel*>(QString::fromLatin1(label))
            ->text()
            .remove(QLatin1Char('&'))
            .trimmed();
    };
    auto widget = [this](const char* name) {
        return q->findChild<QWidget*>(QString::fromLatin1(name));
    };
    const std::pair<QWidget*, QString> named[] = {
        {lstAddItems, QStringLiteral("Add functions")},
        {lstEditItems, QStringLiteral("Edit functions")},
        {widget("txtProjectName"), caption("lblProjectName")},
        {widget("txtProjectID"), caption("lblProjectID")},
        {widget("txtPrjoectRank"), caption("lblProjectRank")},
        {widget("txtCategoryName"), caption("lblCategoryName")},
        {widget("lstAvaBookCategories"), caption("lblAvailCatName")},
        {widget("moveUpArrow"), QStringLiteral("Move category up")},
        {widget("moveDownArrow"), QStringLiteral("Move category down")},
        {widget("txtPageName"), caption("lblPageName")},
        {widget("txtSourceTo"), caption("lblSourceto")},
        {widget("lstPages"), QStringLiteral("Available Global Pages")},
    };
    for (const auto& [target, name] : named)
        target->setAccessibleName(name);
    for (QWidget* child : q->findChildren<QWidget*>()) {
        if (child->accessibleName().isEmpty()) {
            if (auto* button = qobject_cast<QPushButton*>(child))
                child->setAccessibleName(button->text().remove(QLatin1Char('&')).trimmed());
            else if (auto* frame = qobject_cast<QGroupBox*>(child))
                child->setAccessibleName(frame->title().remove(QLatin1Char('&')).trimmed());
        }
        if (!child->toolTip().isEmpty())
            child->setAccessibleDescription(child->toolTip());
    }
}

void ctlGlobalsTab::Private::UserControl_Initialize()
{
    trap(*this, "UserControl_Initialize", [&] {
        info->applyTexts();
        pages->applyTexts();
        pages->hideEditor();
        info->setVisible(true);

        cmdAdd->setText(text(5541));
        cmdEdit->setText(text(5542));
        categories->applyTexts();

        lstAddItems->setFixedHeight(420 / view::TwipsPerPixel);
        lstAddItems->addItem(text(5545));
        lstAddItems->addItem(text(5546));

        lstEditItems->addItem(text(5547));
        lstEditItems->addItem(text(5545));
        lstEditItems->addItem(text(5546));

        SetToolTips();

        {
            std::unique_ptr<DeveloperSettingsService> settings = create<DeveloperSettingsService>();
            globalVariables().glngInstallType = toLong(settings->getDeveloperInstallType());
        }

        if (globalVariables().glngInstallType != 1000)
            info->setRankEnabled(false);
    });
}

void ctlGlobalsTab::Private::SetToolTips()
{
    trap(*this, "SetToolTips", [&] {
        cmdAdd->setToolTip(text(9019));
        lstAddItems->setToolTip(text(9020));
        cmdEdit->setToolTip(text(9021));
        lstEditItems->setToolTip(text(9022));
    });
}

void ctlGlobalsTab::Private::LoadResource()
{
    trap(*this, "LoadResource", [&] {
        Global_Variables& g = globalVariables();
        {
            std::unique_ptr<DeveloperSettingsService> settings = create<DeveloperSettingsService>();
            g.gstrRootPath = settings->GetPXServer().toString();
            g.glngInstallType = toLong(settings->getDeveloperInstallType());
        }
        const ProjectContext current = project();
        tocPath = current.tocPath();
        defaultsPath = current.defaultCategoriesPath();
    });
    recoverDataRoot();
}

// The name goes into the query unescaped: a name holding a double quote makes the query
// invalid, which is reported here and gives an empty identifier.
QString ctlGlobalsTab::Private::GetPXAcro(const QString& path, const QString& projectName)
{
    QString result;
    trap(*this, "GetPXAcro", [&] {
        SelectionList selection;
        selection.load(path);
        result = selection.projectId(projectName);
    });
    return result;
}

} // namespace globalstab
