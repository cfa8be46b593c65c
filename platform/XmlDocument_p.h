#pragma once

// What the parts of XmlDocument share: the state behind a document, the helpers every part
// reads the tree with, and what each part offers the others. Internal to the library.

#include "platform/XmlDocument.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include <fcntl.h>

#include <pugixml.hpp>

// The tree is kept by pugixml, which cannot hold a node outside its document. Nodes that the
// object model treats as detached (created and not yet inserted, or removed) are therefore
// parked below one hidden element under the document node. Every way of looking at the
// document (navigation, queries, text, save) leaves that element and its subtree out, and a
// node whose parent is the parking element has no parent and no siblings.

namespace globalstab {

namespace detail {
struct XmlDocumentState
{
    pugi::xml_document document;
    pugi::xml_node parking; // created on first need
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    bool byteOrderMark = false;
    bool loaded = false;
    std::string indent = "    ";
    bool raw = false;            // elements nested on one line
    bool declarationLine = true; // raw: a line break after the declaration
    bool finalLine = true;       // raw: a line break at the end
    bool crlf = false;           // lines end with CR LF
    QStringList entities;        // references to entities other than the five of XML
    // How the file wrote elements without content: "<a />", "<a/>" or "<a></a>".
    enum class EmptyForm
    {
        SpacedSlash,
        Slash,
        Pair
    } emptyForm = EmptyForm::SpacedSlash;
    QString parseError;
    // The file as read. Once its layout is learnt from it, kept only while the tree is as
    // read: the next action may take that tree while the file holds these bytes.
    QByteArray source;
    bool formatLearnt = false;
    quint64 generation = 0; // counts the changes of the tree
    // What document classes derived from the tree, with the generation it was derived from.
    QHash<int, std::pair<quint64, std::shared_ptr<const void>>> derived;

    pugi::xml_node parkingElement()
    {
        if (!parking)
            parking = document.append_child("globalstab-detached-nodes");
        return parking;
    }

    // True for the parking element and everything below it.
    bool hidden(pugi::xml_node node) const
    {
        if (!parking)
            return false;
        for (; node; node = node.parent())
            if (node == parking)
                return true;
        return false;
    }
};
} // namespace detail

namespace xml {

using detail::XmlDocumentState;

inline std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

// A text as the parser's UTF-8, on the stack when short and ASCII: a rebuild converts
// element names and values by the thousand.
class Utf8
{
public:
    explicit Utf8(QStringView text)
    {
        if (text.size() < qsizetype(sizeof(m_small)) &&
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
            char* out = m_small;
            for (const QChar c : text)
                *out++ = char(c.unicode());
            *out = '\0';
            m_data = m_small;
        } else {
            m_large = text.toUtf8();
            m_data = m_large.constData();
        }
    }
    Utf8(const Utf8&) = delete;
    Utf8& operator=(const Utf8&) = delete;

    const char* c_str() const { return m_data; }

private:
    char m_small[64];
    QByteArray m_large;
    const char* m_data = nullptr;
};

inline QString fromUtf8(const pugi::char_t* text)
{
    // Nearly every text is ASCII, which needs no decoder.
    const char* end = text;
    while (*end && uchar(*end) < 0x80)
        ++end;
    if (!*end)
        return QString::fromLatin1(text, end - text);
    // A text may start with U+FEFF ("&#xFEFF;"): it is a character here, not a byte-order
    // mark to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(text));
}

[[noreturn]] void invalidArgument(const QString& detail);

// A name as the parser holds it compared with an ASCII one, in place.
inline bool hasName(const char* own, QLatin1StringView name)
{
    return std::strncmp(own, name.data(), size_t(name.size())) == 0 && own[name.size()] == '\0';
}

inline bool isText(const pugi::xml_node& node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// Visits the nodes below root in document order with their depth below it (1 for a child),
// leaving out the parking element. Returning true from visit descends into the node. The
// parser's own walk steps through its nodes directly, with one call of ours per node, and
// without recursion, so that no depth of a document exhausts the stack; a subtree not
// descended into is passed over at the cost of a depth check per node.
template <typename Visit>
void forEachBelow(const pugi::xml_node& root, const XmlDocumentState& state, const Visit& visit)
{
    class Walker final : public pugi::xml_tree_walker
    {
    public:
        Walker(const Visit& visit, pugi::xml_node parking)
            : m_visit(visit), m_parking(parking), m_parks(parking)
        {
        }

        bool for_each(pugi::xml_node& node) override
        {
            const int below = depth() + 1;
            if (m_skipBelow > 0) {
                if (below > m_skipBelow)
                    return true;
                m_skipBelow = 0;
            }
            if ((m_parks && node == m_parking) || !m_visit(node, below))
                m_skipBelow = below;
            return true;
        }

    private:
        const Visit& m_visit;
        pugi::xml_node m_parking; // null unless root holds it
        bool m_parks;             // a test of a member, not a call into the parser per node
        int m_skipBelow = 0;      // the depth whose subtrees are passed over; 0 for none
    };
    Walker walker(visit, root == state.document ? state.parking : pugi::xml_node());
    pugi::xml_node(root).traverse(walker);
}

// The document element, the parking element aside; null when there is none.
pugi::xml_node documentElementOf(const XmlDocumentState& state);
// Not a blank and none of <>&"'/=!? (nor a digit, "." or "-" first). Checked by hand: a
// rebuild creates thousands of elements.
bool isValidName(const QString& name);

// Learns how the file the document was read from lays itself out, for the save
// (XmlLayout.cpp).
void learnFormat(XmlDocumentState& doc);
// Puts back in what pugixml wrote what it writes otherwise than the file did (XmlLayout.cpp):
// references to the file's own entities and carriage returns, and empty elements closed
// without a blank.
void restoreReferences(QByteArray& bytes, pugi::xml_encoding encoding, const QStringList& entities);
void closeWithoutSpace(QByteArray& bytes, pugi::xml_encoding encoding);

// The bytes a save writes (XmlOutput.cpp).
QByteArray serialized(XmlDocumentState& state);

// Reads and parses one file into an empty state (XmlLoad.cpp). Touches nothing of the
// calling thread's action, so that an inspection may run it on any thread. With a folder, the
// file is opened below it by the name after its first folderBytes bytes.
bool readDocument(const QString& native, XmlDocumentState& doc, int folder = AT_FDCWD,
                  qsizetype folderBytes = 0);

// What a load and a save meet in the calling thread's DocumentCache (DocumentCache.cpp).
struct HeldTree
{
    bool deleted = false; // a deletion of the file waits
    std::shared_ptr<XmlDocumentState> tree;
};
// What the action holds of the file; nothing when the thread has no cache.
HeldTree heldTree(const QString& native);
// Keeps a tree just loaded for the action's next loads of the file, if the thread has a cache.
void keepLoaded(const QString& native, const std::shared_ptr<XmlDocumentState>& state);
// Holds a save back until the action writes it out; false when the thread has no cache.
bool holdSave(const QString& native, const std::shared_ptr<XmlDocumentState>& state);
// The tree an earlier action parsed from the file and left unchanged, if one is kept.
std::shared_ptr<XmlDocumentState> takeParsedTree(const QString& native);

} // namespace xml
} // namespace globalstab
