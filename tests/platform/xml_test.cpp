#include "platform/FileSystem.h"
#include "platform/FileSystemTesting.h"
#include "platform/Progress.h"
#include "platform/TextCodec.h"
#include "platform/XmlDocument.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <type_traits>

using namespace globalstab;

namespace {

// The number of the run-time error that body raised; 0 when it raised none.
template <typename Body> int errorOf(Body&& body)
{
    const auto error = test::caught(body);
    return error ? error->number() : 0;
}

class XmlTest : public ::testing::Test
{
protected:
    QByteArray read() const
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    XmlDocument loaded(const QByteArray& xml)
    {
        atomicWriteFile(file, xml);
        XmlDocument doc;
        EXPECT_TRUE(doc.load(file)) << doc.parseError().toStdString();
        return doc;
    }
    QByteArray saved(const XmlDocument& doc)
    {
        doc.save(file);
        return read();
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("doc.xml");
};

// Three categories named A, B and C.
const QByteArray abc = "<Set><Cat><N>A</N></Cat><Cat><N>B</N></Cat><Cat><N>C</N></Cat></Set>";

} // namespace

TEST_F(XmlTest, SeparatingWhitespaceIsDroppedAndTextConcatenated)
{
    XmlDocument doc = loaded("<a>\n  <b>  padded  </b>\n  <c>x<d>y</d><![CDATA[<z>]]></c>\n</a>");
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.childNodes().length(), 2);
    EXPECT_EQ(root.text(), "  padded  xy<z>");
    root.selectSingleNode("c").setText("new & old");
    EXPECT_TRUE(saved(doc).contains("<c>new &amp; old</c>"));
}

TEST_F(XmlTest, BadQueriesNullNodesAndFailedLoads)
{
    // Text before the root would be lost unseen by a save: such a file is not read.
    XmlDocument junk;
    atomicWriteFile(file, "junk\n<r/>");
    EXPECT_FALSE(junk.load(file));
    EXPECT_TRUE(junk.parseError().contains("text before its root element"));
    // However long the prologue, and whatever its bytes say of the encoding.
    const QByteArray longComment = "<!--" + QByteArray(5000, 'x') + "-->";
    atomicWriteFile(file, longComment + "junk<r/>");
    EXPECT_FALSE(junk.load(file));
    // UTF-8 at first ("\xC2\xA0" a blank), Windows-1252 as a whole ("\xC2" a letter).
    atomicWriteFile(file, "<!-- c -->\xC2\xA0<r>" + QByteArray(5000, 'x') + "\xE9</r>");
    EXPECT_FALSE(junk.load(file));
    atomicWriteFile(file, longComment + "\n<r>" + QByteArray(5000, 'x') + "</r>");
    EXPECT_TRUE(junk.load(file));

    XmlDocument doc = loaded(abc);
    const auto invalid = test::caught([&] { doc.selectNodes("A[B='x'y']"); });
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->number(), rt::XmlFailure);
    EXPECT_TRUE(invalid->description().contains("A[B='x'y']"));
    EXPECT_EQ(errorOf([&] { doc.selectSingleNode("count(*)"); }), rt::XmlFailure);

    const XmlNode missing = doc.selectSingleNode("*/Cat[N='Z']");
    EXPECT_EQ(errorOf([&] { missing.text(); }), rt::ObjectNotSet);
    EXPECT_EQ(errorOf([&] { doc.documentElement().appendChild(missing); }), rt::ObjectNotSet);
    const XmlNodeList all = doc.selectNodes("*/Cat");
    EXPECT_TRUE(all.item(3).isNull() && all.item(-1).isNull());

    // A failed load empties the document, which then may not overwrite the unreadable file.
    EXPECT_FALSE(doc.load(dir.filePath("missing.xml")));
    atomicWriteFile(file, "<a><b></a>");
    EXPECT_FALSE(doc.load(file));
    EXPECT_TRUE(doc.parseError().contains("offset 8")) << doc.parseError().toStdString();
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_EQ(doc.selectNodes("//Cat").length(), 0);
    EXPECT_EQ(errorOf([&] { doc.save(file); }), rt::XmlFailure);
    EXPECT_EQ(read(), "<a><b></a>");
}

TEST_F(XmlTest, RemovedNodeGoesBackBeforeItsFormerSibling)
{
    XmlDocument doc = loaded(abc);
    XmlNode root = doc.documentElement();
    const XmlNode b = root.selectSingleNode("Cat[N='B']");
    const XmlNode a = b.previousSibling();
    EXPECT_EQ(root.removeChild(b), b);

    // While detached the node is nowhere in the document but keeps its own children.
    EXPECT_TRUE(b.parentNode().isNull() && b.previousSibling().isNull());
    EXPECT_EQ(doc.selectNodes("//Cat").length(), 2);
    EXPECT_EQ(doc.text(), "AC");
    EXPECT_EQ(a.nextSibling().text(), "C");
    EXPECT_EQ(b.selectSingleNode("N").text(), "B");
    EXPECT_EQ(errorOf([&] { root.removeChild(b); }), rt::InvalidArgument);

    root.insertBefore(b, a);
    EXPECT_EQ(loaded(saved(doc)).text(), "BAC");
}

