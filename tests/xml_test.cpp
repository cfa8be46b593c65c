#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace globalstab;

namespace {

RuntimeError caught(const std::function<void()>& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(0, QString());
}

class XmlTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& data) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path(name);
    }
    QByteArray read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    XmlDocument loaded(const QByteArray& xml)
    {
        XmlDocument doc;
        EXPECT_TRUE(doc.load(write(QStringLiteral("doc.xml"), xml)))
            << doc.parseError().toStdString();
        return doc;
    }
    QStringList names(const XmlNodeList& list) const
    {
        QStringList result;
        for (int i = 0; i < list.length(); ++i)
            result << list.item(i).text();
        return result;
    }

    QTemporaryDir dir;
};

const QByteArray categories = "<BookSet_Categories>\n"
                              "  <Category><CategoryName>A</CategoryName></Category>\n"
                              "  <Category><CategoryName>B</CategoryName></Category>\n"
                              "  <Category><CategoryName>C</CategoryName></Category>\n"
                              "</BookSet_Categories>\n";

} // namespace

TEST_F(XmlTest, SeparatingWhitespaceIsDroppedAndTextConcatenated)
{
    XmlDocument doc = loaded("<a>\n  <b>  padded  </b>\n  <c>x<d>y</d><![CDATA[<z>]]></c>\n</a>");
    const XmlNode root = doc.documentElement();
    EXPECT_EQ(root.childNodes().length(), 2);
    EXPECT_EQ(root.selectSingleNode("b").text(), "  padded  ");
    EXPECT_EQ(root.selectSingleNode("c").text(), "xy<z>");
    EXPECT_EQ(root.text(), "  padded  xy<z>");

    XmlNode c = root.selectSingleNode("c");
    c.setText("new & old");
    ASSERT_EQ(c.childNodes().length(), 1);
    EXPECT_EQ(c.childNodes().item(0).nodeName(), "#text");
    doc.save(path("doc.xml"));
    EXPECT_TRUE(read("doc.xml").contains("<c>new &amp; old</c>"));
}

TEST_F(XmlTest, QueryErrorsAndNullNodes)
{
    XmlDocument doc = loaded(categories);
    const RuntimeError invalid = caught([&] { doc.selectNodes("A[B='x'y']"); });
    EXPECT_EQ(invalid.number(), rt::XmlFailure);
    EXPECT_TRUE(invalid.description().contains("A[B='x'y']"));
    EXPECT_GT(invalid.description().size(), QString("A[B='x'y']").size() + 10);
    EXPECT_EQ(caught([&] { doc.selectSingleNode("count(*)"); }).number(), rt::XmlFailure);

    const XmlNode missing = doc.selectSingleNode("BookSet_Categories/Category[CategoryName='Z']");
    EXPECT_TRUE(missing.isNull());
    EXPECT_FALSE(bool(missing));
    EXPECT_EQ(caught([&] { missing.text(); }).number(), rt::ObjectNotSet);
    EXPECT_EQ(caught([&] { missing.selectNodes("x"); }).number(), rt::ObjectNotSet);
    EXPECT_EQ(caught([&] { doc.documentElement().appendChild(missing); }).number(),
              rt::ObjectNotSet);
    EXPECT_TRUE(doc.selectNodes("*/Category").item(3).isNull());
    EXPECT_TRUE(doc.selectNodes("*/Category").item(-1).isNull());
}

TEST_F(XmlTest, RemovedNodeGoesBackBeforeItsFormerSibling)
{
    XmlDocument doc = loaded(categories);
    XmlNode root = doc.documentElement();
    const XmlNode b = root.selectSingleNode("Category[CategoryName='B']");
    const XmlNode a = b.previousSibling();
    EXPECT_EQ(root.removeChild(b), b);

    // While detached the node is nowhere in the document.
    EXPECT_TRUE(b.parentNode().isNull());
    EXPECT_TRUE(b.previousSibling().isNull());
    EXPECT_EQ(names(doc.selectNodes("//Category")), QStringList({"A", "C"}));
    EXPECT_EQ(doc.getElementsByTagName("Category").length(), 2);
    EXPECT_EQ(a.nextSibling().text(), "C");
    EXPECT_EQ(b.selectSingleNode("CategoryName").text(), "B");
    EXPECT_EQ(caught([&] { root.removeChild(b); }).number(), rt::InvalidArgument);

    root.insertBefore(b, a);
    EXPECT_EQ(b.parentNode(), root);
    doc.save(path("doc.xml"));
    XmlDocument again;
    ASSERT_TRUE(again.load(path("doc.xml")));
    EXPECT_EQ(names(again.selectNodes("BookSet_Categories/Category")),
              QStringList({"B", "A", "C"}));
}

