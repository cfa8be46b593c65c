#include "tests/platform/XmlFixture.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>

using namespace globalstab;
using namespace globalstab::test;

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
