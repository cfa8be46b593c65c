#include "globalpages/GlobalPagesPanel.h"

#include "documents/GlobalBook.h"
#include "operations/PageLinks.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "text/TextChecks.h"
#include "view/PanelHost.h"
#include "view/ViewStyle.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace globalstab {

namespace {

// List heights that fit fraInfo: ADD gives the list the room of the hidden delete button.
constexpr int PagesHeightAdd = 5490 / view::TwipsPerPixel;
constexpr int PagesHeightEdit = 5100 / view::TwipsPerPixel;

const QString ModeAdd = QStringLiteral("ADD");
const QString ModeEdit = QStringLiteral("EDIT");

void setHeight(QWidget* widget, int height)
{
    widget->resize(widget->width(), height);
}

} // namespace

GlobalPagesPanel::GlobalPagesPanel(PanelHost& host, view::Builder& builder, QWidget* tab,
                                   QObject* clickFilter)
    : QGroupBox(tab), m_host(host)
{
    using view::twips;
    using view::twipsAt;
    // fraInfo itself has no click handler.
    builder.frame(this, "fraInfo", tab, twips(120, 720, 7935, 6255), 0, nullptr);
    cmdDelGblPage = builder.button("cmdDelGblPage", this, twips(1680, 5715, 975, 375), 7);
    fraAddEditGblPage = builder.frame(new QGroupBox, "fraAddEditGblPage", this,
                                      twips(2800, 120, 5055, 2655), 8, clickFilter);
    cmdCancelGblPage =
        builder.button("cmdCancelGblPage", fraAddEditGblPage, twips(2880, 1560, 975, 375), 14);
    cmdBrowse = builder.button("cmdBrowse", fraAddEditGblPage, twips(3960, 1080, 975, 375), 12);
    cmdAddGblPage =
        builder.button("cmdAddGblPage", fraAddEditGblPage, twips(1800, 1560, 975, 375), 13);
    txtSourceTo = builder.edit("txtSourceTo", fraAddEditGblPage, twips(240, 1080, 3615, 315), 10);
    txtPageName = builder.edit("txtPageName", fraAddEditGblPage, twips(240, 480, 3615, 315), 9);
    lblTgtFrm = builder.label("lblTgtFrm", fraAddEditGblPage, twipsAt(240, 2040), 17);
    lblSourceto = builder.label("lblSourceto", fraAddEditGblPage, twipsAt(240, 840), 16);
    lblPageName = builder.label("lblPageName", fraAddEditGblPage, twipsAt(240, 240), 15);
    lstPages = builder.list("lstPages", this, twips(120, 600, 2655, 5055), 5);
    lblListInfo = builder.label("lblListInfo", this, twips(120, 360, 2535, 255), 6);

    // The editor frame keeps the container's default font; its children the tab's own.
    view::setDesignedFont(fraAddEditGblPage, false);
    for (QWidget* child : fraAddEditGblPage->findChildren<QWidget*>())
        view::setDesignedFont(child, true);

    view::setCaption(fraAddEditGblPage, QStringLiteral("110"));
    lblPageName->setText(QStringLiteral("111"));
    lblSourceto->setText(QStringLiteral("112"));
    cmdBrowse->setText(QStringLiteral("113"));
    lblTgtFrm->setText(QStringLiteral("5530"));
    cmdAddGblPage->setText(QStringLiteral("5588"));
    cmdDelGblPage->setText(QStringLiteral("5590"));
    cmdCancelGblPage->setText(QStringLiteral("137"));
    view::setCaption(this, QStringLiteral("5543"));
    lblListInfo->setText(QStringLiteral("Label"));
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{this, cmdDelGblPage, fraAddEditGblPage, lblTgtFrm})
        hidden->setVisible(false);

    lblPageName->setBuddy(txtPageName);
    lblSourceto->setBuddy(txtSourceTo);
    lblListInfo->setBuddy(lstPages);
    txtPageName->installEventFilter(this);
    connect(lstPages, &QListWidget::itemClicked, this, &GlobalPagesPanel::pageClicked);
    activateByKeyboard(lstPages, [this] { pageClicked(); });
    connect(cmdBrowse, &QPushButton::clicked, this, &GlobalPagesPanel::browse);
    connect(cmdAddGblPage, &QPushButton::clicked, this, &GlobalPagesPanel::applyPage);
    connect(cmdCancelGblPage, &QPushButton::clicked, this, &GlobalPagesPanel::cancelPage);
    connect(cmdDelGblPage, &QPushButton::clicked, this, &GlobalPagesPanel::deletePage);
}

