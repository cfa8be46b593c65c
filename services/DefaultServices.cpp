#include "services/DefaultServices.h"

#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"

#include <QDir>

#include <algorithm>
#include <array>
#include <utility>

namespace globalstab {

namespace {

const QString kDefaultRank = QStringLiteral("500");
const QString kOtherCategory = QStringLiteral("Other Category");
const QString kGlobalBookName = QStringLiteral("Global Information");
const QString kGlobalBookAcro = QStringLiteral("Global");
const QString kGlobalFolderName = QStringLiteral("_Global Information");
const QString kGlobalBookFile = QStringLiteral("Book_Global.xml");
const QString kDefaultCategoriesFile = QStringLiteral("PX_DefaultCategories.xml");
const QString kTocFile = QStringLiteral("PX_TOC.xml");

// ---- paths -------------------------------------------------------------------------------

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

qsizetype lastSeparator(const QString& path)
{
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
}

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.isEmpty() || isSeparator(folder.back()))
        return folder + name;
    return folder + QLatin1Char('\\') + name;
}

QString withoutTrailingSeparator(QString path)
{
    while (path.size() > 1 && isSeparator(path.back()))
        path.chop(1);
    return path;
}

QString parentOf(const QString& path)
{
    const qsizetype at = lastSeparator(withoutTrailingSeparator(path));
    return at < 0 ? QString() : path.left(at);
}

// The path without the extension of its last component.
QString withoutExtension(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > lastSeparator(path) ? path.left(dot) : path;
}

// How a file is named in an error message: the file the layer would actually touch.
QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(FileSystem::resolve(path));
}

// A description that names the file, once.
QString namingFile(const QString& description, const QString& path)
{
    const QString file = shownPath(path);
    return description.contains(file) ? description
                                      : QStringLiteral("%1 (%2)").arg(description, file);
}

// ---- documents ---------------------------------------------------------------------------

[[noreturn]] void fail(int number, const QString& description)
{
    throw RuntimeError(number, description);
}

// For a document the operation cannot do without.
void loadRequired(XmlDocument& doc, const QString& path)
{
    if (!FileSystem().FileExists(path))
        fail(rt::FileNotFound, QStringLiteral("File not found: %1").arg(shownPath(path)));
    if (!doc.load(path))
        fail(rt::XmlFailure,
             namingFile(QStringLiteral("Not a readable XML document: ") + doc.parseError(), path));
}

// False when there is no file. A file that is there but does not parse is still an error:
// nothing is written on the strength of a document that could not be read.
bool loadIfPresent(XmlDocument& doc, const QString& path)
{
    if (!FileSystem().FileExists(path))
        return false;
    loadRequired(doc, path);
    return true;
}

XmlNode requireElement(const XmlNode& from, const QString& xpath, const QString& path)
{
    XmlNode node = from.selectSingleNode(xpath);
    if (node.isNull())
        fail(rt::XmlFailure,
             QStringLiteral("%1 has no element \"%2\"").arg(shownPath(path), xpath));
    return node;
}

void saveDocument(const XmlDocument& doc, const QString& path)
{
    try {
        doc.save(path);
    } catch (const RuntimeError& error) {
        fail(error.number(), namingFile(error.description(), path));
    }
}

XmlNode appendElement(XmlDocument& doc, XmlNode parent, const QString& name,
                      const QString& text = QString())
{
    XmlNode node = parent.appendChild(doc.createElement(name));
    if (!text.isEmpty())
        node.setText(text);
    return node;
}

QString childText(const XmlNode& node, const QString& name)
{
    const XmlNode child = node.selectSingleNode(name);
    return child.isNull() ? QString() : child.text();
}

void setChildText(XmlDocument& doc, XmlNode node, const QString& name, const QString& text)
{
    XmlNode child = node.selectSingleNode(name);
    if (child.isNull())
        appendElement(doc, node, name, text);
    else
        child.setText(text);
}

QList<XmlNode> nodesOf(const XmlNodeList& list)
{
    QList<XmlNode> nodes;
    for (int i = 0; i < list.length(); ++i)
        nodes.append(list.item(i));
    return nodes;
}