TEST_F(XmlTest, CreatedNodesStayOutOfQueriesAndOutputUntilInserted)
{
    XmlDocument doc = loaded(abc);
    XmlNode created = doc.createElement("Cat");
    created.appendChild(doc.createElement("N")).setText("D");
    created.setAttribute("id", "4");

    EXPECT_EQ(doc.getElementsByTagName("Cat").length(), 3);
    EXPECT_EQ(doc.selectNodes("//N").length(), 3);
    EXPECT_EQ(doc.selectNodes("/*").length(), 1);
    EXPECT_EQ(doc.childNodes().length(), 1);
    EXPECT_EQ(doc.text(), "ABC");
    EXPECT_TRUE(doc.documentElement().nextSibling().isNull());
    EXPECT_FALSE(saved(doc).contains("D"));

    doc.documentElement().appendChild(created);
    EXPECT_EQ(doc.getElementsByTagName("Cat").length(), 4);
    // A file on one line stays on one line.
    EXPECT_TRUE(saved(doc).endsWith("<Cat id=\"4\"><N>D</N></Cat></Set>"));

    // A new document says what it is; one that replaces another takes over its look.
    XmlDocument fresh;
    fresh.appendChild(fresh.createElement("Root"));
    EXPECT_EQ(saved(fresh), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root />\n");
    const QByteArray tabbed =
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Set>\n\t<A>\xe9</A>\n</Set>\n";
    XmlDocument replaced;
    replaced.appendChild(replaced.createElement("Set")).appendChild(replaced.createElement("B"));
    replaced.adoptFormat(loaded(tabbed));
    EXPECT_EQ(saved(replaced),
              "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Set>\n\t<B />\n</Set>\n");
    EXPECT_EQ(saved(loaded(tabbed)), tabbed);
}

// Elements appended by the hundred are what appending them one by one makes.
TEST_F(XmlTest, ElementsAppendedTogetherAreThoseAppendedOneByOne)
{
    const QStringList texts{"B1", "", "Ünï & <co>", "B1"};
    XmlDocument together = loaded(abc);
    XmlDocument single = loaded(abc);
    for (XmlDocument* doc : {&together, &single}) {
        XmlNode cat = doc->documentElement().firstChildElement("Cat");
        EXPECT_EQ(doc->selectNodes("//B").length(), 0); // a query made before the change
        if (doc == &together) {
            cat.appendElements("B", texts);
        } else {
            for (const QString& text : texts) {
                XmlNode added = cat.appendChild(doc->createElement("B"));
                if (!text.isEmpty())
                    added.setText(text);
            }
        }
        EXPECT_EQ(doc->selectNodes("//B").length(), 4);
        EXPECT_FALSE(cat.childNodes().item(2).hasChildNodes());
    }
    const QByteArray expected = saved(single);
    EXPECT_EQ(saved(together), expected);

    // The document node takes one element, and a name must be one.
    XmlDocument fresh;
    fresh.appendElements("Root", {"x"});
    EXPECT_EQ(fresh.documentElement().text(), "x");
    EXPECT_EQ(errorOf([&] { fresh.appendElements("Root", {"y"}); }), rt::InvalidArgument);
    EXPECT_EQ(errorOf([&] { fresh.documentElement().appendElements("1B", {"y"}); }),
              rt::InvalidArgument);
    EXPECT_EQ(fresh.documentElement().childNodes().length(), 1);
}

TEST_F(XmlTest, UnchangedLoadSaveKeepsEveryNodeAndEncoding)
{
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE Book_Master>\n"
                           "<!-- generated -->\n"
                           "<?px-tool version=\"2\"?>\n"
                           "<Book_Master Key=\"k1\">\n"
                           "  <HName>Tom &amp; Jerry</HName>\n"
                           "  <Empty />\n"
                           "</Book_Master>\n";
    EXPECT_EQ(saved(loaded(xml)), xml);

    // "<a>\u00e9\u20ac</a>\n" in UTF-16LE with a byte-order mark.
    const QByteArray utf16 = QByteArray::fromHex("fffe3c0061003e00e900ac203c002f0061003e000a00");
    XmlDocument doc = loaded(utf16);
    EXPECT_EQ(doc.documentElement().text(), QStringLiteral("\u00e9\u20ac"));
    EXPECT_EQ(saved(doc), utf16);
    const QByteArray cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a>caf\xE9</a>\n";
    EXPECT_EQ(saved(loaded(cp1252)), cp1252);
    // Every spelling of that declaration reads the byte as a Windows-1252 character.
    for (const QByteArray& declaration :
         {QByteArray("<?xml version='1.0' encoding = 'CP1252' ?>"),
          QByteArray(" \r\n<?XML encoding=\"Latin1\"?>"),
          QByteArray("<?xml version=\"1.0\" standalone=\"yes\" encoding=\"iso-8859-1\"?>")})
        EXPECT_EQ(loaded(declaration + "<a>caf\xE9</a>").documentElement().text(),
                  QStringLiteral("caf\u00e9"))
            << declaration.data();
    // A name that only starts like one of them, or one past the declaration, does not count.
    for (const QByteArray& declaration :
         {QByteArray("<?xml version=\"1.0\" encoding=\"latin-15\"?>"),
          QByteArray("<?xml version=\"1.0\"?><!-- encoding=\"cp1252\" -->")})
        EXPECT_NE(loaded(declaration + "<a>caf\xE9</a>").documentElement().text(),
                  QStringLiteral("caf\u00e9"))
            << declaration.data();

    // Line ends and references are rewritten by whole characters: in UTF-16 the bytes of a
    // line feed also stand across two others ("\u0A41\u4E00" is 41 0A 00 4E).
    const QByteArray crlf16 =
        QByteArray::fromHex("fffe3c0061003e00410a004e3c002f0061003e000d000a00");
    EXPECT_EQ(saved(loaded(crlf16)), crlf16);
    // How an element without content is written is learnt from the first one, wherever it is.
    const QByteArray late = "<a>\n  <b>x</b>\n  <c>y &gt; z</c>\n  <d></d>\n  <e />\n</a>\n";
    XmlDocument pairs = loaded(late);
    pairs.documentElement().appendChild(pairs.createElement("f"));
    EXPECT_TRUE(saved(pairs).contains("<e></e>\n  <f></f>"));

    // A large ASCII file is learnt from its first 64 KB where they settle it; beyond them
    // the whole file decides: the first indented element, and the first element without
    // content even when its tag outgrows that stretch.
    const QByteArray wide(70000, 'w');
    XmlDocument large = loaded("<r><a>" + wide + "</a><e k=\"" + wide +
                               "\" />\r\n\t<f/>\r\n\t<g>&company;</g></r>\r\n");
    large.documentElement().appendChild(large.createElement("h"));
    const QByteArray written = saved(large);
    EXPECT_TRUE(written.endsWith("\" />\r\n\t<f />\r\n\t<g>&company;</g>\r\n\t<h />\r\n</r>\r\n"))
        << written.right(80).toStdString();

    // Only the ends of tags lose their blank: " />" as content stays, in any encoding.
    const QByteArray content =
        "<!DOCTYPE a [ <!ENTITY e \"x />\"> ]>\n<a>\n    <b/>\n    <g k=\"v />\"/>\n"
        "    <!-- c /> -->\n    <?p q />?>\n    <![CDATA[ d /> ]]>\n</a>\n";
    for (const bool wide : {false, true}) {
        // UTF-16LE with its byte-order mark.
        const QByteArray bytes =
            wide ? textCodec::encodeUtf16le(QString::fromLatin1(content)) : content;
        XmlDocument doc = loaded(bytes);
        doc.documentElement().appendChild(doc.createElement("f"));
        const QString text = textCodec::decodeText(saved(doc));
        for (const char* kept : {"\"x />\"", "c />", "q />", "d />", "<b/>", "<f/>"})
            EXPECT_TRUE(text.contains(QLatin1String(kept))) << kept << " in " << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String("k=\"v />\"/>"))) << text.toStdString();
    }

    // A file read as Windows-1252 keeps a character it cannot hold as a reference, in text
    // and attribute values; its own bytes stay as they were.
    XmlDocument western = loaded("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                                 "<a k=\"caf\xE9\">\n    <b>x</b>\n</a>\n");
    western.documentElement().firstChildElement("b").setText(QStringLiteral("\u20AC \U000220AC"));
    western.documentElement().setAttribute("n", QStringLiteral("\u4E00"));
    const QByteArray westernBytes = saved(western);
    EXPECT_TRUE(westernBytes.contains("<b>&#x20AC; &#x220AC;</b>")) << westernBytes.toStdString();
    EXPECT_TRUE(westernBytes.contains("k=\"caf\xE9\" n=\"&#x4E00;\""))
        << westernBytes.toStdString();
    XmlDocument again = loaded(westernBytes);
    EXPECT_EQ(again.documentElement().firstChildElement("b").text(),
              QStringLiteral("\u20AC \U000220AC"));
    EXPECT_EQ(again.documentElement().attribute("n"), QStringLiteral("\u4E00"));

    // A reference to no character leaves bytes that are not UTF-8 in the tree; they read as
    // U+FFFD, one for each, and are written as that in every encoding.
    for (const char* encoding : {"ISO-8859-1", "UTF-16", "UTF-8"}) {
        const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n"
                                           "<a k=\"&#x220AC2;\">x&#x220AC2;<b/></a>\n")
                                .arg(QLatin1String(encoding));
        XmlDocument beyond = loaded(qstrcmp(encoding, "UTF-16") == 0 ? textCodec::encodeUtf16le(xml)
                                                                     : xml.toLatin1());
        const QString beyondText = beyond.documentElement().text();
        EXPECT_EQ(beyondText, QStringLiteral("x\uFFFD\uFFFD\uFFFD\uFFFD")) << encoding;
        const QString beyondValue = beyond.documentElement().attribute("k");
        beyond.documentElement().appendChild(beyond.createElement("c"));
        const XmlDocument beyondAgain = loaded(saved(beyond));
        EXPECT_EQ(beyondAgain.documentElement().text(), beyondText) << encoding;
        EXPECT_EQ(beyondAgain.documentElement().attribute("k"), beyondValue) << encoding;
    }

    // A save writes a control character of the declaration as a reference, which moves the
    // encoding further from the start: the next load still reads the file by it.
    XmlDocument lengthened = loaded("<?xml version=\"1" + QByteArray(45, '\x18') +
                                    ".0\" encoding=\"windows-1252\"?>\n<a>Einf\xfchrung</a>\n");
    lengthened.documentElement().appendChild(lengthened.createElement("b"));
    EXPECT_EQ(loaded(saved(lengthened)).documentElement().text(),
              QStringLiteral("Einf\u00fchrung"));

    // The document type ends where the parser ended it, whatever brackets it opens: the
    // text after it is text, where a reference can stand for a character.
    for (const QByteArray& doctype :
         {QByteArray("<!DOCTYPE a [ <!ENTITY co \"x\">\"1\"?>"),
          QByteArray("<!DOCTYPE a [ <!ENTITY co \"]>\"> <!-- ]> --> <![ [ ]]> ]>")}) {
        XmlDocument typed =
            loaded("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + doctype + "\n<a>x</a>\n");
        typed.documentElement().setText(QStringLiteral("\u20AC"));
        const QByteArray typedBytes = saved(typed);
        EXPECT_TRUE(typedBytes.contains("<a>&#x20AC;</a>")) << typedBytes.toStdString();
        EXPECT_EQ(loaded(typedBytes).documentElement().text(), QStringLiteral("\u20AC"));
    }

    // What the fuzzer found: each of these reads back after a save as it was read.
    for (const QByteArray& input :
         {QByteArray("<a>x<b/>&#xFEFF;y</a>"), QByteArray("<a>x&#13;y</a>"),
          QByteArray("<!DOCTYPE a [ x> ]><a><![CDATA[]]>y<b/></a>"),
          QByteArray("\n<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>Caf\xe9</a>")}) {
        const QString text = loaded(input).documentElement().text();
        EXPECT_EQ(loaded(saved(loaded(input))).documentElement().text(), text) << input.data();
    }
    EXPECT_EQ(loaded("<a>x<b/>&#xFEFF;y</a>").documentElement().childNodes().item(2).text(),
              QStringLiteral("\uFEFFy"));
    const XmlDocument cafDoc = loaded("<a>Caf\xe9<b/></a>");
    const XmlNode caf = cafDoc.documentElement();
    EXPECT_EQ(caf.childNodes().item(0).text() + "", caf.text());
    EXPECT_EQ(loaded("\n<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>Caf\xe9</a>")
                  .documentElement()
                  .text(),
              QStringLiteral("Caf\u00e9"));

    // Empty elements keep their form, and elements nested on one line stay on it.
    for (const QByteArray& kept :
         {QByteArray("<r>\n\t<a/>\n\t<b x=\"1\"/>\n</r>\n"), QByteArray("<r>\n  <a></a>\n</r>\n"),
          QByteArray("<?xml version=\"1.0\"?>\n<r><a>1</a><b/></r>\n"),
          QByteArray("<r>\r\n  <a>&company; Ltd</a>\r\n</r>\r\n")})
        EXPECT_EQ(saved(loaded(kept)), kept);

    // A reference to one of the file's entities goes back to a reference in text and
    // attribute values only: elsewhere the same characters are content, in any encoding.
    // So is a carriage return, which only a processing instruction keeps as it is.
    const QByteArray referring = "<a k=\"&co;\">&co; <![CDATA[&amp;co;]]><!-- &amp;co; -->"
                                 "<?p &amp;co; \r?></a>\n";
    for (const bool wide : {false, true}) {
        // UTF-16LE with its byte-order mark.
        const QByteArray bytes =
            wide ? textCodec::encodeUtf16le(QString::fromLatin1(referring)) : referring;
        const QString text = textCodec::decodeText(saved(loaded(bytes)));
        for (const char* kept :
             {"k=\"&co;\"", ">&co; <![CDATA[&amp;co;]]>", "<!-- &amp;co; -->", "<?p &amp;co; \r?>"})
            EXPECT_TRUE(text.contains(QLatin1String(kept))) << kept << " in " << text.toStdString();
        const XmlDocument again = loaded(saved(loaded(bytes)));
        const XmlNodeList nodes = again.documentElement().childNodes();
        ASSERT_EQ(nodes.length(), 4);
        EXPECT_EQ(nodes.item(1).text(), QStringLiteral("&amp;co;"));
        EXPECT_EQ(nodes.item(2).text(), QStringLiteral(" &amp;co; "));
        EXPECT_EQ(nodes.item(3).text(), QStringLiteral("&amp;co; \r"));
    }
}

