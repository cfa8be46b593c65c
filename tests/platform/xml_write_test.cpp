#include "tests/platform/XmlFixture.h"
#include "tests/support/SaveFaults.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

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
