#include "bench/DataGenerator.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <random>

namespace globalstab::bench {

namespace {

// Defaults of install type 0, as the samples' PX_DefaultCategories.xml gives them.
const QStringList DefaultNames = {QStringLiteral("Getting Started"), QStringLiteral("Tutorials"),
                                  QStringLiteral("Other Category")};

// Pages 0 and 1 of every four in UTF-16LE with a byte-order mark, 2 in UTF-8, 3 in
// Windows-1252.
const char* charsetOf(int page)
{
    return page % 4 == 2 ? "utf-8" : page % 4 == 3 ? "windows-1252" : "utf-16";
}

QByteArray encode(const QString& text, int page)
{
    if (page % 4 == 2)
        return text.toUtf8();
    if (page % 4 == 3) {
        // Latin-1 where the two agree; the en dash is the one character of the text above it.
        QByteArray bytes = text.toLatin1();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QChar(0x2013))
                bytes[i] = char(0x96);
        }
        return bytes;
    }
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QString number(int value)
{
    return QStringLiteral("%1").arg(value, 4, 10, QLatin1Char('0'));
}

struct Book
{
    QString name, acro, folder, file;
    QStringList categories;
    QStringList pages; // relative to the book's folder, "\"-separated as the documents keep them
};

QString pageText(const QString& title, const QString& projectName, const char* charset,
                 std::mt19937& random)
{
    static const char* const words[] = {"install", "server",  "client", "option", "setting",
                                        "report",  "publish", "editor", "page",   "folder"};
    QString text = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv=\"Content-"
                                  "Type\" content=\"text/html; charset=%1\">\n<title>%2</title>\n"
                                  "</head>\n<body>\n<h1>%2 of **%3**</h1>\n")
                       .arg(QLatin1String(charset), title, projectName);
    for (int paragraph = 0; paragraph < 8; ++paragraph) {
        text += QStringLiteral("<p>");
        for (int word = 0; word < 30; ++word)
            text += QLatin1String(words[random() % std::size(words)]) + QLatin1Char(' ');
        text += QStringLiteral("</p>\n");
    }
    text += QStringLiteral("<p>Résumé of **%1** \u2013 Größe 12 pt.</p>\n</body>\n</html>\n")
                .arg(projectName);
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString xmlHeader()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

QString element(int indent, const QString& name, const QString& text)
{
    return QString(indent * 4, QLatin1Char(' ')) +
           QStringLiteral("<%1>%2</%1>\n").arg(name, text.toHtmlEscaped());
}

QString selectionList(const QString& projectName)
{
    return xmlHeader() +
           QStringLiteral(
               "<PX_Selection_List>\n    <PXs>\n        <PX>\n            <PX_Acro>SP1</PX_Acro>\n"
               "            <PX_Name AddDate=\"01/02/2024\" Pro=\"No\" Enable=\"Yes\" Rank=\"10\">"
               "%1</PX_Name>\n            <PX_Location>Docs\\%1\\</PX_Location>\n"
               "        </PX>\n    </PXs>\n</PX_Selection_List>\n")
               .arg(projectName);
}

QString defaultCategories()
{
    return xmlHeader() +
           QStringLiteral("<DefaultCategories>\n    <AllInstallTypes>\n"
                          "        <Category>Getting Started</Category>\n"
                          "    </AllInstallTypes>\n    <InstallType value=\"0\">\n"
                          "        <Category>Tutorials</Category>\n    </InstallType>\n"
                          "    <InstallType value=\"1000\">\n"
                          "        <Category>Administration</Category>\n    </InstallType>\n"
                          "    <AllInstallTypes>\n        <Category>Other Category</Category>\n"
                          "    </AllInstallTypes>\n</DefaultCategories>\n");
}

QString tableOfContents(const QString& projectName, const QStringList& categories,
                        const QList<Book>& books)
{
    const qsizetype space = projectName.lastIndexOf(QLatin1Char(' '));
    QString xml = xmlHeader() + QStringLiteral("<PX_Master>\n    <PX>\n") +
                  element(2, QStringLiteral("PX_Platform"), projectName.left(space + 1)) +
                  element(2, QStringLiteral("PX_Variation"), projectName.mid(space + 1)) +
                  element(2, QStringLiteral("PX_ID"), QStringLiteral("SP1")) +
                  QStringLiteral("        <PX_Categories>\n");
    for (const QString& name : categories)
        xml += element(3, QStringLiteral("PX_Category"), name);
    xml += QStringLiteral("        </PX_Categories>\n    </PX>\n    <PX_Books>\n");
    for (const Book& book : books) {
        xml += QStringLiteral("        <Book>\n") +
               element(3, QStringLiteral("Book_Name"), book.name) +
               element(3, QStringLiteral("Book_Acro"), book.acro) +
               element(3, QStringLiteral("Book_Folder"), book.folder) +
               element(3, QStringLiteral("Book_File"), book.file) +
               element(3, QStringLiteral("Book_Key"), projectName) +
               QStringLiteral("            <Book_Categories>\n");
        for (const QString& name : book.categories)
            xml += element(4, QStringLiteral("Book_Category"), name);
        xml += QStringLiteral("            </Book_Categories>\n        </Book>\n");
    }
    return xml + QStringLiteral("    </PX_Books>\n</PX_Master>\n");
}

// As the panel's rebuild for install type 0 leaves it: the defaults first, then the rest.
QString categorySet(const QStringList& categories, const QList<Book>& books)
{
    QString xml = xmlHeader() + QStringLiteral("<BookSet_Categories>\n");
    for (const QString& name : DefaultNames + categories) {
        xml +=
            QStringLiteral("    <Category>\n") + element(2, QStringLiteral("CategoryName"), name);
        for (const Book& book : books) {
            const bool other = name == DefaultNames.last() && book.categories.isEmpty();
            if (other || book.categories.contains(name))
                xml += element(2, QStringLiteral("BookAcro"), book.acro);
        }
        xml += QStringLiteral("    </Category>\n");
    }
    return xml + QStringLiteral("</BookSet_Categories>\n");
}

QString bookDocument(const QString& projectName, const Book& book)
{
    QString xml = xmlHeader() + QStringLiteral("<Book_Master>\n    <Book>\n") +
                  element(2, QStringLiteral("Book_Name"), book.name) +
                  element(2, QStringLiteral("Book_Acro"), book.acro) +
                  element(2, QStringLiteral("Book_Key"), projectName) +
                  element(2, QStringLiteral("Book_Path"), projectName + u'\\' + book.folder) +
                  QStringLiteral("        <BookSet_Categories>\n");
    for (const QString& name : book.categories)
        xml += element(3, QStringLiteral("BookSet_Category"), name);
    xml += QStringLiteral("        </BookSet_Categories>\n    </Book>\n    <Book_Headings>\n");
    for (const QString& page : book.pages)
        xml += QStringLiteral("        <Heading level=\"H1\">\n") +
               element(3, QStringLiteral("HName"), page.section(u'\\', -1).chopped(4)) +
               element(3, QStringLiteral("HFile"), page) + QStringLiteral("        </Heading>\n");
    return xml + QStringLiteral("    </Book_Headings>\n</Book_Master>\n");
}

} // namespace

