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
    m_deleteButton = builder.button("cmdDelGblPage", this, twips(1680, 5715, 975, 375), 7);
    m_editorFrame = builder.frame(new QGroupBox, "fraAddEditGblPage", this,
                                  twips(2800, 120, 5055, 2655), 8, clickFilter);
    m_cancelButton =
        builder.button("cmdCancelGblPage", m_editorFrame, twips(2880, 1560, 975, 375), 14);
    m_browseButton = builder.button("cmdBrowse", m_editorFrame, twips(3960, 1080, 975, 375), 12);
    m_applyButton = builder.button("cmdAddGblPage", m_editorFrame, twips(1800, 1560, 975, 375), 13);
    m_sourceEdit = builder.edit("txtSourceTo", m_editorFrame, twips(240, 1080, 3615, 315), 10);
    m_nameEdit = builder.edit("txtPageName", m_editorFrame, twips(240, 480, 3615, 315), 9);
    m_targetLabel = builder.label("lblTgtFrm", m_editorFrame, twipsAt(240, 2040), 17);
    m_sourceLabel = builder.label("lblSourceto", m_editorFrame, twipsAt(240, 840), 16);
    m_nameLabel = builder.label("lblPageName", m_editorFrame, twipsAt(240, 240), 15);
    m_pageList = builder.list("lstPages", this, twips(120, 600, 2655, 5055), 5);
    m_listLabel = builder.label("lblListInfo", this, twips(120, 360, 2535, 255), 6);

    // The editor frame keeps the container's default font; its children the tab's own.
    view::setDesignedFont(m_editorFrame, false);
    for (QWidget* child : m_editorFrame->findChildren<QWidget*>())
        view::setDesignedFont(child, true);

    view::setCaption(m_editorFrame, QStringLiteral("110"));
    m_nameLabel->setText(QStringLiteral("111"));
    m_sourceLabel->setText(QStringLiteral("112"));
    m_browseButton->setText(QStringLiteral("113"));
    m_targetLabel->setText(QStringLiteral("5530"));
    m_applyButton->setText(QStringLiteral("5588"));
    m_deleteButton->setText(QStringLiteral("5590"));
    m_cancelButton->setText(QStringLiteral("137"));
    view::setCaption(this, QStringLiteral("5543"));
    m_listLabel->setText(QStringLiteral("Label"));
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{this, m_deleteButton, m_editorFrame, m_targetLabel})
        hidden->setVisible(false);

    m_nameLabel->setBuddy(m_nameEdit);
    m_sourceLabel->setBuddy(m_sourceEdit);
    m_listLabel->setBuddy(m_pageList);
    m_nameEdit->installEventFilter(this);
    connect(m_pageList, &QListWidget::itemClicked, this, &GlobalPagesPanel::pageClicked);
    activateByKeyboard(m_pageList, [this] { pageClicked(); });
    connect(m_browseButton, &QPushButton::clicked, this, &GlobalPagesPanel::browse);
    connect(m_applyButton, &QPushButton::clicked, this, &GlobalPagesPanel::applyPage);
    connect(m_cancelButton, &QPushButton::clicked, this, &GlobalPagesPanel::cancelPage);
    connect(m_deleteButton, &QPushButton::clicked, this, &GlobalPagesPanel::deletePage);
}

void GlobalPagesPanel::applyTexts()
{
    view::setCaption(m_editorFrame, m_host.text(110));
    // The frame keeps its design-time caption until a function is picked, but a screen
    // reader should never hear a string id.
    setAccessibleName(m_host.text(5543));
    m_nameLabel->setText(m_host.text(111));
    m_sourceLabel->setText(m_host.text(112));
    m_browseButton->setText(m_host.text(113));
    m_targetLabel->setText(m_host.text(5530));
    m_applyButton->setText(m_host.text(135));
    m_deleteButton->setText(m_host.text(136));
    m_cancelButton->setText(m_host.text(137));
    // These labels size themselves to their captions.
    for (QLabel* autoSized : {m_targetLabel, m_sourceLabel, m_nameLabel})
        autoSized->adjustSize();

    m_nameEdit->setToolTip(m_host.text(9001));
    m_sourceEdit->setToolTip(m_host.text(9002));
    m_browseButton->setToolTip(m_host.text(9004));
    m_applyButton->setToolTip(m_host.text(9005));
    m_cancelButton->setToolTip(m_host.text(9006));
    m_deleteButton->setToolTip(m_host.text(9007));
    m_pageList->setToolTip(m_host.text(9008));
}

void GlobalPagesPanel::prepareForAdd(const QString& title)
{
    m_applyButton->setEnabled(true);
    view::setCaption(this, title);
    setHeight(m_pageList, PagesHeightAdd);
    m_deleteButton->setVisible(false);
}

void GlobalPagesPanel::prepareForEdit(const QString& title)
{
    view::setCaption(this, title);
    loadPages();
    setHeight(m_pageList, PagesHeightEdit);
    setVisible(true);
    m_pageList->setEnabled(true);
    m_deleteButton->setVisible(true);
}

void GlobalPagesPanel::hideEditor()
{
    m_editorFrame->setVisible(false);
}

void GlobalPagesPanel::enter()
{
    loadPages();
    setVisible(true);
    m_editorFrame->setVisible(true);
    m_listLabel->setText(QStringLiteral("Available Global Pages"));
    m_pageList->setVisible(true);
    m_listLabel->setVisible(true);
    m_nameEdit->clear();
    m_sourceEdit->clear();
}

