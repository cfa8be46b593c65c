#include "platform/TextCodec.h"
#include "tests/platform/XmlFixture.h"

#include <gtest/gtest.h>

using namespace globalstab;
using namespace globalstab::test;

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