QString categoryName(int i)
{
    return QStringLiteral("Category ") + number(i + 1);
}

bool generateDataRoot(const QString& root, const DataShape& shape)
{
    std::mt19937 random(shape.seed);
    const QString docs = root + QStringLiteral("/Docs/");
    const QString project = docs + shape.projectName + QLatin1Char('/');
    if (!QDir().mkpath(project))
        return false;

    QStringList categories;
    for (int i = 0; i < shape.categories; ++i)
        categories << categoryName(i);

    QList<Book> books;
    for (int i = 0; i < shape.books; ++i) {
        Book book{QStringLiteral("Book ") + number(i + 1),
                  QStringLiteral("B") + number(i + 1),
                  QStringLiteral("Book ") + number(i + 1),
                  QStringLiteral("B") + number(i + 1) + QStringLiteral("_Book.XML"),
                  {},
                  {}};
        // Two to four categories, so that every category holds books in proportion.
        const int wanted = i % 50 == 49 ? 0 : std::min(2 + int(random() % 3), shape.categories);
        while (book.categories.size() < wanted) {
            const QString name = categories.at(int(random() % shape.categories));
            if (!book.categories.contains(name))
                book.categories << name;
        }
        books << book;
    }

    // Pages go round the books, one or two folders deep in each.
    for (int i = 0; i < shape.pages && !books.isEmpty(); ++i) {
        Book& book = books[i % books.size()];
        const int round = i / int(books.size());
        QString folder = QStringLiteral("Chapter %1").arg(round / 10 % 5 + 1);
        if (round % 2)
            folder += QStringLiteral("\\Section %1").arg(round % 3 + 1);
        const QString page =
            folder + QStringLiteral("\\Page ") + number(i + 1) + QStringLiteral(".htm");
        book.pages << page;
        const QString path = project + book.folder + u'/' + QString(page).replace(u'\\', u'/');
        const QString text = pageText(QStringLiteral("Page ") + number(i + 1), shape.projectName,
                                      charsetOf(i), random);
        if (!QDir().mkpath(path.section(u'/', 0, -2)) || !writeFile(path, encode(text, i)))
            return false;
    }

    bool written = writeFile(docs + QStringLiteral("PX_Selection.xml"),
                             selectionList(shape.projectName).toUtf8()) &&
                   writeFile(docs + QStringLiteral("PX_DefaultCategories.xml"),
                             defaultCategories().toUtf8()) &&
                   writeFile(project + QStringLiteral("PX_TOC.xml"),
                             tableOfContents(shape.projectName, categories, books).toUtf8()) &&
                   writeFile(project + QStringLiteral("PX_BookCategories.xml"),
                             categorySet(categories, books).toUtf8());
    for (const Book& book : books) {
        written = written && QDir().mkpath(project + book.folder) &&
                  writeFile(project + book.folder + u'/' + book.file,
                            bookDocument(shape.projectName, book).toUtf8());
    }
    return written;
}

} // namespace globalstab::bench
