// The product-name token rewrite on one page of a data root. The first byte chooses the
// names and the layout, the rest is the page.

#include "FuzzSupport.h"

#include "core/Feedback.h"
#include "operations/PageTokens.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

#include <QDirIterator>
#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace globalstab;
using fuzz::visible;

namespace {

class RecordingFeedback : public Feedback
{
public:
    MessageAnswer show(const Message& message) override
    {
        messages.append(message.text);
        return MessageAnswer::Ok;
    }
    QStringList messages;
};

struct Names
{
    const char* product;
    const char* project;
};

// The usual rename, and the cases where the names differ in length or do not differ.
constexpr Names NameChoices[] = {{"Old", "New"}, {"Old", "New"}, {"Old", "Older"}, {"Old", "Old"}};

QStringList filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = bytes[0];
    const QByteArray page(reinterpret_cast<const char*>(bytes) + 1, qsizetype(size - 1));
    const Names& names = NameChoices[choice & 3];
    const bool inSubfolder = choice & 4;
    const bool withArchive = choice & 8; // a server archive that type 1 deletes at the top

    const QString root = fuzz::scratchFolder() + QStringLiteral("/root");
    QDir(root).removeRecursively();
    FUZZ_CHECK(QDir().mkpath(root + QStringLiteral("/Sub")), "cannot make the data root");
    const QString pageName =
        inSubfolder ? QStringLiteral("Sub/page.htm") : QStringLiteral("page.htm");
    fuzz::writeFile(root + QLatin1Char('/') + pageName, page);
    // Not a page: the rewrite must leave it alone, token or not.
    fuzz::writeFile(root + QStringLiteral("/notes.txt"), page);
    const QString archive = QStringLiteral("PX%1_Server.Zip").arg(QLatin1String(names.product));
    if (withArchive) {
        fuzz::writeFile(root + QLatin1Char('/') + archive, "zip");
        fuzz::writeFile(root + QStringLiteral("/Sub/") + archive, "zip");
    }
    const QStringList before = filesBelow(root);

    PageTokenChange change;
    change.dataRoot = root;
    change.productName = QLatin1String(names.product);
    change.projectName = QLatin1String(names.project);
    change.type = withArchive ? 1 : 0;
    RecordingFeedback feedback;
    {
        const WriteBoundary boundary(root);
        rewritePageTokens(Folder(root), change, feedback);
    }

    // Only the top folder's archive may go; nothing may appear, not even a temporary file.
    QStringList expectedFiles = before;
    if (withArchive)
        expectedFiles.removeOne(archive);
    const QStringList after = filesBelow(root);
    FUZZ_CHECK(after == expectedFiles, "the files of the data root changed",
               before.join(QLatin1Char(',')) + QStringLiteral(" -> ") +
                   after.join(QLatin1Char(',')));
    FUZZ_CHECK(fuzz::readFile(root + QStringLiteral("/notes.txt")) == page,
               "a non-page was changed");

    const QByteArray written = fuzz::readFile(root + QLatin1Char('/') + pageName);
    if (page.isEmpty()) {
        // The read fails ("Input past end of file"), is reported once, and nothing is written.
        FUZZ_CHECK(feedback.messages.size() == 1 && feedback.messages.first().contains(u"62"),
                   "an empty page is not reported once", feedback.messages.join(QLatin1Char('|')));
        FUZZ_CHECK(written.isEmpty(), "an empty page was written");
        return 0;
    }
    FUZZ_CHECK(feedback.messages.isEmpty(), "a readable page gave a message",
               feedback.messages.join(QLatin1Char('|')));

    textCodec::Encoding encoding = textCodec::Encoding::Utf8;
    QString expected = textCodec::decodeText(page, &encoding);
    if (expected.isEmpty()) {
        FUZZ_CHECK(written == page, "a page that reads as empty was written", visible(written));
        return 0;
    }
    expected.replace(QStringLiteral("**") + change.productName + QStringLiteral("**"),
                     QStringLiteral("**") + change.projectName + QStringLiteral("**"));
    FUZZ_CHECK(written == textCodec::encodeWrittenBack(expected, encoding),
               "the page was not written in the form it was read in", visible(written));
    // UTF-16 without a mark is told from its zero bytes, which a token of another length
    // moves; every other form reads back for certain.
    const bool markLess =
        encoding == textCodec::Encoding::Utf16LE || encoding == textCodec::Encoding::Utf16BE;
    if (!markLess || qstrlen(names.product) == qstrlen(names.project))
        FUZZ_CHECK(textCodec::decodeText(written) == expected, "the page does not read back",
                   visible(textCodec::decodeText(written)) + QStringLiteral(" instead of ") +
                       visible(expected));
    return 0;
}
