#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pugi {
class xml_node;
struct xml_node_struct;
} // namespace pugi

namespace globalstab {

namespace detail {
struct XmlDocumentState;
}

class XmlNodeList;
class DocumentCache;

// A node of an XmlDocument, in the manner of the classic XML object model: possibly null,
// and a plain handle (two pointers) that is copied freely. A node belongs to its document
// and must not be used once that document is destroyed, assigned to or loads another file.
// Any use of a null node other than isNull() raises run-time error 91, as using a node that
// a query did not find does there.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return !isNull(); }
    bool operator==(const XmlNode& other) const { return m_node == other.m_node; }

    // Element name ("#text", "#comment", "#document" for those kinds).
    QString nodeName() const;
    // nodeName() == name, without making the string.
    bool nodeNameIs(QLatin1StringView name) const;
    bool isElement() const;
    // The text of all descendant text and CDATA nodes, in document order.
    QString text() const;
    // text() as the parser holds it, in UTF-8, for a text node and for an element of one
    // text node or none; nothing for other nodes. Valid until the tree changes: for walks
    // that meet the same texts thousands of times and need not make a string of each.
    std::optional<QByteArrayView> plainText() const;
    // Replaces all children by one text node.
    void setText(const QString& text);

    XmlNodeList childNodes() const;
    // With nextSibling(), a walk over childNodes() that builds no list.
    XmlNode firstChild() const;
    bool hasChildNodes() const;
    XmlNode parentNode() const;
    XmlNode previousSibling() const;
    XmlNode nextSibling() const;

    // Attribute value, empty when missing.
    QString attribute(const QString& name) const;
    // createAttribute + setNamedItem: sets the value, appending the attribute when new.
    void setAttribute(const QString& name, const QString& value);

    // XPath 1.0 relative to this node. An invalid expression raises a run-time error with
    // the parser's description.
    XmlNode selectSingleNode(const QString& xpath) const;
    XmlNodeList selectNodes(const QString& xpath) const;
    // The first child element of that name, or a null node: selectSingleNode(name) for a
    // plain name, without compiling a query.
    XmlNode firstChildElement(const QString& name) const;
    // Every child element of that name, in document order: selectNodes(name) for a plain
    // name, without compiling a query.
    XmlNodeList childElements(const QString& name) const;
    // The next sibling element of that name, or a null node: with firstChildElement(), a walk
    // over childElements(name) that builds no list.
    XmlNode nextSiblingElement(const QString& name) const;
    // The same for an ASCII name, compared in place: walks over thousands of books call these
    // for every book.
    XmlNode firstChildElement(QLatin1StringView name) const;
    XmlNode nextSiblingElement(QLatin1StringView name) const;
    // All descendant elements of that name, in document order.
    XmlNodeList getElementsByTagName(const QString& name) const;

    // Tree changes. A node created by the document, or removed from its parent, may be
    // inserted again; each returns the node inserted or removed.
    XmlNode appendChild(const XmlNode& newChild);
    // appendChild(createElement(name)).setText(text) for each text in turn, without the
    // handles: a category set is filled with thousands of such elements.
    void appendElements(const QString& name, const QStringList& texts);
    XmlNode insertBefore(const XmlNode& newChild, const XmlNode& refChild);
    XmlNode removeChild(const XmlNode& oldChild);

protected:
    XmlNode(detail::XmlDocumentState* doc, const pugi::xml_node& node);
    void requireNode() const;
    pugi::xml_node node() const;

    detail::XmlDocumentState* m_doc = nullptr;
    pugi::xml_node_struct* m_node = nullptr;

    friend class XmlDocument;
};

// A snapshot list of nodes, taken when it was made: later tree changes do not show in it.
// item() outside 0..length()-1 returns a null node. Iterable:
//     for (XmlNode child : node.childNodes()) ...
class XmlNodeList
{
public:
    using const_iterator = std::vector<XmlNode>::const_iterator;

    int length() const { return int(m_nodes.size()); }
    XmlNode item(int index) const
    {
        return index >= 0 && index < length() ? m_nodes[size_t(index)] : XmlNode();
    }