// The component hands page names over escaped for XML, the form its link texts carry. The
// XML layer escapes on save, so the entities are turned back here; otherwise a reader
// would see "Tom &amp; Jerry". One pass, so that an escaped entity text ("&amp;lt;") comes
// back as the text the author typed ("&lt;").
QString unescapeXml(const QString& text)
{
    static const std::array<std::pair<QLatin1StringView, QChar>, 5> entities{{
        {QLatin1StringView("&amp;"), QLatin1Char('&')},
        {QLatin1StringView("&lt;"), QLatin1Char('<')},
        {QLatin1StringView("&gt;"), QLatin1Char('>')},
        {QLatin1StringView("&quot;"), QLatin1Char('"')},
        {QLatin1StringView("&apos;"), QLatin1Char('\'')},
    }};
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        bool replaced = false;
        if (text.at(i) == QLatin1Char('&')) {
            const QStringView rest = QStringView(text).mid(i);
            for (const auto& [entity, character] : entities) {
                if (rest.startsWith(entity)) {
                    result += character;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            result += text.at(i++);
    }
    return result;
}

// ---- global book -------------------------------------------------------------------------

XmlNode headingsOf(XmlDocument& doc, const QString& bookPath)
{
    XmlNode master = requireElement(doc, QStringLiteral("Book_Master"), bookPath);
    XmlNode headings = master.selectSingleNode(QStringLiteral("Book_Headings"));
    if (headings.isNull())
        headings = appendElement(doc, master, QStringLiteral("Book_Headings"));
    return headings;
}

QList<XmlNode> pagesNamed(const XmlNode& headings, const QString& name)
{
    QList<XmlNode> pages;
    for (const XmlNode& heading :
         nodesOf(headings.selectNodes(QStringLiteral("Heading[@level='H1']")))) {
        const XmlNode pageName = heading.selectSingleNode(QStringLiteral("HName"));
        if (!pageName.isNull() && pageName.text() == name)
            pages.append(heading);
    }
    return pages;
}

XmlNode firstPageNamed(const XmlNode& headings, const QString& name)
{
    const QList<XmlNode> pages = pagesNamed(headings, name);
    return pages.isEmpty() ? XmlNode() : pages.first();
}

// A name that the caller took from the page list, or from the escaped form of a link text.
XmlNode pageCalled(const XmlNode& headings, const QString& name)
{
    const XmlNode page = firstPageNamed(headings, name);
    return page.isNull() ? firstPageNamed(headings, unescapeXml(name)) : page;
}

// The Book part that book documents carry, for a book of the given project.
void appendBookPart(XmlDocument& doc, XmlNode master, const QString& projectName)
{
    XmlNode book = appendElement(doc, master, QStringLiteral("Book"));
    appendElement(doc, book, QStringLiteral("Book_Name"), kGlobalBookName);
    appendElement(doc, book, QStringLiteral("Book_Acro"), kGlobalBookAcro);
    appendElement(doc, book, QStringLiteral("Book_Key"), projectName);
    appendElement(doc, book, QStringLiteral("Book_Path"),
                  projectName + QLatin1Char('\\') + kGlobalFolderName);
    XmlNode categories = appendElement(doc, book, QStringLiteral("BookSet_Categories"));
    appendElement(doc, categories, QStringLiteral("BookSet_Category"), kGlobalBookName);
}

class DefaultGlobalBookService : public GlobalBookService
{
public:
    void AddGlobalBookToToc(const QString& tocPath, const QString& projectName) override
    {
        // Only a book that exists is listed, so every entry of the contents has its document.
        const QString bookPath =
            joinPath(joinPath(parentOf(tocPath), kGlobalFolderName), kGlobalBookFile);
        if (!FileSystem().FileExists(bookPath))
            return;
        XmlDocument doc;
        if (!loadIfPresent(doc, tocPath))
            return;
        XmlNode master = requireElement(doc, QStringLiteral("PX_Master"), tocPath);
        XmlNode books = master.selectSingleNode(QStringLiteral("PX_Books"));
        if (books.isNull())
            books = appendElement(doc, master, QStringLiteral("PX_Books"));
        for (const XmlNode& book : nodesOf(books.selectNodes(QStringLiteral("Book")))) {
            if (childText(book, QStringLiteral("Book_Folder"))
                        .compare(kGlobalFolderName, Qt::CaseInsensitive) == 0 &&
                childText(book, QStringLiteral("Book_File"))
                        .compare(kGlobalBookFile, Qt::CaseInsensitive) == 0)
                return;
        }

        // The entry names its own category, the one AddBookEntry files it under. With an
        // empty Book_Categories the filing of uncategorised books would put the global book
        // under "Other Category" as well.
        XmlNode book = appendElement(doc, books, QStringLiteral("Book"));
        appendElement(doc, book, QStringLiteral("Book_Name"), kGlobalBookName);
        appendElement(doc, book, QStringLiteral("Book_Acro"), kGlobalBookAcro);
        appendElement(doc, book, QStringLiteral("Book_Folder"), kGlobalFolderName);
        appendElement(doc, book, QStringLiteral("Book_File"), kGlobalBookFile);
        appendElement(doc, book, QStringLiteral("Book_Key"), projectName);
        XmlNode bookCategories = appendElement(doc, book, QStringLiteral("Book_Categories"));
        appendElement(doc, bookCategories, QStringLiteral("Book_Category"), kGlobalBookName);

        XmlNode projectCategories = master.selectSingleNode(QStringLiteral("PX/PX_Categories"));
        if (!projectCategories.isNull()) {
            bool listed = false;
            for (const XmlNode& category : nodesOf(projectCategories.childNodes()))
                listed =
                    listed || category.text().compare(kGlobalBookName, Qt::CaseInsensitive) == 0;
            if (!listed)
                appendElement(doc, projectCategories, QStringLiteral("PX_Category"),
                              kGlobalBookName);
        }
        saveDocument(doc, tocPath);
    }

    void CreateGlobalBook(const QString& globalFolder, const QString& projectName) override
    {
        FileSystem fs;
        const QString bookPath = joinPath(globalFolder, kGlobalBookFile);
        // An existing book keeps its pages.
        if (fs.FileExists(bookPath))
            return;
        const QString folder = withoutTrailingSeparator(globalFolder);
        if (!fs.FolderExists(folder))
            fs.CreateFolder(folder);
        XmlDocument doc;
        XmlNode master = doc.appendChild(doc.createElement(QStringLiteral("Book_Master")));
        appendBookPart(doc, master, projectName);
        appendElement(doc, master, QStringLiteral("Book_Headings"));
        saveDocument(doc, bookPath);
    }

    QString GetGlobalPage(const QString& bookPath, const QString& pageName,
                          QString& source) override
    {
        source.clear();
        XmlDocument doc;
        if (!loadIfPresent(doc, bookPath))
            return source;
        const XmlNode headings = doc.selectSingleNode(QStringLiteral("Book_Master/Book_Headings"));
        if (headings.isNull())
            return source;
        const XmlNode page = pageCalled(headings, pageName);
        if (!page.isNull())
            source = childText(page, QStringLiteral("HFile"));
        return source;
    }

    // The component never offers a target frame, so none is stored.
    bool AddGlobalPage(const QString& bookPath, const QString& escapedPageName,
                       const QString& fileName, const QString&) override
    {
        const QString name = unescapeXml(escapedPageName);
        XmlDocument doc;
        loadRequired(doc, bookPath);
        XmlNode headings = headingsOf(doc, bookPath);
        if (!firstPageNamed(headings, name).isNull())
            return false;
        XmlNode heading = appendElement(doc, headings, QStringLiteral("Heading"));
        heading.setAttribute(QStringLiteral("level"), QStringLiteral("H1"));
        appendElement(doc, heading, QStringLiteral("HName"), name);
        appendElement(doc, heading, QStringLiteral("HFile"), fileName);
        saveDocument(doc, bookPath);
        return true;
    }

    void DeleteGlobalPage(const QString& bookPath, const QString& escapedPageName) override
    {
        XmlDocument doc;
        if (!loadIfPresent(doc, bookPath))
            return;
        XmlNode headings = doc.selectSingleNode(QStringLiteral("Book_Master/Book_Headings"));
        if (headings.isNull())
            return;
        const QList<XmlNode> pages = pagesNamed(headings, unescapeXml(escapedPageName));
        if (pages.isEmpty())
            return;
        // Every heading of that name goes, so that no reader finds the page afterwards.
        for (const XmlNode& page : pages)
            headings.removeChild(page);
        saveDocument(doc, bookPath);
    }

    bool EditGlobalPage(const QString& bookPath, const QString& escapedNewName,
                        const QString& fileName, const QString&, const QString& oldName) override
    {
        const QString newName = unescapeXml(escapedNewName);
        XmlDocument doc;
        loadRequired(doc, bookPath);
        XmlNode headings = headingsOf(doc, bookPath);
        const XmlNode page = pageCalled(headings, oldName);
        if (page.isNull())
            return false;
        // Renaming onto another page would leave two pages of one name, of which the
        // readers only ever find the first.
        const XmlNode clash = firstPageNamed(headings, newName);
        if (!clash.isNull() && !(clash == page))
            return false;
        setChildText(doc, page, QStringLiteral("HName"), newName);
        setChildText(doc, page, QStringLiteral("HFile"), fileName);
        saveDocument(doc, bookPath);
        return true;
    }
};

// ---- categories --------------------------------------------------------------------------

// The default categories of an install type, in the order of PX_DefaultCategories.xml:
// <DefaultCategories> holds <AllInstallTypes> and <InstallType value="N"> groups of
// <Category> names; the groups that apply are read in document order.
QStringList defaultCategories(const QString& defaultsPath, qint32 installType)
{
    QStringList names;
    XmlDocument doc;
    if (!loadIfPresent(doc, defaultsPath))
        return names;
    const XmlNode root = requireElement(doc, QStringLiteral("DefaultCategories"), defaultsPath);
    for (const XmlNode& group : nodesOf(root.childNodes())) {
        bool applies = group.nodeName() == QLatin1String("AllInstallTypes");
        if (group.nodeName() == QLatin1String("InstallType")) {
            bool ok = false;
            const int value = group.attribute(QStringLiteral("value")).trimmed().toInt(&ok);
            applies = ok && value == installType;
        }
        if (!applies)
            continue;
        for (const XmlNode& category : nodesOf(group.selectNodes(QStringLiteral("Category")))) {
            const QString name = category.text().trimmed();
            if (!name.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
                names.append(name);
        }
    }
    return names;
}

// Acronyms of the books whose category list is empty, as the filing of uncategorised books
// finds them. An unreadable table of contents files nothing: it must not stop a rebuild.
QStringList uncategorisedBooks(const QString& tocPath)
{
    QStringList acros;
    XmlDocument doc;
    if (!FileSystem().FileExists(tocPath) || !doc.load(tocPath))
        return acros;
    for (const XmlNode& book : nodesOf(doc.selectNodes(QStringLiteral("PX_Master/PX_Books/*")))) {
        const XmlNode categories = book.selectSingleNode(QStringLiteral("Book_Categories"));
        const QString acro = childText(book, QStringLiteral("Book_Acro"));
        if (!categories.isNull() && !categories.hasChildNodes() && !acro.isEmpty() &&
            !acros.contains(acro))
            acros.append(acro);
    }
    return acros;
}

XmlNode findCategory(const XmlNode& root, const QString& name)
{
    for (const XmlNode& category : nodesOf(root.selectNodes(QStringLiteral("Category")))) {
        if (childText(category, QStringLiteral("CategoryName")) == name)
            return category;
    }
    return XmlNode();
}

XmlNode appendCategory(XmlDocument& doc, XmlNode root, const QString& name)
{
    XmlNode category = appendElement(doc, root, QStringLiteral("Category"));
    appendElement(doc, category, QStringLiteral("CategoryName"), name);
    return category;
}

// A new category set: one Category per default category of the install type. "Other
// Category" gets the uncategorised books of the table of contents beside the set at once;
// the refresh that recreates the set never asks for that category's books.
void buildCategorySet(XmlDocument& doc, const QString& docsFolder, const QString& setPath,
                      qint32 installType)
{
    XmlNode root = doc.appendChild(doc.createElement(QStringLiteral("BookSet_Categories")));
    const QString defaultsPath = joinPath(docsFolder, kDefaultCategoriesFile);
    for (const QString& name : defaultCategories(defaultsPath, installType)) {
        XmlNode category = appendCategory(doc, root, name);
        if (name != kOtherCategory)
            continue;
        for (const QString& acro : uncategorisedBooks(joinPath(parentOf(setPath), kTocFile)))
            appendElement(doc, category, QStringLiteral("BookAcro"), acro);
    }
}

XmlNode categoryRoot(const XmlDocument& doc, const QString& path)
{
    return requireElement(doc, QStringLiteral("BookSet_Categories"), path);
}

class DefaultBookCategoryService : public BookCategoryService
{
public:
    void AddCategory(const QString& categorySetPath, const QString& name) override
    {
        XmlDocument doc;
        loadRequired(doc, categorySetPath);
        XmlNode root = categoryRoot(doc, categorySetPath);
        if (!findCategory(root, name).isNull())
            return;
        appendCategory(doc, root, name);
        saveDocument(doc, categorySetPath);
    }

    void CreateCategoryDocument(const QString& docsFolder, const QString& categorySetPath,
                                qint32 installType, int) override
    {
        XmlDocument doc;
        buildCategorySet(doc, docsFolder, categorySetPath, installType);
        saveDocument(doc, categorySetPath);
    }

    QStringList GetCategoryBooks(const QString& name, const QString& tocPath) override
    {
        QStringList acros;
        XmlDocument doc;
        if (!loadIfPresent(doc, tocPath))
            return acros;
        for (const XmlNode& book :
             nodesOf(doc.selectNodes(QStringLiteral("PX_Master/PX_Books/Book")))) {
            const QString acro = childText(book, QStringLiteral("Book_Acro"));
            if (acro.isEmpty() || acros.contains(acro))
                continue;
            for (const XmlNode& category :
                 nodesOf(book.selectNodes(QStringLiteral("Book_Categories/Book_Category")))) {
                if (category.text() == name) {
                    acros.append(acro);
                    break;
                }
            }
        }
        return acros;
    }

    // Without a category set there is nothing to file into; the next refresh creates it.
    void SetCategoryBooks(const QString& name, const QStringList& bookAcros,
                          const QString& categorySetPath) override
    {
        XmlDocument doc;
        if (!loadIfPresent(doc, categorySetPath))
            return;
        XmlNode root = categoryRoot(doc, categorySetPath);
        XmlNode category = findCategory(root, name);
        if (category.isNull()) {
            if (name != kOtherCategory)
                return;
            category = appendCategory(doc, root, name);
        }
        for (const XmlNode& acro : nodesOf(category.selectNodes(QStringLiteral("BookAcro"))))
            category.removeChild(acro);
        // The component pads its lists with empty entries.
        QStringList written;
        for (const QString& acro : bookAcros) {
            if (acro.isEmpty() || written.contains(acro))
                continue;
            appendElement(doc, category, QStringLiteral("BookAcro"), acro);
            written.append(acro);
        }
        saveDocument(doc, categorySetPath);
    }

    void RenameCategory(const QString& categorySetPath, const QString& newName,
                        const QString& oldName) override
    {
        XmlDocument doc;
        loadRequired(doc, categorySetPath);
        bool renamed = false;
        for (const XmlNode& category :
             nodesOf(categoryRoot(doc, categorySetPath).selectNodes(QStringLiteral("Category")))) {
            XmlNode categoryName = category.selectSingleNode(QStringLiteral("CategoryName"));
            if (!categoryName.isNull() && categoryName.text() == oldName) {
                categoryName.setText(newName);
                renamed = true;
            }
        }
        if (renamed)
            saveDocument(doc, categorySetPath);
    }

    bool IsDefaultCategory(const QString& defaultCategoriesPath, const QString& name,
                           qint32 installType) override
    {
        return defaultCategories(defaultCategoriesPath, installType)
            .contains(name, Qt::CaseInsensitive);
    }

    // A refresh deletes the set and writes it anew; one it cannot write back stays as it is.
    bool CheckCategoryDocument(const QString& categorySetPath) override
    {
        FileSystem fs;
        return fs.FileExists(categorySetPath) &&
               (fs.GetAttributes(categorySetPath) & FileSystem::ReadOnly) != 0;
    }
};

class DefaultBookEntryService : public BookEntryService
{
public:
    explicit DefaultBookEntryService(qint32 installType) : m_installType(installType) {}

    // A missing category set is created as a refresh would create it, so that the entry is
    // not lost: the refresh keeps the categories it finds in the set.
    void AddBookEntry(const QString& bookName, const QString& bookAcro,
                      const QString& categorySetPath) override
    {
        XmlDocument doc;
        const bool created = !loadIfPresent(doc, categorySetPath);
        if (created) {
            const QString docsFolder = parentOf(parentOf(categorySetPath)) + QLatin1Char('\\');
            buildCategorySet(doc, docsFolder, categorySetPath, m_installType);
        }
        XmlNode root = categoryRoot(doc, categorySetPath);
        XmlNode category = findCategory(root, bookName);
        if (category.isNull())
            category = appendCategory(doc, root, bookName);
        bool listed = false;
        for (const XmlNode& acro : nodesOf(category.selectNodes(QStringLiteral("BookAcro"))))
            listed = listed || acro.text() == bookAcro;
        if (!listed)
            appendElement(doc, category, QStringLiteral("BookAcro"), bookAcro);
        if (created || !listed)
            saveDocument(doc, categorySetPath);
    }

private:
    qint32 m_installType;
};

// ---- files -------------------------------------------------------------------------------

class DefaultFileCopyService : public FileCopyService
{
public:
    // The two options select nothing here: the component always passes 0 for both.
    void mbCopyFiles(int, int, const QString& sourcePath, const QString& globalFolder) override
    {
        FileSystem fs;
        const QString fileName = FileSystem::GetFileName(sourcePath);
        fs.CopyFile(sourcePath, joinPath(globalFolder, fileName), true);

        // A page saved by a browser keeps its pictures and styles in "<name>_files" beside it.
        const QString upper = fileName.toUpper();
        if (!upper.endsWith(QLatin1String(".HTM")) && !upper.endsWith(QLatin1String(".HTML")))
            return;
        const QString companion = withoutExtension(sourcePath) + QStringLiteral("_files");
        if (fs.FolderExists(companion))
            fs.CopyFolder(companion, joinPath(globalFolder, FileSystem::GetFileName(companion)));
    }
};

// ---- settings ----------------------------------------------------------------------------

class DefaultDeveloperSettingsService : public DeveloperSettingsService
{
public:
    DefaultDeveloperSettingsService(QString dataRoot, qint32 installType)
        : m_dataRoot(std::move(dataRoot)), m_installType(installType)
    {
    }

    QVariant GetPXServer() override { return m_dataRoot; }
    QVariant getDeveloperInstallType() override { return m_installType; }

private:
    QString m_dataRoot;
    qint32 m_installType;
};

class DefaultProjectRankService : public ProjectRankService
{
public:
    explicit DefaultProjectRankService(QString dataRoot) : m_dataRoot(std::move(dataRoot)) {}

    QString GetProjectRank(QString& projectName) override
    {
        const QString path = m_dataRoot + QStringLiteral("Docs\\PX_Selection.XML");
        XmlDocument doc;
        if (!loadIfPresent(doc, path))
            return kDefaultRank;
        for (const XmlNode& project :
             nodesOf(doc.selectNodes(QStringLiteral("PX_Selection_List/PXs/PX")))) {
            const XmlNode name = project.selectSingleNode(QStringLiteral("PX_Name"));
            if (name.isNull() || name.text() != projectName)
                continue;
            const QString rank = name.attribute(QStringLiteral("Rank")).trimmed();
            return rank.isEmpty() ? kDefaultRank : rank;
        }
        return kDefaultRank;
    }

private:
    QString m_dataRoot;
};

} // namespace

DefaultServiceProvider::DefaultServiceProvider(QString dataRoot, qint32 installType)
    : m_installType(installType)
{
    if (dataRoot.isEmpty())
        dataRoot = qEnvironmentVariable("GLOBALSTAB_DATA_ROOT");
    setDataRoot(dataRoot);
}

void DefaultServiceProvider::setDataRoot(const QString& dataRoot)
{
    m_dataRoot = dataRoot;
    // An empty root stays empty rather than becoming the file-system root.
    if (!m_dataRoot.isEmpty() && !isSeparator(m_dataRoot.back()))
        m_dataRoot += QLatin1Char('/');
}

std::unique_ptr<DeveloperSettingsService> DefaultServiceProvider::createDeveloperSettingsService()
{
    return std::make_unique<DefaultDeveloperSettingsService>(m_dataRoot, m_installType);
}

std::unique_ptr<ProjectRankService> DefaultServiceProvider::createProjectRankService()
{
    return std::make_unique<DefaultProjectRankService>(m_dataRoot);
}

std::unique_ptr<GlobalBookService> DefaultServiceProvider::createGlobalBookService()
{
    return std::make_unique<DefaultGlobalBookService>();
}

std::unique_ptr<FileCopyService> DefaultServiceProvider::createFileCopyService()
{
    return std::make_unique<DefaultFileCopyService>();
}

std::unique_ptr<BookEntryService> DefaultServiceProvider::createBookEntryService()
{
    return std::make_unique<DefaultBookEntryService>(m_installType);
}

std::unique_ptr<BookCategoryService> DefaultServiceProvider::createBookCategoryService()
{
    return std::make_unique<DefaultBookCategoryService>();
}

} // namespace globalstab