void GlobalPagesPanel::leave()
{
    m_listLabel->setText(QStringLiteral("Available Global Pages"));
    m_editorFrame->setVisible(false);
    m_deleteButton->setVisible(false);
}

void GlobalPagesPanel::loadPages()
{
    trap(m_host, "LoadPageName", [&] {
        m_pageList->clear();
        const BusyScope busy(m_host);
        const QString bookPath = m_host.project().globalBookPath();
        if (FileSystem().FileExists(bookPath)) {
            GlobalBook book;
            book.load(bookPath);
            m_pageList->addItems(book.pageNames());
        }
    });
}

void GlobalPagesPanel::showPageSource(const QString& pageName)
{
    trap(m_host, "GetGlobalPageInfo", [&] {
        const BusyScope busy(m_host);
        const QString bookPath = m_host.project().globalBookPath();
        if (FileSystem().FileExists(bookPath)) {
            GlobalBook book;
            book.load(bookPath);
            if (const std::optional<QString> source = book.pageSource(pageName))
                m_sourceEdit->setText(*source);
        }
    });
}

void GlobalPagesPanel::showNamedPage()
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
        m_sourceEdit->setText(source);
        m_nameEdit->setText(page);
    });
}

bool GlobalPagesPanel::acceptsPage()
{
    bool result = false;
    trap(m_host, "bValidateInputDynamicOptions", [&] {
        const QString name = m_nameEdit->text();
        if (!m_host.checkCharacters(name, QStringLiteral(" Name")))
            return;
        if (const std::optional<PageRefusal> refusal = refusePage(name, m_sourceEdit->text())) {
            m_host.message(m_host.text(refusal->stringId), MessageButtons::Ok,
                           MessageIcon::Information);
            if (refusal->nameAtFault)
                m_nameEdit->setFocus();
            return;
        }
        result = true;
    });
    return result;
}

void GlobalPagesPanel::pageClicked()
{
    trap(m_host, "lstPages_Click", [&] {
        if (m_editorFrame->isHidden() || m_host.mode() != ModeEdit)
            return;
        m_applyButton->setEnabled(true);
        const QString page = listText(m_pageList);
        m_host.setSelectedPage(page);
        m_nameEdit->setText(page);
        showPageSource(page);
        m_selectedPageSource = m_sourceEdit->text().trimmed();
    });
}

bool GlobalPagesPanel::acceptsNameKey()
{
    bool accepted = true;
    trap(m_host, "txtPageName_KeyPress", [&] {
        if (m_host.mode() == ModeEdit && listIndex(m_pageList) == -1) {
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
            m_sourceEdit->setText(fileName);
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
        const bool listed = !m_host.checkElement(m_nameEdit->text(), m_pageList);
        const bool unchanged = m_sourceEdit->text().trimmed() == m_selectedPageSource;
        if (listed && unchanged) {
            m_host.message(m_host.text(5549), MessageButtons::Ok, MessageIcon::Information);
            return;
        }
        if (!acceptsPage())
            return;

        const PageServices services{*book, *copier, *entries};
        prepareGlobalFolder(services, project, m_sourceEdit->text());
        const QString escapedName = m_host.escape(m_nameEdit->text());
        const QString mode = m_host.mode();
        // The button sits in the add/edit frame, which only those two modes show.
        if (mode == ModeAdd || mode == ModeEdit) {
            const int answer = saveGlobalPage(
                services, project, escapedName, m_sourceEdit->text(),
                mode == ModeEdit ? std::optional<QString>(m_host.selectedPage()) : std::nullopt);
            m_host.message(m_host.text(answer), MessageButtons::Ok, MessageIcon::Information);
        }

        // The host refreshes its tree from the book whatever the service answered.
        book->AddGlobalBookToToc(project.tocPath(), project.projectName);
        const QString link = project.projectName + LinkSeparator + GlobalBook::BookAcro +
                             LinkSeparator + m_host.escape(m_nameEdit->text());
        m_host.globalPageAdded(link, GlobalBook::BookName);
        book.reset();
        copier.reset();

        loadPages();
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
                m_nameEdit->clear();
                m_sourceEdit->clear();
            } else if (mode == ModeEdit) {
                m_nameEdit->setText(m_host.selectedPage());
                showPageSource(listText(m_pageList));
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
        if (m_nameEdit->text().isEmpty()) {
            m_host.message(m_host.text(134), MessageButtons::Ok, MessageIcon::Critical);
            loadPages();
            return;
        }
        if (m_host.message(m_host.text(138), MessageButtons::YesNo, MessageIcon::Information) ==
            MessageAnswer::No) {
            loadPages();
            return;
        }
        {
            std::unique_ptr<GlobalBookService> book = m_host.create<GlobalBookService>();
            // The page named in the box goes, whichever entry is selected; its document stays.
            book->DeleteGlobalPage(m_host.project().globalBookPath(),
                                   m_host.escape(m_nameEdit->text()));
        }
        m_nameEdit->clear();
        m_sourceEdit->clear();
        m_host.globalPageDeleted();
        loadPages();
    });
}

bool GlobalPagesPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Only keys that produce a character reach the key-press handler.
    if (watched == m_nameEdit && event->type() == QEvent::KeyPress) {
        if (!static_cast<QKeyEvent*>(event)->text().isEmpty() && !acceptsNameKey())
            return true;
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace globalstab