TEST_F(XmlTest, ListsIterateAsSnapshotsAndNodesOutliveMovesOfTheirDocument)
{
    static_assert(std::is_trivially_copyable_v<XmlNode>, "nodes are plain handles");
    XmlDocument doc = loaded(abc);
    XmlNode root = doc.documentElement();
    QStringList names;
    for (XmlNode cat : root.childNodes())
        names << cat.text();
    EXPECT_EQ(names, QStringList({"A", "B", "C"}));

    // The list is taken before the loop, so removing as it goes visits every match once.
    for (XmlNode cat : root.selectNodes("Cat[N!='B']"))
        root.removeChild(cat);
    EXPECT_EQ(doc.text(), "B");

    const XmlNode b = root.selectSingleNode("Cat");
    XmlDocument moved = std::move(doc);
    EXPECT_EQ(b.parentNode(), moved.documentElement());
    moved.documentElement().appendChild(moved.createElement("N")).setText("D");
    EXPECT_EQ(moved.text(), "BD");
    EXPECT_TRUE(doc.load(file));
    EXPECT_EQ(doc.text(), "ABC");
}

TEST_F(XmlTest, FailedSavesLeaveTheFileWhole)
{
    XmlDocument doc = loaded(abc);
    doc.documentElement().removeChild(doc.documentElement().selectSingleNode("Cat"));
    QFile::setPermissions(file, QFile::ReadOwner);
    EXPECT_EQ(errorOf([&] { doc.save(file); }), rt::PermissionDenied);
    EXPECT_EQ(read(), abc);

    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    globalstab::testing::failNextRename();
    EXPECT_NE(errorOf([&] { doc.save(file); }), 0);
    EXPECT_EQ(read(), abc);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList("doc.xml"));
}