TEST_F(XmlTest, CreatedNodesStayOutOfQueriesAndOutputUntilInserted)
{
    XmlDocument doc = loaded(categories);
    XmlNode created = doc.createElement("Category");
    XmlNode name = doc.createElement("CategoryName");
    name.setText("D");
    created.appendChild(name);
    created.setAttribute("id", "4");

    EXPECT_EQ(doc.getElementsByTagName("Category").length(), 3);
    EXPECT_EQ(doc.selectNodes("//CategoryName").length(), 3);
    EXPECT_EQ(doc.selectNodes("/*").length(), 1);
    EXPECT_EQ(doc.childNodes().length(), 1);
    EXPECT_EQ(doc.text(), "ABC");
    EXPECT_EQ(doc.documentElement().nextSibling(), XmlNode());
    EXPECT_EQ(created.selectSingleNode("CategoryName").text(), "D");
    doc.save(path("doc.xml"));
    EXPECT_FALSE(read("doc.xml").contains("D"));

    doc.documentElement().appendChild(created);
    EXPECT_EQ(names(doc.getElementsByTagName("Category")), QStringList({"A", "B", "C", "D"}));
    doc.save(path("doc.xml"));
    EXPECT_TRUE(
        read("doc.xml").contains("<Category id=\"4\">\n    <CategoryName>D</CategoryName>"));

    // A new document has a single document element and no declaration of its own.
    XmlDocument fresh;
    fresh.appendChild(fresh.createElement("Root"));
    EXPECT_EQ(caught([&] { fresh.appendChild(fresh.createElement("Second")); }).number(),
              rt::InvalidArgument);
    fresh.save(path("new.xml"));
    EXPECT_EQ(read("new.xml"), "<Root />\n");
}

TEST_F(XmlTest, FailedLoadsLeaveAnEmptyDocument)
{
    XmlDocument doc;
    EXPECT_FALSE(doc.load(path("missing.xml")));
    EXPECT_FALSE(doc.parseError().isEmpty());
    EXPECT_FALSE(doc.load(write("empty.xml", "")));
    EXPECT_FALSE(doc.load(write("bad.xml", "<a><b></a>")));
    EXPECT_TRUE(doc.parseError().contains("offset 8")) << doc.parseError().toStdString();
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_EQ(doc.selectNodes("//b").length(), 0);
    EXPECT_EQ(caught([&] { doc.save(path("bad.xml")); }).number(), rt::XmlFailure);
    EXPECT_EQ(read("bad.xml"), "<a><b></a>");
}

TEST_F(XmlTest, UnchangedLoadSaveKeepsEveryNode)
{
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE Book_Master>\n"
                           "<!-- generated -->\n"
                           "<?px-tool version=\"2\"?>\n"
                           "<Book_Master Key=\"k1\">\n"
                           "  <!-- inner -->\n"
                           "  <Heading level=\"H1\">\n"
                           "    <HName>Tom &amp; Jerry</HName>\n"
                           "    <Empty />\n"
                           "  </Heading>\n"
                           "</Book_Master>\n";
    XmlDocument doc = loaded(xml);
    doc.save(path("doc.xml"));
    EXPECT_EQ(read("doc.xml"), xml);

    // Other encodings are written back as they were read.
    const QString text = QStringLiteral("Gr\u00f6\u00dfe \u20ac");
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : QStringLiteral("<a>") + text + QStringLiteral("</a>\n"))
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    doc = loaded(utf16);
    EXPECT_EQ(doc.documentElement().text(), text);
    doc.save(path("doc.xml"));
    EXPECT_EQ(read("doc.xml"), utf16);

    const QByteArray cp1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<a>caf\xE9</a>\n";
    doc = loaded(cp1252);
    doc.save(path("doc.xml"));
    EXPECT_EQ(read("doc.xml"), cp1252);
}

TEST_F(XmlTest, FailedSavesLeaveTheFileWhole)
{
    XmlDocument doc = loaded(categories);
    doc.documentElement().removeChild(doc.documentElement().selectSingleNode("Category"));
    const QString file = path("doc.xml");

    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
    const RuntimeError readOnly = caught([&] { doc.save(file); });
    EXPECT_EQ(readOnly.number(), rt::PermissionDenied);
    EXPECT_TRUE(readOnly.description().contains("doc.xml"));
    EXPECT_EQ(read("doc.xml"), categories);

    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    globalstab::testing::failNextRename();
    EXPECT_NE(caught([&] { doc.save(file); }).number(), 0);
    EXPECT_EQ(read("doc.xml"), categories);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList("doc.xml"));

    doc.save(file);
    EXPECT_NE(read("doc.xml"), categories);
}