void GlobalPagesPanel::applyTexts()
{
    view::setCaption(fraAddEditGblPage, m_host.text(110));
    // The frame keeps its design-time caption until a function is picked, but a screen
    // reader should never hear a string id.
    setAccessibleName(m_host.text(5543));
    lblPageName->setText(m_host.text(111));
    lblSourceto->setText(m_host.text(112));
    cmdBrowse->setText(m_host.text(113));
    lblTgtFrm->setText(m_host.text(5530));
    cmdAddGblPage->setText(m_host.text(135));
    cmdDelGblPage->setText(m_host.text(136));
    cmdCancelGblPage->setText(m_host.text(137));
    // These labels size themselves to their captions.
    for (QLabel* autoSized : {lblTgtFrm, lblSourceto, lblPageName})
        autoSized->adjustSize();

    txtPageName->setToolTip(m_host.text(9001));
    txtSourceTo->setToolTip(m_host.text(9002));
    cmdBrowse->setToolTip(m_host.text(9004));
    cmdAddGblPage->setToolTip(m_host.text(9005));
    cmdCancelGblPage->setToolTip(m_host.text(9006));
    cmdDelGblPage->setToolTip(m_host.text(9007));
    lstPages->setToolTip(m_host.text(9008));
}

void GlobalPagesPanel::prepareForAdd(const QString& title)
{
    cmdAddGblPage->setEnabled(true);
    view::setCaption(this, title);
    setHeight(lstPages, PagesHeightAdd);
    cmdDelGblPage->setVisible(false);
}

void GlobalPagesPanel::prepareForEdit(const QString& title)
{
    view::setCaption(this, title);
    LoadPageName();
    setHeight(lstPages, PagesHeightEdit);
    setVisible(true);
    lstPages->setEnabled(true);
    cmdDelGblPage->setVisible(true);
}

void GlobalPagesPanel::hideEditor()
{
    fraAddEditGblPage->setVisible(false);
}

void GlobalPagesPanel::enter()
{
    LoadPageName();
    setVisible(true);
    fraAddEditGblPage->setVisible(true);
    lblListInfo->setText(QStringLiteral("Available Global Pages"));
    lstPages->setVisible(true);
    lblListInfo->setVisible(true);
    txtPageName->clear();
    txtSourceTo->clear();
}

void GlobalPagesPanel::leave()
{
    lblListInfo->setText(QStringLiteral("Available Global Pages"));
    fraAddEditGblPage->setVisible(false);
    cmdDelGblPage->setVisible(false);
}

void GlobalPagesPanel::LoadPageName()
{
    trap(m_host, "LoadPageName", [&] {
        lstPages->clear();
        const BusyScope busy(m_host);
        const QString bookPath = m_host.project().globalBookPath();
        if (FileSystem().FileExists(bookPath)) {
            GlobalBook book;
            book.load(bookPath);
            lstPages->addItems(book.pageNames());
        }
    });
}

void GlobalPagesPanel::GetGlobalPageInfo(const QString& pageName)
{
    trap(m_host, "GetGlobalPageInfo", [&] {
        const BusyScope busy(m_host);
        const QString bookPath = m_host.project().globalBookPath();
        if (FileSystem().FileExists(bookPath)) {
            GlobalBook book;
            book.load(bookPath);
            if (const std::optional<QString> source = book.pageSource(pageName))
                txtSourceTo->setText(*source);
        }
    });
}

void GlobalPagesPanel::UpdateAddPageInfo()
{
    trap(m_host, "UpdateAddPageInfo", [&] {
        const QString page = m_host.pageName();
        std::unique_ptr<GlobalBookService> book = m_host.create<GlobalBookService>();
        QString source;
        try {
            book->GetGlobalPage(m_host.project().globalBookPath(), page, source);
        } catch (const RuntimeError& error) {
            // Subscript out of range is let pass: the name is shown all the same, with
            // whatever source the service left.
            if (error.number() != rt::SubscriptOutOfRange)
                throw;
        }
        txtSourceTo->setText(source);
        txtPageName->setText(page);
    });
}

bool GlobalPagesPanel::bValidateInputDynamicOptions()
{
    bool result = false;
    trap(m_host, "bValidateInputDynamicOptions", [&] {
        const QString name = txtPageName->text();
        if (!m_host.checkCharacters(name, QStringLiteral(" Name")))
            return;
        if (const std::optional<PageRefusal> refusal = refusePage(name, txtSourceTo->text())) {
            m_host.message(m_host.text(refusal->stringId), MessageButtons::Ok,
                           MessageIcon::Information);
            if (refusal->nameAtFault)
                txtPageName->setFocus();
            return;
        }
        result = true;
    });
    return result;
}

void GlobalPagesPanel::pageClicked()
{
    trap(m_host, "lstPages_Click", [&] {
        if (fraAddEditGblPage->isHidden() || m_host.mode() != ModeEdit)
            return;
        cmdAddGblPage->setEnabled(true);
        const QString page = listText(lstPages);
        m_host.setSelectedPage(page);
        txtPageName->setText(page);
        GetGlobalPageInfo(page);
        m_selectedPageSource = txtSourceTo->text().trimmed();
    });
}