// Runs body on a thread with a small stack, where a walk that recursed once per level of a
// 100,000-deep tree would overflow.
template <typename Body> void onSmallStack(Body body)
{
    std::unique_ptr<QThread> thread(QThread::create(body));
    thread->setStackSize(256 * 1024);
    thread->start();
    thread->wait();
}

TEST_F(XmlTest, DeepNestingIsRefusedOnLoadAndWalkedWithoutRecursion)
{
    const auto nested = [](int depth) {
        return QByteArray("<a>").repeated(depth) + "x" + QByteArray("</a>").repeated(depth);
    };
    EXPECT_EQ(loaded(nested(2000)).getElementsByTagName("a").length(), 2000);
    onSmallStack([&] {
        XmlDocument doc;
        for (const int depth : {2001, 100000}) {
            atomicWriteFile(file, nested(depth));
            EXPECT_FALSE(doc.load(file)); // parsed, measured and freed on the small stack
            EXPECT_TRUE(doc.parseError().contains(file) &&
                        doc.parseError().contains("nested too deep"))
                << doc.parseError().toStdString();
            EXPECT_TRUE(doc.documentElement().isNull());
            EXPECT_EQ(errorOf([&] { doc.save(file); }), rt::XmlFailure);
        }
        EXPECT_EQ(read(), nested(100000));

        // A tree built that deep is still walked: built from the innermost element out, as
        // each insertion looks at the ancestors of its parent.
        XmlNode inner = doc.createElement("a");
        inner.setText("x");
        for (int depth = 1; depth < 100000; ++depth)
            inner = doc.createElement("a").appendChild(inner).parentNode();
        doc.appendChild(inner);
        EXPECT_EQ(doc.getElementsByTagName("a").length(), 100000);
        EXPECT_EQ(doc.text(), "x");
    });
}

