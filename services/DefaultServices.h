#pragma once

#include <globalstab/DeveloperServices.h>
#include <globalstab/globalstab_export.h>

namespace globalstab {

// The services backed by the file system below a data root, so that the component works
// without an authoring tool around it.
class GLOBALSTAB_EXPORT DefaultServiceProvider : public ServiceProvider
{
public:
    // dataRoot gets a trailing "/" when it has no separator at its end.
    explicit DefaultServiceProvider(QString dataRoot = QString(), qint32 installType = 0);

    QString dataRoot() const { return m_dataRoot; }
    void setDataRoot(const QString& dataRoot);
    qint32 installType() const { return m_installType; }
    void setInstallType(qint32 installType) { m_installType = installType; }

    std::unique_ptr<DeveloperSettingsService> createDeveloperSettingsService() override;
    std::unique_ptr<ProjectRankService> createProjectRankService() override;
    std::unique_ptr<GlobalBookService> createGlobalBookService() override;
    std::unique_ptr<FileCopyService> createFileCopyService() override;
    std::unique_ptr<BookEntryService> createBookEntryService() override;
    std::unique_ptr<BookCategoryService> createBookCategoryService() override;

private:
    QString m_dataRoot;
    qint32 m_installType;
};

} // namespace globalstab
