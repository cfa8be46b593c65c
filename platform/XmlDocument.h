#pragma once

#include <QString>

#include <memory>

namespace pugi {
class xml_node;
}

namespace globalstab {

namespace detail {
struct XmlDocumentState;
}

class XmlNodeList;

// A node of an XmlDocument, in the manner of the classic XML object model: cheap to copy,
// possibly null. Any use of a null node other than isNull() raises run-time error 91, as
// using a node that a query did not find does there.
class XmlNode
{
public:
    XmlNode();
    ~XmlNode();
    XmlNode(const XmlNode&);
    XmlNode& operator=(const XmlNode&);

    bool isNull() const;
    explicit operator bool() const { return !isNull(); }
    bool operator==(const XmlNode& other) const;

    // Element name ("#text", "#comment", "#document" for those kinds).
    QString nodeName() const;
    // The text of all descendant text and CDATA nodes, in document order.
    QString text() const;
    // Replaces all children by one text node.
    void setText(const QString& text);

    XmlNodeList childNodes() const;
    bool hasChildNodes() const;
    XmlNode parentNode() const;
    XmlNode previousSibling() const;
    XmlNode nextSibling() const;

    // Attribute value, empty when missing.
    QString attribute(const QString& name) const;
    bool hasAttribute(const QString& name) const;
    // createAttribute + setNamedItem: sets the value, appending the attribute when new.
    void setAttribute(const QString& name, const QString& value);

    // XPath 1.0 relative to this node. An invalid expression raises a run-time error with
    // the parser's description.
    XmlNode selectSingleNode(const QString& xpath) const;
    XmlNodeList selectNodes(const QString& xpath) const;
    // All descendant elements of that name, in document order.
    XmlNodeList getElementsByTagName(const QString& name) const;

    // Tree changes. A node created by the document, or removed from its parent, may be
    // inserted again; each returns the node inserted or removed.
    XmlNode appendChild(const XmlNode& newChild);
    XmlNode insertBefore(const XmlNode& newChild, const XmlNode& refChild);
    XmlNode removeChild(const XmlNode& oldChild);

protected:
    XmlNode(std::shared_ptr<detail::XmlDocumentState> doc, const pugi::xml_node& node);
    void requireNode() const;

    std::shared_ptr<detail::XmlDocumentState> m_doc;
    std::unique_ptr<pugi::xml_node> m_node;

    friend class XmlNodeList;
    friend class XmlDocument;
};

// A snapshot list of nodes; item() outside 0..length()-1 returns a null node.
class XmlNodeList
{
public:
    XmlNodeList();
    ~XmlNodeList();
    XmlNodeList(const XmlNodeList&);
    XmlNodeList& operator=(const XmlNodeList&);

    int length() const;
    XmlNode item(int index) const;

private:
    struct Data;
    std::shared_ptr<Data> d;
    friend class XmlNode;
};

// An XML document. load() never throws; save() replaces the file whole or not at all.
// Loading drops white space that only separates elements and keeps the declaration,
// comments, processing instructions and document type, which save() writes back in the
// encoding the file was read in.
class XmlDocument : public XmlNode
{
public:
    XmlDocument();
    ~XmlDocument();

    // False for a missing, unreadable or malformed file; the document is then empty.
    bool load(const QString& path);
    // Raises a run-time error (70 for a read-only target) and leaves the file untouched.
    void save(const QString& path) const;
    // Description of the last load failure.
    QString parseError() const;

    XmlNode documentElement() const;
    // createNode for an element: a new element not yet in the tree.
    XmlNode createElement(const QString& name);
};

} // namespace globalstab
