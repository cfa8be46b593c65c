#include "services/DefaultServices.h"

#include "documents/CategorySet.h"
#include "documents/DefaultCategories.h"
#include "documents/GlobalBook.h"
#include "documents/SelectionList.h"
#include "documents/TableOfContents.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/RuntimeError.h"
#include "text/TextChecks.h"

#include <QFile>

#include <optional>
#include <utility>

namespace globalstab {

namespace {

const QString DefaultRank = QStringLiteral("500");
const QString DefaultCategoriesFile = QStringLiteral("PX_DefaultCategories.xml");
const QString TocFile = QStringLiteral("PX_TOC.xml");

// Acronyms of the books without a category, for a new set. An unreadable table of contents
// files nothing: it must not stop a rebuild.
QStringList booksWithoutCategory(const QString& tocPath)
{
    TableOfContents toc;
    if (!FileSystem().FileExists(tocPath) || !toc.load(tocPath))
        return QStringList();
    return toc.booksWithoutCategory();
}

// A new category set: one Category per default category of the install type. "Other
// Category" gets the uncategorised books of the table of contents beside the set at once;
// the refresh that recreates the set never asks for that category's books.
void createCategorySet(CategorySet& set, const QString& docsFolder, const QString& setPath,
                       qint32 installType)
{
    set.create(DefaultCategories::read(paths::join(docsFolder, DefaultCategoriesFile), installType),
               booksWithoutCategory(paths::join(paths::parentOf(setPath), TocFile)));
}

// ---- global book -------------------------------------------------------------------------

class DefaultGlobalBookService : public GlobalBookService
{
public:
    void AddGlobalBookToToc(const QString& tocPath, const QString& projectName) override
    {
        // Only a book that exists is listed, so every entry of the contents has its document.
        const QString bookPath = paths::join(
            paths::join(paths::parentOf(tocPath), GlobalBook::FolderName), GlobalBook::FileName);
        if (!FileSystem().FileExists(bookPath))
            return;
        TableOfContents toc;
        if (!toc.loadIfPresent(tocPath))
            return;
        if (toc.addBook(GlobalBook::BookName, GlobalBook::BookAcro, GlobalBook::FolderName,
                        GlobalBook::FileName, projectName, tocPath))
            toc.saveNamingFile(tocPath);
    }

    void CreateGlobalBook(const QString& globalFolder, const QString& projectName) override
    {
        FileSystem fs;
        const QString bookPath = paths::join(globalFolder, GlobalBook::FileName);
        // An existing book keeps its pages.
        if (fs.FileExists(bookPath))
            return;
        const QString folder = paths::withoutTrailingSeparator(globalFolder);
        if (!fs.FolderExists(folder))
            fs.CreateFolder(folder);
        GlobalBook book;
        book.create(projectName);
        book.saveNamingFile(bookPath);
    }

    QString GetGlobalPage(const QString& bookPath, const QString& pageName,
                          QString& source) override
    {
        source.clear();
        GlobalBook book;
        if (book.loadIfPresent(bookPath))
            source = book.pageFile(pageName);
        return source;
    }

    // The component hands page names over escaped for XML, the form its link texts carry.
    // The XML layer escapes on save, so they are stored unescaped; otherwise a reader would
    // see "Tom &amp; Jerry". The tab never offers a target frame, so none is stored.
    bool AddGlobalPage(const QString& bookPath, const QString& escapedPageName,
                       const QString& fileName, const QString&) override
    {
        GlobalBook book;
        book.loadRequired(bookPath);
        if (!book.addPage(unescapeXml(escapedPageName), fileName, bookPath))
            return false;
        book.saveNamingFile(bookPath);
        return true;
    }

    void DeleteGlobalPage(const QString& bookPath, const QString& escapedPageName) override
    {
        GlobalBook book;
        // Every heading of that name goes, so that no reader finds the page afterwards.
        if (book.loadIfPresent(bookPath) && book.removePage(unescapeXml(escapedPageName)))
            book.saveNamingFile(bookPath);
    }

    bool EditGlobalPage(const QString& bookPath, const QString& escapedNewName,
                        const QString& fileName, const QString&, const QString& oldName) override
    {
        GlobalBook book;
        book.loadRequired(bookPath);
        if (!book.editPage(oldName, unescapeXml(escapedNewName), fileName, bookPath))
            return false;
        book.saveNamingFile(bookPath);
        return true;
    }
};

// ---- categories --------------------------------------------------------------------------

class DefaultBookCategoryService : public BookCategoryService
{
public:
    void AddCategory(const QString& categorySetPath, const QString& name) override
    {
        if (keeps(categorySetPath))
            return;
        CategorySet set;
        set.loadRequired(categorySetPath);
        if (set.add(name, categorySetPath))
            set.saveNamingFile(categorySetPath);
    }

