#include "tests/platform/XmlFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>
#include <vector>

using namespace globalstab;
using namespace globalstab::test;

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