bool GlobalPagesPanel::acceptsNameKey()
{
    bool accepted = true;
    trap(m_host, "txtPageName_KeyPress", [&] {
        if (m_host.mode() == ModeEdit && listIndex(lstPages) == -1) {
            m_host.message(m_host.text(9025), MessageButtons::Ok, MessageIcon::Information);
            accepted = false;
        }
    });
    return accepted;
}

void GlobalPagesPanel::browse()
{
    trap(m_host, "cmdBrowse_Click", [&] {
        const QString fileName = m_host.openFileName(
            QStringLiteral("Select a File..."),
            QStringLiteral("All files(*.xml,*.xls,*.txt,*.pdf,*.doc,*.htm,*.html)"
                           "|*.xml;*.xls;*.txt;*.pdf;*.htm;*.doc;*.html"));
        if (!fileName.isEmpty())
            txtSourceTo->setText(fileName);
    });
}

void GlobalPagesPanel::applyPage()
{
    const auto action = m_host.beginAction("cmdAddGblPage_Click");
    if (!action)
        return;
    trap(m_host, "cmdAddGblPage_Click", [&] {
        const ProjectContext project = m_host.project();
        std::unique_ptr<GlobalBookService> book = m_host.create<GlobalBookService>();
        std::unique_ptr<FileCopyService> copier = m_host.create<FileCopyService>();
        std::unique_ptr<BookEntryService> entries = m_host.create<BookEntryService>();

        // A listed name passes when the source changes: that is how a page gets a new
        // document under its old name.
        const bool listed = !m_host.checkElement(txtPageName->text(), lstPages);
        const bool unchanged = txtSourceTo->text().trimmed() == m_selectedPageSource;
        if (listed && unchanged) {
            m_host.message(m_host.text(5549), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        if (!bValidateInputDynamicOptions())
            return;

        const PageServices services{*book, *copier, *entries};
        prepareGlobalFolder(services, project, txtSourceTo->text());
        const QString escapedName = m_host.escape(txtPageName->text());
        const QString mode = m_host.mode();
        // The button sits in the add/edit frame, which only those two modes show.
        if (mode == ModeAdd || mode == ModeEdit) {
            const int answer = saveGlobalPage(
                services, project, escapedName, txtSourceTo->text(),
                mode == ModeEdit ? std::optional<QString>(m_host.selectedPage()) : std::nullopt);
            m_host.message(m_host.text(answer), MessageButtons::Ok, MessageIcon::Information);
        }

        // The host refreshes its tree from the book whatever the service answered.
        book->AddGlobalBookToToc(project.tocPath(), project.projectName);
        const QString link = project.projectName + LinkSeparator + GlobalBook::BookAcro +
                             LinkSeparator + m_host.escape(txtPageName->text());
        m_host.globalPageAdded(link, GlobalBook::BookName);
        book.reset();
        copier.reset();

        LoadPageName();
        m_host.updateUI(QStringLiteral("Global Page"));
    });
}

void GlobalPagesPanel::cancelPage()
{
    trap(
        m_host, "cmdCancelGblPage_Click",
        [&] {
            const QString mode = m_host.mode();
            if (mode == ModeAdd) {
                txtPageName->clear();
                txtSourceTo->clear();
            } else if (mode == ModeEdit) {
                txtPageName->setText(m_host.selectedPage());
                GetGlobalPageInfo(listText(lstPages));
            }
        },
        ErrorForm::UserControl);
}

void GlobalPagesPanel::deletePage()
{
    const auto action = m_host.beginAction("cmdDelGblPage_Click");
    if (!action)
        return;
    trap(m_host, "cmdDelGblPage_Click", [&] {
        if (txtPageName->text().isEmpty()) {
            m_host.message(m_host.text(134), MessageButtons::Ok, MessageIcon::Critical);
            LoadPageName();
            return;
        }
        if (m_host.message(m_host.text(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::No) {
            LoadPageName();
            return;
        }
        {
            std::unique_ptr<GlobalBookService> book = m_host.create<GlobalBookService>();
            // The page named in the box goes, whichever entry is selected; its document stays.
            book->DeleteGlobalPage(m_host.project().globalBookPath(),
                                   m_host.escape(txtPageName->text()));
        }
        txtPageName->clear();
        txtSourceTo->clear();
        m_host.globalPageDeleted();
        LoadPageName();
    });
}

bool GlobalPagesPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Only keys that produce a character reach the key-press handler.
    if (watched == txtPageName && event->type() == QEvent::KeyPress) {
        if (!static_cast<QKeyEvent*>(event)->text().isEmpty() && !acceptsNameKey())
            return true;
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace globalstab
