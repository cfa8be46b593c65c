// XML documents: load, walk, query, change, save and load again. An input that starts with
// "DEEP" and two bytes of depth is wrapped in that many elements, to probe the depth limit.

#include "FuzzSupport.h"

#include "platform/RuntimeError.h"
#include "platform/XmlDocument.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

using namespace globalstab;
using fuzz::visible;

namespace {

constexpr int MaxDepth = 2000; // the deepest nesting XmlDocument loads
constexpr int DeepestSaved = 200;
const QString ChangedText = QStringLiteral("Changed \u00e9 & <key> \"]]>\"");
const QString AddedName = QStringLiteral("Fuzz_Added");
const QString AddedText = QStringLiteral("added");

// The expressions the documents of a project are queried with.
const QStringList Queries = {
    QStringLiteral("//Book/Book_Key"),
    QStringLiteral("PX_Master/PX/PX_Platform"),
    QStringLiteral("PX_Master/PX_Books/Book"),
    QStringLiteral("Book_Master/Book_Headings/Heading[@level='H1']"),
    QStringLiteral("BookSet_Categories/Category[CategoryName = 'Tutorials']/BookAcro"),
    QStringLiteral("//PX/PX_Name"),
    QStringLiteral("PX_Selection_List/PXs/PX"),
};

struct Entry
{
    int depth;
    QString name;
    QString text; // the text of a run of text and CDATA nodes
    bool operator==(const Entry&) const = default;
};

// The document in order. Adjacent text and CDATA nodes form one entry and blank runs none,
// line breaks counted as line feeds: a save may split a CDATA section that holds "]]>", and
// a load drops blank text and turns carriage returns into line feeds, so those are not
// what a round trip has to keep.
struct Shape
{
    QList<Entry> entries;
    int elements = 0;
    int deepestElement = 0;
    QString text; // every text and CDATA node in order
};

bool isText(const QString& name)
{
    return name == QLatin1String("#text") || name == QLatin1String("#cdata-section");
}

void addEntry(Shape& shape, int depth, const QString& name, const QString& text)
{
    const bool textual = isText(name);
    if (textual && !shape.entries.isEmpty() && shape.entries.last().name == u"#text" &&
        shape.entries.last().depth == depth) {
        shape.entries.last().text += text;
        return;
    }
    shape.entries.append(
        Entry{depth, textual ? QStringLiteral("#text") : name, textual ? text : ""});
}

Shape shapeOf(const XmlDocument& doc)
{
    const XmlNode root = doc;
    // Elements are told from processing instructions and document types by this list, which
    // must be in document order; the XPath query must find the same.
    const XmlNodeList elements = root.getElementsByTagName(QStringLiteral("*"));
    const XmlNodeList selected = root.selectNodes(QStringLiteral("//*"));
    FUZZ_CHECK(selected.length() == elements.length(), "//* and getElementsByTagName differ",
               QStringLiteral("%1 and %2").arg(selected.length()).arg(elements.length()));
    for (int i = 0; i < elements.length(); ++i)
        FUZZ_CHECK(selected.item(i) == elements.item(i), "//* is not in document order");

    Shape shape;
    XmlNode node = root.childNodes().item(0);
    FUZZ_CHECK(root.hasChildNodes() == !node.isNull(), "hasChildNodes disagrees with childNodes");
    int depth = 1;
    // Without recursion, by the sibling and parent links, which this checks on the way.
    while (!node.isNull()) {
        const QString name = node.nodeName();
        const XmlNodeList children = node.childNodes();
        FUZZ_CHECK(node.hasChildNodes() == (children.length() > 0),
                   "hasChildNodes disagrees with childNodes");
        const bool isElement =
            shape.elements < elements.length() && node == elements.item(shape.elements);
        if (isElement) {
            ++shape.elements;
            shape.deepestElement = std::max(shape.deepestElement, depth);
            FUZZ_CHECK(!name.isEmpty(), "an element without a name");
        } else {
            FUZZ_CHECK(children.length() == 0, "a node other than an element has children",
                       visible(name));
        }
        // An element's text is that of all its descendants: asked of every element of a deep
        // document, it would cost the square of the depth. The document's is checked below.
        const QString text = isElement ? QString() : node.text();
        if (isText(name))
            shape.text += text;
        addEntry(shape, depth, name, text);
        for (const XmlNode& child : children)
            FUZZ_CHECK(child.parentNode() == node, "a child does not lead back to its parent");
        if (children.length() > 0) {
            node = children.item(0);
            ++depth;
            continue;
        }
        for (;;) {
            const XmlNode next = node.nextSibling();
            if (!next.isNull()) {
                FUZZ_CHECK(next.previousSibling() == node, "siblings do not lead back");
                node = next;
                break;
            }
            node = node.parentNode();
            --depth;
            FUZZ_CHECK(!node.isNull(), "a node below the document has no parent");
            if (node == root) {
                node = XmlNode();
                break;
            }
        }
    }
    FUZZ_CHECK(shape.elements == elements.length(), "the walk missed elements",
               QStringLiteral("%1 of %2").arg(shape.elements).arg(elements.length()));
    // Bytes that are not UTF-8 are kept as they are, and a sequence split across text nodes
    // reads otherwise in one piece: the texts then only compare when valid.
    const bool valid = !shape.text.contains(QChar::ReplacementCharacter);
    FUZZ_CHECK(!valid || root.text() == shape.text,
               "the text of the document is not its text nodes",
               visible(root.text()) + QStringLiteral(" / ") + visible(shape.text));
    return shape;
}

bool isBlank(const QString& text)
{
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            return false;
    return true;
}

QList<Entry> withoutBlankText(const QList<Entry>& entries)
{
    QList<Entry> kept;
    for (const Entry& entry : entries)
        if (fuzz::strict() || entry.name != u"#text" || !isBlank(entry.text))
            kept.append(entry);
    return kept;
}

QString describe(const QList<Entry>& entries)
{
    QStringList lines;
    for (const Entry& entry : entries)
        lines.append(QStringLiteral("%1 %2 %3")
                         .arg(entry.depth)
                         .arg(visible(entry.name), visible(entry.text)));
    return lines.join(QLatin1Char('\n'));
}

// The name the last step of an expression selects.
QString lastStepName(const QString& xpath)
{
    const QString step = xpath.section(QLatin1Char('/'), -1);
    return step.section(QLatin1Char('['), 0, 0);
}

void checkQueries(const XmlDocument& doc)
{
    for (const QString& query : Queries) {
        const XmlNodeList found = doc.selectNodes(query);
        FUZZ_CHECK(doc.selectSingleNode(query) == found.item(0),
                   "selectSingleNode is not the first of selectNodes");
        for (const XmlNode& node : found)
            FUZZ_CHECK(node.nodeName() == lastStepName(query), "a query found another name",
                       query + QStringLiteral(": ") + visible(node.nodeName()));
    }
    for (const XmlNode& key : doc.selectNodes(QStringLiteral("//Book/Book_Key")))
        FUZZ_CHECK(key.parentNode().nodeName() == u"Book", "a Book_Key outside a Book");
    FUZZ_CHECK(doc.selectNodes(QStringLiteral("//Book_Key")).length() ==
                   doc.getElementsByTagName(QStringLiteral("Book_Key")).length(),
               "//Book_Key and getElementsByTagName differ");

    // A broken expression is a run-time error, never a crash.
    try {
        doc.selectNodes(QStringLiteral("//Book["));
        fuzz::fail("a broken expression was evaluated");
    } catch (const RuntimeError& error) {
        FUZZ_CHECK(error.number() == rt::XmlFailure, "a broken expression raised another error");
    }
    // One made of the document's own name, as the category lookups build theirs: either it
    // finds the document element or it is refused as an expression. A name whose bytes are
    // not UTF-8 (a file read as UTF-8 that is not, without a Windows-1252 declaration) reads
    // with replacement characters and cannot be asked for by that reading: left out.
    const XmlNode element = doc.documentElement();
    if (element.nodeName().contains(QChar::ReplacementCharacter))
        return;
    try {
        const XmlNodeList found = doc.selectNodes(QStringLiteral("/") + element.nodeName());
        // The parser takes more than one element at the top; the first is the document element.
        FUZZ_CHECK(found.item(0) == element, "the document element is not found by its name",
                   visible(element.nodeName()));
    } catch (const RuntimeError& error) {
        FUZZ_CHECK(error.number() == rt::XmlFailure, "an expression raised another error");
    }
}

int indexOf(const XmlNodeList& list, const XmlNode& node)
{
    for (int i = 0; i < list.length(); ++i)
        if (list.item(i) == node)
            return i;
    return -1;
}

QByteArray nested(int depth, const QByteArray& inner)
{
    return QByteArray("<d>").repeated(depth) + inner + QByteArray("</d>").repeated(depth);
}

QString inputPath()
{
    return fuzz::scratchFolder() + QStringLiteral("/in.xml");
}

QString outputPath()
{
    return fuzz::scratchFolder() + QStringLiteral("/out.xml");
}

// True when the input starts with its declaration, after a byte-order mark, in one of the
// forms the parser tells an encoding by.
bool startsWithDeclaration(QByteArrayView input)
{
    for (const QByteArrayView mark :
         {QByteArrayView("\xEF\xBB\xBF"), QByteArrayView("\xFF\xFE"), QByteArrayView("\xFE\xFF")})
        if (input.startsWith(mark)) {
            input = input.sliced(mark.size());
            break;
        }
    return input.startsWith("<?xml") || input.startsWith(QByteArrayView("<\0?\0x\0m\0l\0", 10)) ||
           input.startsWith(QByteArrayView("\0<\0?\0x\0m\0l", 10));
}

// A declaration naming an encoding that does not open the file is written at the top by a
// save, where the next load reads the file by it: a known finding (see fuzz/crashes), left
// out here so that the round trip can find others.
bool declarationMoves(const XmlDocument& doc, const QByteArray& input)
{
    for (const XmlNode& node : doc.childNodes())
        if (node.nodeName() == u"xml" && !node.attribute(QStringLiteral("encoding")).isEmpty())
            return !startsWithDeclaration(input);
    return false;
}

// Loads, walks, changes one element's text, adds one element, saves and loads again: the
// second load must give the changed document. Without saves it only loads and walks.
void roundTrip(const QByteArray& input, std::optional<bool> mustLoad, bool saves = true)
{
    fuzz::writeFile(inputPath(), input);
    QFile::remove(outputPath());
    XmlDocument doc;
    const bool loaded = doc.load(inputPath());
    if (mustLoad)
        FUZZ_CHECK(loaded == *mustLoad,
                   loaded ? "a document too deep was loaded" : "a plain document was refused",
                   doc.parseError());
    if (!loaded) {
        FUZZ_CHECK(!doc.parseError().isEmpty(), "a failed load without a description");
        FUZZ_CHECK(doc.documentElement().isNull(), "a failed load left a document element");
        try {
            doc.save(outputPath());
            fuzz::fail("a document that did not load was saved");
        } catch (const RuntimeError& error) {
            FUZZ_CHECK(error.number() == rt::XmlFailure,
                       "saving an empty document raised another error");
        }
        FUZZ_CHECK(!QFile::exists(outputPath()), "saving an empty document wrote a file");
        return;
    }
    const Shape shape = shapeOf(doc);
    FUZZ_CHECK(shape.deepestElement <= MaxDepth, "a document nesting too deep was loaded",
               QString::number(shape.deepestElement));
    XmlNode documentElement = doc.documentElement();
    FUZZ_CHECK(!documentElement.isNull(), "a loaded document without a document element");
    checkQueries(doc);
    if (!saves)
        return;

    const XmlNodeList elements = doc.getElementsByTagName(QStringLiteral("*"));
    XmlNode target = doc.selectSingleNode(QStringLiteral("//Book/Book_Key"));
    if (target.isNull())
        target = elements.item(elements.length() - 1);
    target.setText(ChangedText);
    FUZZ_CHECK(target.text() == ChangedText, "a changed text does not read back");
    const bool adds = !(target == documentElement);
    if (adds) {
        XmlNode added = doc.createElement(AddedName);
        added.setText(AddedText);
        FUZZ_CHECK(added.parentNode().isNull(), "a new element has a parent");
        documentElement.appendChild(added);
        FUZZ_CHECK(added.parentNode() == documentElement, "an appended element is elsewhere");
    }
    const Shape changed = shapeOf(doc);
    // Taken after the addition, which may come before it when the parser found more than one
    // element at the top.
    const int targetIndex = indexOf(doc.getElementsByTagName(QStringLiteral("*")), target);
    FUZZ_CHECK(targetIndex >= 0, "the changed element is not listed");

    try {
        doc.save(outputPath());
    } catch (const RuntimeError& error) {
        fuzz::fail("a loaded document could not be saved", error.description());
    }
    XmlDocument again;
    const bool loadedAgain = again.load(outputPath());
    FUZZ_CHECK(loadedAgain, "a saved document does not load",
               again.parseError() + QLatin1Char('\n') + visible(fuzz::readFile(outputPath()), 400));
    const Shape reloaded = shapeOf(again);
    if (!fuzz::strict() && declarationMoves(doc, input))
        return;
    const QList<Entry> expected = withoutBlankText(changed.entries);
    const QList<Entry> actual = withoutBlankText(reloaded.entries);
    FUZZ_CHECK(expected == actual, "a saved document loads as another one",
               describe(expected) + QStringLiteral("\n--- loads as ---\n") + describe(actual));

    const XmlNodeList elementsAgain = again.getElementsByTagName(QStringLiteral("*"));
    FUZZ_CHECK(elementsAgain.item(targetIndex).text() == ChangedText,
               "the changed text does not read back after a save",
               visible(elementsAgain.item(targetIndex).text()));
    if (adds) {
        const XmlNodeList added = again.documentElement().selectNodes(AddedName);
        FUZZ_CHECK(added.length() > 0 && added.item(added.length() - 1).text() == AddedText,
                   "the added element does not read back after a save");
    }
}

// Letters and digits only: text that makes a well-formed element of any wrapping.
bool isPlain(const QByteArray& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

} // namespace

// The depth limit at its edge and far beyond it, once.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    roundTrip(nested(MaxDepth, "x"), true);
    roundTrip(nested(MaxDepth + 1, "x"), false);
    roundTrip(nested(200000, "x"), false);
    roundTrip(nested(200000, ""), false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(bytes), qsizetype(size));
    if (input.startsWith("DEEP") && input.size() >= 6) {
        const int depth = (uchar(input[4]) << 8) | uchar(input[5]);
        const QByteArray inner = input.mid(6);
        // Whatever the inner part holds, the wrapping alone nests that deep.
        std::optional<bool> mustLoad;
        if (depth > MaxDepth)
            mustLoad = false;
        else if (isPlain(inner))
            mustLoad = depth >= 1;
        // Indentation makes a save grow with the square of the depth: deep documents are
        // saved once, at start-up.
        roundTrip(nested(depth, inner), mustLoad, depth <= DeepestSaved);
        return 0;
    }
    roundTrip(input, std::nullopt);
    return 0;
}