TEST_F(XmlTest, CachedDocumentsShareOneTreeAndAreWrittenOnceAtTheEnd)
{
    atomicWriteFile(file, abc);
    const QString other = dir.filePath("new.xml");
    {
        DocumentCache cache;
        XmlDocument first;
        ASSERT_TRUE(first.load(file));
        first.documentElement().appendChild(first.createElement("Cat"));
        first.save(file);
        XmlDocument second;
        ASSERT_TRUE(second.load(file));
        EXPECT_EQ(second.selectNodes("/Set/Cat").length(), 4); // the saved tree, not the disk
        EXPECT_EQ(read(), abc);

        // A new document waits too; deleting it before the end drops it.
        XmlDocument created;
        created.appendChild(created.createElement("New"));
        created.save(other);
        EXPECT_TRUE(FileSystem().FileExists(other));
        FileSystem().DeleteFile(other);
        EXPECT_FALSE(FileSystem().FileExists(other));

        // A read past the tree writes the waiting save first.
        EXPECT_EQ(FileSystem().ReadAllText(file).count("<Cat"), 4);
        // A read-only target is refused at the save, as without the cache.
        second.save(file);
        FileSystem().SetAttributes(file, FileSystem::ReadOnly);
        EXPECT_EQ(errorOf([&] { second.save(file); }), rt::PermissionDenied);
        FileSystem().SetAttributes(file, FileSystem::Normal);
    }
    EXPECT_FALSE(QFile::exists(other));

    XmlDocument after;
    ASSERT_TRUE(after.load(file));
    EXPECT_EQ(after.selectNodes("/Set/Cat").length(), 4);

    // A deletion waits too: the file is gone for the layer, and a save after it replaces the
    // file instead of creating it anew; a deletion alone is made at the end.
    const QString kept = dir.filePath("kept.xml");
    const QString gone = dir.filePath("gone.xml");
    atomicWriteFile(kept, abc);
    atomicWriteFile(gone, abc);
    {
        DocumentCache cache;
        FileSystem().DeleteFile(kept);
        FileSystem().DeleteFile(gone);
        EXPECT_FALSE(FileSystem().FileExists(kept));
        EXPECT_TRUE(QFile::exists(kept));
        XmlDocument missing;
        EXPECT_FALSE(missing.load(kept));
        EXPECT_EQ(errorOf([&] { FileSystem().DeleteFile(kept); }), rt::FileNotFound);
        XmlDocument anew;
        anew.appendChild(anew.createElement("New"));
        anew.save(kept);
        EXPECT_TRUE(FileSystem().FileExists(kept));
    }
    EXPECT_FALSE(QFile::exists(gone));
    EXPECT_TRUE(FileSystem().ReadAllText(kept).contains("<New"));
}

// The layer writes the waiting saves out before it walks a folder a new file waits in, at any
// depth, and finds a new file by any spelling; once a save is dropped it is found no more,
// and walks leave the other waiting saves where they are.
TEST_F(XmlTest, AWaitingNewDocumentIsSeenFromEveryFolderAboveItUntilDropped)
{
    atomicWriteFile(file, abc);
    QDir(dir.path()).mkpath("Sub/Deep");
    const QString created = dir.filePath("Sub/Deep/New.xml");
    const QString asTyped = dir.path() + "\\sub\\deep\\new.Xml";
    const auto saveNew = [](const QString& path) {
        XmlDocument doc;
        doc.appendChild(doc.createElement("New"));
        doc.save(path);
    };
    DocumentCache cache;
    XmlDocument changed;
    ASSERT_TRUE(changed.load(file));
    changed.documentElement().appendChild(changed.createElement("Cat"));
    changed.save(file);

    saveNew(created);
    EXPECT_EQ(FileSystem::resolve(asTyped), created);
    saveNew(asTyped); // the same file
    FileSystem().DeleteFile(asTyped);
    EXPECT_TRUE(FileSystem::resolve(asTyped).endsWith("/Sub/Deep/new.Xml"));
    EXPECT_FALSE(FileSystem().FileExists(asTyped));

    // Nothing new waits: the walks write nothing out.
    EXPECT_EQ(FileSystem().GetFolder(dir.path()).SubFolders().size(), 1);
    EXPECT_TRUE(FileSystem().GetFolder(dir.filePath("Sub/Deep")).Files().isEmpty());
    EXPECT_EQ(read(), abc);

    saveNew(created);
    // A walk of a folder far above the new file writes out every waiting save.
    EXPECT_EQ(FileSystem().GetFolder(dir.path()).SubFolders().size(), 1);
    EXPECT_NE(read(), abc);
    EXPECT_EQ(FileSystem().GetFolder(dir.filePath("Sub/Deep")).Files().size(), 1);
}

