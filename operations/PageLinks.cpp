#include "operations/PageLinks.h"

#include "documents/GlobalBook.h"
#include "platform/FileSystem.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"
#include "platform/RuntimeError.h"

#include <algorithm>

namespace globalstab {

namespace {

// Counted on the name as typed, blanks included.
constexpr int MaxPageNameLength = 100;

bool hasAcceptedType(const QString& upperSource)
{
    static const QLatin1String types[] = {
        QLatin1String(".TXT"), QLatin1String(".DOC"), QLatin1String(".HTML"), QLatin1String(".HTM"),
        QLatin1String(".XML"), QLatin1String(".XLS"), QLatin1String(".PDF")};
    return std::any_of(std::begin(types), std::end(types),
                       [&](QLatin1String type) { return upperSource.contains(type); });
}

bool copiedByService(const QString& source)
{
    const QString upper = source.toUpper();
    return upper.contains(QLatin1String(".HTM")) || upper.contains(QLatin1String(".XML"));
}

} // namespace

std::optional<PageRefusal> refusePage(const QString& name, const QString& source)
{
    if (name.trimmed().isEmpty() || isNumeric(name))
        return PageRefusal{126, true};
    if (name.length() > MaxPageNameLength)
        return PageRefusal{131, true};
    // The source is not trimmed here: a blank-only path is caught by the type test.
    if (source.isEmpty())
        return PageRefusal{127, false};
    const QString upper = source.toUpper();
    if (!hasAcceptedType(upper))
        return PageRefusal{128, false};
    // The project's own book must never be linked (and so copied over itself).
    if (upper.contains(QLatin1String("BOOK_GLOBAL.XML")))
        return PageRefusal{129, false};
    return std::nullopt;
}

void copyLinkedDocument(const QString& source, const QString& globalFolder, FileCopyService& copier)
{
    const FileSystem fso;
    if (!fso.FileExists(source))
        return;
    if (copiedByService(source))
        copier.mbCopyFiles(0, 0, source, globalFolder);
    else
        fso.CopyFile(source, globalFolder + paths::fileName(source), true);
}

void prepareGlobalFolder(const PageServices& services, const ProjectContext& project,
                         const QString& source)
{
    const FileSystem fso;
    const QString globalFolder = project.globalFolder();
    if (!fso.FolderExists(globalFolder))
        fso.CreateFolder(globalFolder);
    copyLinkedDocument(source, globalFolder, services.copier);

    if (!fso.FileExists(project.globalBookPath())) {
        if (!fso.FolderExists(globalFolder))
            fso.CreateFolder(globalFolder);
        services.book.CreateGlobalBook(globalFolder, project.projectName);
    }
}

int saveGlobalPage(const PageServices& services, const ProjectContext& project,
                   const QString& escapedName, const QString& source,
                   const std::optional<QString>& editedPage)
{
    const QString fileName = paths::fileName(source);
    const QString bookPath = project.globalBookPath();
    if (!editedPage) {
        if (!services.book.AddGlobalPage(bookPath, escapedName, fileName, QString()))
            return 145;
        services.entries.AddBookEntry(GlobalBook::BookName, GlobalBook::BookAcro,
                                      project.bookCategoriesPath());
        return 114;
    }
    return services.book.EditGlobalPage(bookPath, escapedName, fileName, QString(), *editedPage)
               ? 115
               : 142;
}

} // namespace globalstab