    const_iterator begin() const { return m_nodes.begin(); }
    const_iterator end() const { return m_nodes.end(); }

private:
    std::vector<XmlNode> m_nodes;
    friend class XmlNode;
};

// An XML document. load() never throws; save() replaces the file whole or not at all.
// Loading drops white space that only separates elements and keeps the declaration,
// comments, processing instructions and document type, which save() writes back in the
// encoding the file was read in, indented by the unit the file used. A new document is
// saved as UTF-8 with a declaration, indented by four blanks.
//
// The document owns its tree: it moves but does not copy, and its nodes stay valid across a
// move. A moved-from document is only loaded again, assigned to or destroyed.
class XmlDocument : public XmlNode
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // False for a missing, unreadable or malformed file, and for one whose elements nest
    // more than 2,000 levels deep; the document is then empty.
    // Nodes taken from the document before are no longer valid.
    bool load(const QString& path);
    // Raises a run-time error (70 for a read-only target) and leaves the file untouched.
    void save(const QString& path) const;
    // Description of the last load failure.
    QString parseError() const;

    XmlNode documentElement() const;
    // createNode for an element: a new element not yet in the tree.
    XmlNode createElement(const QString& name);

    // Saves as other is saved: its declaration, encoding, byte-order mark and indentation.
    // For a document that replaces another one written by someone else.
    void adoptFormat(const XmlDocument& other);

    // What a document class derives from the tree (an index), kept with the tree for as long
    // as the tree is unchanged; null once it changed or when nothing was kept under key.
    std::shared_ptr<const void> derived(int key) const;
    void keepDerived(int key, std::shared_ptr<const void> data) const;

private:
    detail::XmlDocumentState& state();
    bool loadFile(const QString& native);

    // Shared with a DocumentCache, which hands the same tree to every load of the file.
    std::shared_ptr<detail::XmlDocumentState> m_state;
    friend class DocumentCache;
};

// Keeps the documents of one action of the calling thread parsed and holds their saves back
// while it lives: every load of a file it holds gets the same tree, and a save only marks
// the tree to be written. At the end, or whenever the file-system layer is about to look at
// a waiting file, each waiting document is written once, in the order first saved. A
// document that is loaded and changed must be saved, or the change stays unsaved in the
// tree that later loads share; every document class saves what it changes.
//
// Use it only where nothing but this library reads the files meanwhile (a host's own
// services would not see the waiting saves). Scopes nest; an inner one joins the outer.
class DocumentCache
{
public:
    DocumentCache();
    // Writes out what waits, unless an exception is unwinding: then it is dropped. A failure
    // to write raises nothing here: call writeOut() first to learn of it.
    ~DocumentCache();
    DocumentCache(const DocumentCache&) = delete;
    DocumentCache& operator=(const DocumentCache&) = delete;

    // Writes every waiting document; raises the first error after trying them all.
    void writeOut();
    // Drops what waits and what is kept of the calling thread's action, if any.
    static void discardActive();
    // Between actions the thread keeps the trees of large documents an action read and left
    // unchanged, for the next action to take when the file still holds the same bytes; this
    // drops them, for a user of the documents that goes away.
    static void dropKeptTrees();
    // What inspect() made of one file.
    enum class Inspected : char
    {
        Left, // not read here: for a load to come to it, which reports what is wrong
        Yes,  // read and parsed, and test answered true
        No,   // read and parsed, and test answered false
    };
    // Reads the files on every core and asks test of each tree, on the thread that read it;
    // the trees are dropped then, so that thousands of files keep memory flat. A file is left
    // when the calling thread's action holds it or waits to save it (the disk is behind
    // then), when it is not there as spelt (a name in another letter case is resolved by a
    // load), and when it cannot be read or parsed, or test raises. test runs on several
    // threads at once: it may read the document it is given and nothing shared.
    static std::vector<Inspected> inspect(const QStringList& paths,
                                          const std::function<bool(const XmlDocument&)>& test);

    struct Private;

private:
    std::unique_ptr<Private> d;
    int m_uncaught = 0;
};

} // namespace globalstab
