#pragma once

#include <globalstab/globalstab_export.h>

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace globalstab {

// The developer services of the authoring tool. The component creates one instance per
// procedure through the installed ServiceProvider and drops it before returning. Any
// operation may throw RuntimeError; the calling procedure reports it.

class GLOBALSTAB_EXPORT DeveloperSettingsService
{
public:
    virtual ~DeveloperSettingsService() = default;
    // The data root; it must end with a separator, "Docs\" is appended directly.
    virtual QVariant GetPXServer() = 0;
    // The install type, converted by the caller to a 32-bit integer; 1000 enables the rank.
    virtual QVariant getDeveloperInstallType() = 0;
};

class GLOBALSTAB_EXPORT ProjectRankService
{
public:
    virtual ~ProjectRankService() = default;
    virtual QString GetProjectRank(QString& projectName) = 0;
};

class GLOBALSTAB_EXPORT GlobalBookService
{
public:
    virtual ~GlobalBookService() = default;
    virtual void AddGlobalBookToToc(const QString& tocPath, const QString& projectName) = 0;
    virtual void CreateGlobalBook(const QString& globalFolder, const QString& projectName) = 0;
    // The page's file goes to source; the result is not used by the component.
    virtual QString GetGlobalPage(const QString& bookPath, const QString& pageName,
                                  QString& source) = 0;
    virtual bool AddGlobalPage(const QString& bookPath, const QString& escapedPageName,
                               const QString& fileName, const QString& targetFrame) = 0;
    virtual void DeleteGlobalPage(const QString& bookPath, const QString& escapedPageName) = 0;
    virtual bool EditGlobalPage(const QString& bookPath, const QString& escapedNewName,
                                const QString& fileName, const QString& targetFrame,
                                const QString& oldName) = 0;
};

class GLOBALSTAB_EXPORT FileCopyService
{
public:
    virtual ~FileCopyService() = default;
    // Afterwards the document is in globalFolder under its own file name.
    virtual void mbCopyFiles(int option1, int option2, const QString& sourcePath,
                             const QString& globalFolder) = 0;
};

class GLOBALSTAB_EXPORT BookEntryService
{
public:
    virtual ~BookEntryService() = default;
    virtual void AddBookEntry(const QString& bookName, const QString& bookAcro,
                              const QString& categorySetPath) = 0;
};

class GLOBALSTAB_EXPORT BookCategoryService
{
public:
    virtual ~BookCategoryService() = default;
    virtual void AddCategory(const QString& categorySetPath, const QString& name) = 0;
    virtual void CreateCategoryDocument(const QString& docsFolder, const QString& categorySetPath,
                                        qint32 installType, int option) = 0;
    virtual QStringList GetCategoryBooks(const QString& name, const QString& tocPath) = 0;
    virtual void SetCategoryBooks(const QString& name, const QStringList& bookAcros,
                                  const QString& categorySetPath) = 0;
    virtual void RenameCategory(const QString& categorySetPath, const QString& newName,
                                const QString& oldName) = 0;
    virtual bool IsDefaultCategory(const QString& defaultCategoriesPath, const QString& name,
                                   qint32 installType) = 0;
    // True when the category set must be left as it is (not rebuilt).
    virtual bool CheckCategoryDocument(const QString& categorySetPath) = 0;
};

// Creates the services. Returning nullptr makes the calling procedure fail with run-time
// error 429, as a service that cannot be created does.
class GLOBALSTAB_EXPORT ServiceProvider
{
public:
    virtual ~ServiceProvider() = default;
    virtual std::unique_ptr<DeveloperSettingsService> createDeveloperSettingsService() = 0;
    virtual std::unique_ptr<ProjectRankService> createProjectRankService() = 0;
    virtual std::unique_ptr<GlobalBookService> createGlobalBookService() = 0;
    virtual std::unique_ptr<FileCopyService> createFileCopyService() = 0;
    virtual std::unique_ptr<BookEntryService> createBookEntryService() = 0;
    virtual std::unique_ptr<BookCategoryService> createBookCategoryService() = 0;
};

} // namespace globalstab