// An action that saves thousands of documents one after another keeps only the trees someone
// still holds: the others wait in the write batch as files, the targets untouched until the
// commit, and a later load of one reads what was saved.
TEST_F(XmlTest, SavedTreesNobodyHoldsWaitInTheBatchInsteadOfInMemory)
{
    constexpr int Count = 700;
    const auto pathOf = [&](int i) { return dir.filePath(QStringLiteral("b%1.xml").arg(i)); };
    for (int i = 0; i < Count; i += 2)
        atomicWriteFile(pathOf(i), "<Book><N>old</N></Book>");
    {
        WriteBatch batch;
        DocumentCache cache;
        XmlDocument kept; // held to the end: its later change must not be lost
        ASSERT_TRUE(kept.load(pathOf(0)));
        kept.documentElement().firstChildElement("N").setText("first");
        kept.save(pathOf(0));
        for (int i = 1; i < Count; ++i) {
            XmlDocument doc;
            if (i % 2 == 0) {
                ASSERT_TRUE(doc.load(pathOf(i)));
                doc.documentElement().firstChildElement("N").setText(QString::number(i));
            } else {
                doc.appendChild(doc.createElement("Book")).setText(QString::number(i));
            }
            doc.save(pathOf(i));
        }
        EXPECT_GT(batch.pending(), 0);
        QFile target(pathOf(2));
        ASSERT_TRUE(target.open(QIODevice::ReadOnly));
        EXPECT_EQ(target.readAll(), "<Book><N>old</N></Book>");
        EXPECT_FALSE(QFile::exists(pathOf(3)));
        // A tree someone holds stays the one every load shares.
        XmlDocument shared;
        ASSERT_TRUE(shared.load(pathOf(0)));
        kept.documentElement().firstChildElement("N").setText("last");
        EXPECT_EQ(shared.documentElement().text(), "last");
        kept.save(pathOf(0));

        // Loaded again, a document written early is the one saved, and may change again.
        XmlDocument again;
        ASSERT_TRUE(again.load(pathOf(4)));
        EXPECT_EQ(again.documentElement().text(), "4");
        again.documentElement().firstChildElement("N").setText("changed");
        again.save(pathOf(4));
    }
    for (int i = 0; i < Count; ++i) {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(pathOf(i)));
        const QString expected = i == 0 ? "last" : i == 4 ? "changed" : QString::number(i);
        EXPECT_EQ(doc.documentElement().text(), expected) << i;
    }
    EXPECT_EQ(QDir(dir.path()).entryList({".globalstab-*"}, QDir::Files | QDir::Hidden).size(), 0);
}