    void CreateCategoryDocument(const QString& docsFolder, const QString& categorySetPath,
                                qint32 installType, int) override
    {
        if (keeps(categorySetPath)) {
            atomicWriteFile(FileSystem::resolve(categorySetPath), m_kept);
            return;
        }
        CategorySet set;
        createCategorySet(set, docsFolder, categorySetPath, installType);
        if (m_checkedPath == categorySetPath && m_checked)
            set.adoptFormat(*m_checked);
        set.saveNamingFile(categorySetPath);
    }

    QStringList GetCategoryBooks(const QString& name, const QString& tocPath) override
    {
        TableOfContents toc;
        return toc.loadIfPresent(tocPath) ? toc.categoryBooks(name) : QStringList();
    }

    // Without a category set there is nothing to file into; the next refresh creates it.
    void SetCategoryBooks(const QString& name, const QStringList& bookAcros,
                          const QString& categorySetPath) override
    {
        if (keeps(categorySetPath))
            return;
        CategorySet set;
        if (set.loadIfPresent(categorySetPath) && set.setBooks(name, bookAcros, categorySetPath))
            set.saveNamingFile(categorySetPath);
    }

    void RenameCategory(const QString& categorySetPath, const QString& newName,
                        const QString& oldName) override
    {
        CategorySet set;
        set.loadRequired(categorySetPath);
        if (set.rename(oldName, newName, categorySetPath))
            set.saveNamingFile(categorySetPath);
    }

    // A refresh asks once for each category; the defaults are read for the first.
    bool IsDefaultCategory(const QString& defaultCategoriesPath, const QString& name,
                           qint32 installType) override
    {
        if (!m_defaults || m_defaultsPath != defaultCategoriesPath ||
            m_defaultsType != installType) {
            m_defaults = DefaultCategories::read(defaultCategoriesPath, installType);
            m_defaultsPath = defaultCategoriesPath;
            m_defaultsType = installType;
        }
        return m_defaults->contains(name, Qt::CaseInsensitive);
    }

    // A refresh deletes the set and writes it anew; one it cannot write back stays as it is.
    // The look of the set is noted here, so that the new one keeps its declaration, its
    // encoding and its indentation.
    bool CheckCategoryDocument(const QString& categorySetPath) override
    {
        FileSystem fs;
        // A rebuild without the defaults would delete the set and fail to write it anew.
        const QString defaults =
            paths::join(paths::parentOf(paths::parentOf(categorySetPath)), DefaultCategoriesFile);
        DefaultCategories readable;
        if (fs.FileExists(defaults) && !readable.load(defaults))
            return true;
        if (!fs.FileExists(categorySetPath))
            return false;
        auto checked = std::make_unique<CategorySet>();
        if (checked->load(categorySetPath)) {
            m_checked = std::move(checked);
            m_checkedPath = categorySetPath;
        } else {
            // A set that cannot be read is put back as it was, not rebuilt from what the
            // list happens to show: its categories may still be recovered by hand.
            QFile unreadable(FileSystem::resolve(categorySetPath));
            if (unreadable.open(QIODevice::ReadOnly)) {
                m_keptPath = categorySetPath;
                m_kept = unreadable.readAll();
            }
        }
        return (fs.GetAttributes(categorySetPath) & FileSystem::ReadOnly) != 0;
    }

private:
    bool keeps(const QString& categorySetPath) const
    {
        return !m_keptPath.isEmpty() && categorySetPath == m_keptPath;
    }

    std::optional<QStringList> m_defaults; // as last read
    QString m_defaultsPath;
    qint32 m_defaultsType = 0;
    std::unique_ptr<CategorySet> m_checked;
    QString m_checkedPath;
    QString m_keptPath; // a set that could not be read, kept as these bytes
    QByteArray m_kept;
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
        CategorySet set;
        const bool created = !set.loadIfPresent(categorySetPath);
        if (created) {
            const QString docsFolder =
                paths::parentOf(paths::parentOf(categorySetPath)) + QLatin1Char('\\');
            createCategorySet(set, docsFolder, categorySetPath, m_installType);
        }
        const bool filed = set.fileBook(bookName, bookAcro, categorySetPath);
        if (created || filed)
            set.saveNamingFile(categorySetPath);
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
        const QString fileName = paths::fileName(sourcePath);
        fs.CopyFile(sourcePath, paths::join(globalFolder, fileName), true);

        // A page saved by a browser keeps its pictures and styles in "<name>_files" beside it.
        const QString upper = fileName.toUpper();
        if (!upper.endsWith(QLatin1String(".HTM")) && !upper.endsWith(QLatin1String(".HTML")))
            return;
        const QString companion = paths::withoutExtension(sourcePath) + QStringLiteral("_files");
        if (fs.FolderExists(companion))
            fs.CopyFolder(companion, paths::join(globalFolder, paths::fileName(companion)));
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
        SelectionList selection;
        if (!selection.loadIfPresent(m_dataRoot + QStringLiteral("Docs\\PX_Selection.XML")))
            return DefaultRank;
        const QString rank = selection.projectRank(projectName);
        return rank.isEmpty() ? DefaultRank : rank;
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
    if (!m_dataRoot.isEmpty() && !paths::isSeparator(m_dataRoot.back()))
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