// The documents an action saved are printed together at its end: each file gets the text of
// its own tree as it stood at the end, a tree saved under two names once for each.
TEST_F(XmlTest, EveryDocumentAnActionSavedIsWrittenWithItsLastText)
{
    QStringList paths;
    {
        WriteBatch batch;
        DocumentCache cache;
        for (int i = 0; i < 40; ++i) {
            paths << dir.filePath(QStringLiteral("doc%1.xml").arg(i));
            XmlDocument doc;
            doc.appendChild(doc.createElement("Doc")).setText(QString::number(i));
            doc.save(paths.last());
            if (i % 10 == 3) {
                doc.documentElement().setText(QStringLiteral("last %1").arg(i));
                doc.save(paths.last() + ".copy");
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        const QString text = i % 10 == 3 ? QStringLiteral("last %1").arg(i) : QString::number(i);
        XmlDocument doc;
        ASSERT_TRUE(doc.load(paths[i]));
        EXPECT_EQ(doc.text(), text);
        XmlDocument copy;
        EXPECT_EQ(copy.load(paths[i] + ".copy"), i % 10 == 3);
        if (i % 10 == 3) {
            EXPECT_EQ(copy.text(), text);
        }
    }
}

// A document an action saves but leaves as it was read is not written again: the file keeps
// its inode, and with it its links and times; one that changed, even to the same length, is.
TEST_F(XmlTest, AnActionRewritesOnlyTheDocumentsItChanged)
{
    const auto inode = [](const QString& path) {
        struct stat info;
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    };
    const QString same = dir.filePath("same.xml");
    const QString changed = dir.filePath("changed.xml");
    const QString created = dir.filePath("created.xml");
    const QString back = dir.filePath("back.xml");
    atomicWriteFile(back, "<Book>\n    <N>one</N>\n</Book>\n");
    atomicWriteFile(same, "<Book>\n    <N>one</N>\n</Book>\n");
    atomicWriteFile(changed, "<Book>\n    <N>one</N>\n</Book>\n");
    const auto before = std::make_pair(inode(same), inode(changed));
    {
        WriteBatch batch;
        DocumentCache cache;
        for (const QString& path : {same, changed}) {
            XmlDocument doc;
            ASSERT_TRUE(doc.load(path));
            doc.documentElement().firstChildElement("N").setText(path == same ? "one" : "two");
            doc.save(path);
        }
        XmlDocument fresh;
        ASSERT_TRUE(fresh.load(same));
        fresh.save(created);
        // Written out as changed, then changed back: the version that waits must not win.
        XmlDocument twice;
        ASSERT_TRUE(twice.load(back));
        twice.documentElement().firstChildElement("N").setText("two");
        twice.save(back);
        cache.writeOut();
        twice.documentElement().firstChildElement("N").setText("one");
        twice.save(back);
    }
    EXPECT_TRUE(FileSystem().ReadAllText(back).contains("<N>one</N>"));
    EXPECT_EQ(inode(same), before.first);
    EXPECT_NE(inode(changed), before.second);
    EXPECT_TRUE(FileSystem().ReadAllText(changed).contains("<N>two</N>"));
    EXPECT_EQ(FileSystem().ReadAllText(created), FileSystem().ReadAllText(same));
}

// Saves written out at the end of a long action report their progress, and a stop there
// must leave the cache able to drop what it holds: the action is put back from the disk.
TEST_F(XmlTest, AStopWhileSavesAreWrittenOutLeavesTheCacheAbleToDropThem)
{
    const QStringList paths{dir.filePath("a.xml"), dir.filePath("b.xml"), dir.filePath("c.xml")};
    for (const QString& path : paths)
        atomicWriteFile(path, "<Book>old</Book>");
    DocumentCache cache;
    for (const QString& path : paths) {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        doc.documentElement().setText("new");
        doc.save(path);
    }
    QList<int> reported;
    {
        const ObservedProgress progress([&](int done, int) {
            reported << done;
            return done == 1;
        });
        EXPECT_THROW(cache.writeOut(), ActionCancelled);
    }
    EXPECT_EQ(reported, (QList<int>{0, 1}));
    DocumentCache::discardActive();
    XmlDocument last;
    ASSERT_TRUE(last.load(paths[2]));
    EXPECT_EQ(last.documentElement().text(), "old");
}

// An inspection on several threads may answer only for a file whose disk bytes are what a
// load would see: one the action saved, or whose save waits, is left to the load, as is one
// that cannot be read, parsed or found as spelt, or whose test raises.
// The walks that build no list must see what the lists and names show.
TEST_F(XmlTest, ChildWalksAndNameChecksAgreeWithChildListsAndNodeNames)
{
    XmlDocument doc = loaded("<?xml version=\"1.0\"?>\n<!DOCTYPE Book>\n<Book><?Book_Folder x?>"
                             "<Book_Folder>F</Book_Folder><!--c--><![CDATA[d]]>t<Book_File/>"
                             "</Book>\n<?pi?>");
    doc.createElement("Parked"); // waits under the document node, out of every list
    QStringList seen;
    const std::function<void(const XmlNode&)> walk = [&](const XmlNode& parent) {
        std::vector<XmlNode> listed;
        for (const XmlNode& child : parent.childNodes())
            listed.push_back(child);
        std::vector<XmlNode> walked;
        for (XmlNode child = parent.firstChild(); child; child = child.nextSibling())
            walked.push_back(child);
        ASSERT_EQ(walked, listed);
        for (const XmlNode& child : walked) {
            const QByteArray name = child.nodeName().toLatin1();
            EXPECT_TRUE(child.nodeNameIs(QLatin1StringView(name))) << name.constData();
            EXPECT_FALSE(child.nodeNameIs(QLatin1StringView(name.chopped(1))));
            EXPECT_FALSE(child.nodeNameIs(QLatin1StringView(name + 'x')));
            seen << QString::fromLatin1(name) + (child.isElement() ? "*" : "");
            std::vector<XmlNode> named;
            for (XmlNode element = parent.firstChildElement(QLatin1StringView(name)); element;
                 element = element.nextSiblingElement(QLatin1StringView(name)))
                named.push_back(element);
            const XmlNodeList elements = parent.childElements(QString::fromLatin1(name));
            EXPECT_EQ(named, std::vector<XmlNode>(elements.begin(), elements.end())) << name.data();
            walk(child);
        }
    };
    walk(doc);
    EXPECT_EQ(seen, QStringList({"xml", "Book", "Book*", "Book_Folder", "Book_Folder*", "#text",
                                 "#comment", "#cdata-section", "#text", "Book_File*", "pi"}));
}

// A large document an action read and left alone is not parsed again by the next action
// while its bytes stay the same: the tree comes back with what was derived from it.
TEST_F(XmlTest, ALargeTreeIsTakenAgainOnlyWhileTheFileHoldsTheBytesItWasParsedFrom)
{
    QByteArray large = "<Set>";
    for (int i = 0; i < 4000; ++i)
        large += "<Cat><N>Category " + QByteArray::number(i).rightJustified(5, '0') + "</N></Cat>";
    large += "</Set>";
    ASSERT_GT(large.size(), 64 * 1024);
    atomicWriteFile(file, large);
    constexpr int Key = 7;
    const auto action = [&](const std::function<void(XmlDocument&)>& body) {
        DocumentCache cache;
        XmlDocument doc;
        ASSERT_TRUE(doc.load(file));
        body(doc);
    };
    const auto keep = [&](XmlDocument& doc) { doc.keepDerived(Key, std::make_shared<int>(1)); };
    const auto reused = [&] {
        bool taken = false;
        action([&](XmlDocument& doc) { taken = doc.derived(Key) != nullptr; });
        return taken;
    };

    action(keep);
    EXPECT_TRUE(reused());
    EXPECT_TRUE(reused()); // given back unchanged, kept again
    DocumentCache::dropKeptTrees();
    EXPECT_FALSE(reused());

    // The same length, another byte: parsed anew, and the tree shows the disk.
    action(keep);
    QByteArray edited = large;
    edited.replace("Category 00007", "Category 0000X");
    ASSERT_EQ(edited.size(), large.size());
    atomicWriteFile(file, edited);
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectNodes("/Set/Cat[N='Category 0000X']").length(), 1);
        keep(doc);
    });

    // A tree an action changed is not kept, saved or not.
    action([&](XmlDocument& doc) { doc.selectSingleNode("/Set/Cat/N").setText("Unsaved"); });
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.selectSingleNode("/Set/Cat/N").text(), "Category 00000");
    });
    action([&](XmlDocument& doc) {
        doc.selectSingleNode("/Set/Cat/N").setText("Changed");
        doc.save(file);
    });
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectSingleNode("/Set/Cat/N").text(), "Changed");
        keep(doc);
    });

    // Nor one that outlives its action in other hands: a later action's change must not
    // reach it.
    XmlDocument holder;
    {
        DocumentCache cache;
        ASSERT_TRUE(holder.load(file));
    }
    action([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        doc.selectSingleNode("/Set/Cat/N").setText("Again");
        doc.save(file);
    });
    EXPECT_EQ(holder.selectSingleNode("/Set/Cat/N").text(), "Changed");

    // A file gone is not found through a tree kept for it.
    action(keep);
    QFile::remove(file);
    DocumentCache cache;
    XmlDocument missing;
    EXPECT_FALSE(missing.load(file));
}

// A refresh deletes the category set and writes it anew; when it comes out as it was, the
// file is left alone and the tree read at the start stays the parse of it.
TEST_F(XmlTest, AFileDeletedAndWrittenAgainAsItWasKeepsTheTreeFirstReadFromIt)
{
    QByteArray large = "<Set>";
    for (int i = 0; i < 4000; ++i)
        large += "<Cat><N>Category " + QByteArray::number(i).rightJustified(5, '0') + "</N></Cat>";
    large += "</Set>";
    const QString copy = dir.filePath("copy.xml");
    constexpr int Key = 7;
    const auto rebuild = [&](const QByteArray& as) {
        atomicWriteFile(copy, as);
        DocumentCache cache;
        XmlDocument first;
        ASSERT_TRUE(first.load(file));
        first.keepDerived(Key, std::make_shared<int>(1));
        XmlDocument rebuilt;
        ASSERT_TRUE(rebuilt.load(copy));
        rebuilt.adoptFormat(first);
        FileSystem().DeleteFile(file);
        rebuilt.save(file);
    };
    const auto next = [&](const std::function<void(XmlDocument&)>& check) {
        DocumentCache cache;
        XmlDocument doc;
        ASSERT_TRUE(doc.load(file));
        check(doc);
    };

    atomicWriteFile(file, large);
    rebuild(large);
    EXPECT_EQ(read(), large);
    next([&](XmlDocument& doc) { EXPECT_NE(doc.derived(Key), nullptr); });

    // Written otherwise, the file is parsed anew.
    QByteArray other = large;
    other.replace("Category 00007", "Category 0000X");
    rebuild(other);
    next([&](XmlDocument& doc) {
        EXPECT_EQ(doc.derived(Key), nullptr);
        EXPECT_EQ(doc.selectNodes("/Set/Cat[N='Category 0000X']").length(), 1);
    });
    DocumentCache::dropKeptTrees();
}

TEST_F(XmlTest, InspectionsAnswerOnlyForFilesTheDiskHoldsAsALoadWouldSeeThem)
{
    QStringList paths;
    for (int i = 0; i < 300; ++i) {
        // A few stand in a folder of their own, below the one the others share.
        paths << dir.filePath(
            QString::fromLatin1(i % 100 == 42 ? "sub/book%1.xml" : "book%1.xml").arg(i));
        QDir().mkpath(QFileInfo(paths.last()).path());
        atomicWriteFile(paths.last(), "<Book><N>" + QByteArray::number(i) + "</N></Book>");
    }
    atomicWriteFile(paths[150], "<Book><N>");
    atomicWriteFile(paths[151], "<Book/>");
    WriteBatch batch;
    DocumentCache cache;
    XmlDocument saved; // saved earlier in the action: the disk is behind
    ASSERT_TRUE(saved.load(paths[7]));
    saved.documentElement().firstChildElement("N").setText("8");
    saved.save(paths[7]);
    atomicWriteFile(paths[9], "<Book><N>10</N></Book>"); // waits in the batch
    const QStringList odd{dir.filePath("missing.xml"), dir.filePath("BOOK3.XML"),
                          dir.filePath("sub/../book4.xml"),
                          QString(paths[5]).replace(QLatin1Char('/'), QLatin1Char('\\'))};
    const auto found = DocumentCache::inspect(paths + odd, [](const XmlDocument& doc) {
        return doc.documentElement().firstChildElement("N").text().toInt() % 2 == 0;
    });
    ASSERT_EQ(found.size(), size_t(paths.size() + odd.size()));
    using Inspected = DocumentCache::Inspected;
    for (int i = 0; i < 300; ++i) {
        const bool left = i == 7 || i == 9 || i == 150 || i == 151;
        EXPECT_EQ(found[size_t(i)],
                  left ? Inspected::Left : (i % 2 ? Inspected::No : Inspected::Yes))
            << i;
    }
    EXPECT_EQ(found[300], Inspected::Left);
    EXPECT_EQ(found[301], Inspected::Left);
    EXPECT_EQ(found[302], Inspected::Left);
    EXPECT_EQ(found[303], Inspected::No); // "\\" separates as "/" does
    XmlDocument again;
    ASSERT_TRUE(again.load(paths[7]));
    EXPECT_EQ(again.documentElement().text(), "8");
}

// XML ends every line with a line feed, in the document type too: a carriage return there
// must not come back from a save as a reference, which means nothing in a document type.
TEST_F(XmlTest, CarriageReturnsInTheDocumentTypeReadAsLineEnds)
{
    XmlDocument doc =
        loaded("<?xml version=\"1.0\"?>\n<!DOCTYPE a\rb [ <!ENTITY c \"d\"> ]>\n<a/>\n");
    doc.documentElement().setText("x");
    const QByteArray once = saved(doc);
    EXPECT_FALSE(once.contains("&#13;")) << once.toStdString();
    XmlDocument again;
    ASSERT_TRUE(again.load(file));
    EXPECT_EQ(saved(again), once);
}

// The marks of a layout are found sixteen bytes at a time: each must be found first wherever
// it stands against those blocks, and a byte that is not ASCII anywhere, the last included.
TEST(AsciiMarks, FindEachMarkFirstWhereverItStandsAndEveryByteThatIsNotAscii)
{
    const QByteArray alphabet = "\r\n&/><?ab";
    quint32 seed = 7;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 4000; ++round) {
        QByteArray text(qsizetype(next() % 90), 'a');
        for (char& c : text)
            c = next() % 4 ? 'x' : alphabet.at(qsizetype(next() % alphabet.size()));
        const textCodec::AsciiMarks marks = textCodec::asciiMarks(text);
        ASSERT_TRUE(marks.ascii);
        EXPECT_EQ(marks.crlf, text.indexOf("\r\n")) << text.toStdString();
        EXPECT_EQ(marks.ampersand, text.indexOf("&")) << text.toStdString();
        EXPECT_EQ(marks.emptyClose, text.indexOf("/>")) << text.toStdString();
        EXPECT_EQ(marks.pairClose, text.indexOf("></")) << text.toStdString();
        EXPECT_EQ(marks.declarationLine, text.indexOf("?>\n")) << text.toStdString();
        if (text.isEmpty())
            continue;
        for (const char foreign : {'\0', '\x80', '\xff'}) {
            QByteArray spoilt = text;
            spoilt[qsizetype(next() % spoilt.size())] = foreign;
            EXPECT_FALSE(textCodec::asciiMarks(spoilt).ascii);
            spoilt = text;
            spoilt[spoilt.size() - 1] = foreign;
            EXPECT_FALSE(textCodec::asciiMarks(spoilt).ascii);
        }
    }
}
