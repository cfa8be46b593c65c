#include "platform/XmlDocument.h"

#include "platform/RuntimeError.h"
#include "platform/XmlDocument_p.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <pugixml.hpp>

// The node facade: navigation, text, attributes, queries and tree changes, over pugixml's
// tree with the parking element left out.

namespace globalstab {

namespace xml {

void invalidArgument(const QString& detail)
{
    raiseError(rt::InvalidArgument,
               QStringLiteral("Invalid procedure call or argument: ") + detail);
}

pugi::xml_node documentElementOf(const XmlDocumentState& state)
{
    for (pugi::xml_node child = state.document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && child != state.parking)
            return child;
    return pugi::xml_node();
}

bool isValidName(const QString& name)
{
    if (name.isEmpty())
        return false;
    // Blanks and digits as ASCII knows them, as the pattern this replaces did.
    const auto allowed = [](QChar c) { return !QStringView(u" \t\n\v\f\r<>&\"'/=!?").contains(c); };
    const QChar first = name.front();
    if (!allowed(first) || (first >= u'0' && first <= u'9') || first == u'.' || first == u'-')
        return false;
    return std::all_of(name.begin(), name.end(), allowed);
}

} // namespace xml

using namespace xml;

namespace {

void collectText(const pugi::xml_node& node, const XmlDocumentState& state, std::string& out)
{
    forEachBelow(node, state, [&](const pugi::xml_node& child, int) {
        if (isText(child))
            out += child.value();
        return child.type() == pugi::node_element;
    });
}

// Skips the parking element when walking the children of the document node.
pugi::xml_node visible(pugi::xml_node node, const XmlDocumentState& state, bool forward)
{
    while (node && node == state.parking)
        node = forward ? node.next_sibling() : node.previous_sibling();
    return node;
}

template <typename Add>
void collectElements(const pugi::xml_node& node, const std::string& name,
                     const XmlDocumentState& state, const Add& add)
{
    const bool any = name == "*";
    forEachBelow(node, state, [&](const pugi::xml_node& child, int) {
        if (child.type() != pugi::node_element)
            return false;
        if (any || std::strcmp(child.name(), name.c_str()) == 0)
            add(child);
        return true;
    });
}

// The compiled queries of the calling thread: an action asks the same few expressions of
// thousands of documents, and each compilation took a block of 4 KiB that, freed between
// the trees the action keeps, left the heap in holes it could not use for them.
const pugi::xpath_query& compiledQuery(const QString& xpath)
{
    thread_local QHash<QString, std::shared_ptr<const pugi::xpath_query>> compiled;
    if (const auto found = compiled.constFind(xpath); found != compiled.cend())
        return **found;
    // Raises for an expression that does not compile, which is then not kept.
    auto query = std::make_shared<const pugi::xpath_query>(toUtf8(xpath).c_str());
    // Expressions built from names would grow it without end.
    constexpr qsizetype MostKept = 256;
    if (compiled.size() >= MostKept)
        compiled.clear();
    return **compiled.insert(xpath, std::move(query));
}

// The first element named name among node and its next siblings, the parking element aside.
pugi::xml_node elementNamedFrom(pugi::xml_node node, QLatin1StringView name,
                                const XmlDocumentState& state)
{
    for (; node; node = node.next_sibling())
        if (node.type() == pugi::node_element && hasName(node.name(), name) &&
            node != state.parking)
            return node;
    return pugi::xml_node();
}

} // namespace

XmlNode::XmlNode(XmlDocumentState* doc, const pugi::xml_node& node)
{
    if (node) {
        m_doc = doc;
        m_node = node.internal_object();
    }
}

pugi::xml_node XmlNode::node() const
{
    return pugi::xml_node(m_node);
}

void XmlNode::requireNode() const
{
    if (isNull())
        raiseError(rt::ObjectNotSet,
                   QStringLiteral("Object variable not set (the XML node is empty: the query that "
                                  "gave it found no node)"));
}

QString XmlNode::nodeName() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    switch (node.type()) {
    case pugi::node_document:
        return QStringLiteral("#document");
    case pugi::node_pcdata:
        return QStringLiteral("#text");
    case pugi::node_cdata:
        return QStringLiteral("#cdata-section");
    case pugi::node_comment:
        return QStringLiteral("#comment");
    case pugi::node_doctype:
        return fromUtf8(node.value()).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    default:
        return fromUtf8(node.name());
    }
}

QString XmlNode::text() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    if (node.type() != pugi::node_element && node.type() != pugi::node_document)
        return fromUtf8(node.value());
    // An element of one text node, the common case, needs no walk.
    const pugi::xml_node only = node.first_child();
    if (!only)
        return QString();
    if (only == node.last_child() && isText(only))
        return fromUtf8(only.value());
    std::string out;
    collectText(node, *m_doc, out);
    return fromUtf8(out.c_str());
}

std::optional<QByteArrayView> XmlNode::plainText() const
{
    requireNode();
    const pugi::xml_node node = this->node();
    const pugi::xml_node only = node.type() == pugi::node_element ? node.first_child() : node;
    if (node.type() == pugi::node_element && !only)
        return QByteArrayView("");
    if (!isText(only) || (only != node && only != node.last_child()))
        return std::nullopt;
    return QByteArrayView(only.value());
}

void XmlNode::setText(const QString& text)
{
    requireNode();
    ++m_doc->generation;
    pugi::xml_node node = this->node();
    if (node.type() == pugi::node_element) {
        node.remove_children();
        if (!text.isEmpty())
            node.append_child(pugi::node_pcdata).set_value(Utf8(text).c_str());
    } else if (node.type() == pugi::node_document || !node.set_value(Utf8(text).c_str())) {
        invalidArgument(QStringLiteral("the text of a %1 node cannot be set").arg(nodeName()));
    }
}

XmlNodeList XmlNode::childNodes() const
{
    requireNode();
    XmlNodeList list;
    for (pugi::xml_node child = node().first_child(); child; child = child.next_sibling())
        if (child != m_doc->parking)
            list.m_nodes.push_back(XmlNode(m_doc, child));
    return list;
}

XmlNode XmlNode::firstChild() const
{
    requireNode();
    return XmlNode(m_doc, visible(node().first_child(), *m_doc, true));
}

bool XmlNode::nodeNameIs(QLatin1StringView name) const
{
    requireNode();
    const pugi::xml_node node = this->node();
    switch (node.type()) {
    case pugi::node_element:
    case pugi::node_pi:
    case pugi::node_declaration:
        return hasName(node.name(), name);
    default:
        return nodeName() == name;
    }
}

bool XmlNode::isElement() const
{
    requireNode();
    return node().type() == pugi::node_element;
}

bool XmlNode::hasChildNodes() const
{
    requireNode();
    return bool(visible(node().first_child(), *m_doc, true));
}

XmlNode XmlNode::parentNode() const
{
    requireNode();
    const pugi::xml_node parent = node().parent();
    if (parent == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, parent);
}

XmlNode XmlNode::previousSibling() const
{
    requireNode();
    if (node().parent() == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, visible(node().previous_sibling(), *m_doc, false));
}

XmlNode XmlNode::nextSibling() const
{
    requireNode();
    if (node().parent() == m_doc->parking)
        return XmlNode();
    return XmlNode(m_doc, visible(node().next_sibling(), *m_doc, true));
}

QString XmlNode::attribute(const QString& name) const
{
    requireNode();
    return fromUtf8(node().attribute(toUtf8(name).c_str()).value());
}

void XmlNode::setAttribute(const QString& name, const QString& value)
{
    requireNode();
    ++m_doc->generation;
    pugi::xml_node element = node();
    if (element.type() != pugi::node_element)
        invalidArgument(QStringLiteral("a %1 node has no attributes").arg(nodeName()));
    if (!isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid attribute name").arg(name));
    const std::string key = toUtf8(name);
    pugi::xml_attribute attribute = element.attribute(key.c_str());
    if (!attribute)
        attribute = element.append_attribute(key.c_str());
    attribute.set_value(toUtf8(value).c_str());
}

// Queries answer nodes only: an attribute that an expression selects is left out, as no
// caller asks for one. Nodes in the parking area are left out unless the query starts
// there.
XmlNodeList XmlNode::selectNodes(const QString& xpath) const
{
    requireNode();
    XmlNodeList list;
    try {
        const pugi::xpath_query& query = compiledQuery(xpath);
        pugi::xpath_node_set found = query.evaluate_node_set(node());
        found.sort();
        const bool fromParking = m_doc->hidden(node());
        list.m_nodes.reserve(found.size());
        for (const pugi::xpath_node& item : found) {
            const pugi::xml_node match = item.node();
            if (!match || item.attribute() || match == m_doc->parking)
                continue;
            if (!fromParking && m_doc->hidden(match))
                continue;
            list.m_nodes.push_back(XmlNode(m_doc, match));
        }
    } catch (const pugi::xpath_exception& error) {
        // The offset is meaningful for syntax errors only; evaluation errors leave it at 0.
        QString where = QStringLiteral("\"%1\"").arg(xpath);
        if (error.result().offset > 0)
            where += QStringLiteral(" at position %1").arg(error.result().offset + 1);
        raiseError(
            rt::XmlFailure,
            QStringLiteral("%1 in the expression %2").arg(QString::fromUtf8(error.what()), where));
    }
    return list;
}

XmlNode XmlNode::selectSingleNode(const QString& xpath) const
{
    return selectNodes(xpath).item(0);
}

XmlNode XmlNode::firstChildElement(const QString& name) const
{
    requireNode();
    const Utf8 wanted(name);
    for (pugi::xml_node child = node().child(wanted.c_str()); child;
         child = child.next_sibling(wanted.c_str())) {
        if (child.type() == pugi::node_element && child != m_doc->parking)
            return XmlNode(m_doc, child);
    }
    return XmlNode();
}

XmlNode XmlNode::nextSiblingElement(const QString& name) const
{
    requireNode();
    const Utf8 wanted(name);
    for (pugi::xml_node sibling = node().next_sibling(wanted.c_str()); sibling;
         sibling = sibling.next_sibling(wanted.c_str()))
        if (sibling.type() == pugi::node_element && sibling != m_doc->parking)
            return XmlNode(m_doc, sibling);
    return XmlNode();
}

XmlNode XmlNode::firstChildElement(QLatin1StringView name) const
{
    requireNode();
    return XmlNode(m_doc, elementNamedFrom(node().first_child(), name, *m_doc));
}

XmlNode XmlNode::nextSiblingElement(QLatin1StringView name) const
{
    requireNode();
    return XmlNode(m_doc, elementNamedFrom(node().next_sibling(), name, *m_doc));
}

XmlNodeList XmlNode::childElements(const QString& name) const
{
    requireNode();
    XmlNodeList list;
    const Utf8 wanted(name);
    for (pugi::xml_node child = node().child(wanted.c_str()); child;
         child = child.next_sibling(wanted.c_str()))
        if (child.type() == pugi::node_element && child != m_doc->parking)
            list.m_nodes.push_back(XmlNode(m_doc, child));
    return list;
}

XmlNodeList XmlNode::getElementsByTagName(const QString& name) const
{
    requireNode();
    XmlNodeList list;
    collectElements(node(), toUtf8(name), *m_doc, [&](const pugi::xml_node& element) {
        list.m_nodes.push_back(XmlNode(m_doc, element));
    });
    return list;
}

XmlNode XmlNode::appendChild(const XmlNode& newChild)
{
    return insertBefore(newChild, XmlNode());
}

void XmlNode::appendElements(const QString& name, const QStringList& texts)
{
    requireNode();
    if (texts.isEmpty())
        return;
    if (!isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid element name").arg(name));
    const Utf8 element(name);
    pugi::xml_node parent = node();
    // What the document node may take (one element, before the parking element) is the
    // general path's to check.
    if (parent.type() != pugi::node_element) {
        for (const QString& text : texts) {
            const XmlNode created(m_doc, m_doc->parkingElement().append_child(element.c_str()));
            XmlNode added = insertBefore(created, XmlNode());
            if (!text.isEmpty())
                added.setText(text);
        }
        return;
    }
    ++m_doc->generation;
    for (const QString& text : texts) {
        pugi::xml_node added = parent.append_child(element.c_str());
        if (!text.isEmpty())
            added.append_child(pugi::node_pcdata).set_value(Utf8(text).c_str());
    }
}

XmlNode XmlNode::insertBefore(const XmlNode& newChild, const XmlNode& refChild)
{
    requireNode();
    newChild.requireNode();
    ++m_doc->generation;
    pugi::xml_node parent = node();
    const pugi::xml_node before = refChild.node();
    if (before && before.parent() != parent)
        invalidArgument(QStringLiteral("the reference node is not a child of this node"));
    if (before && refChild == newChild)
        return newChild;
    const pugi::xml_node moved = newChild.node();
    if (parent.type() == pugi::node_document && moved.type() == pugi::node_element) {
        const pugi::xml_node root = documentElementOf(*m_doc);
        if (root && root != moved)
            invalidArgument(QStringLiteral("a document has only one document element"));
    }

    pugi::xml_node inserted;
    if (newChild.m_doc != m_doc) {
        // A node of another document is copied in, as an import would.
        inserted = before ? parent.insert_copy_before(moved, before) : parent.append_copy(moved);
    } else if (!before) {
        // Keep the parking element last under the document node.
        inserted = parent == m_doc->document && m_doc->parking
                       ? parent.insert_move_before(moved, m_doc->parking)
                       : parent.append_move(moved);
    } else {
        inserted = parent.insert_move_before(moved, before);
    }
    if (!inserted)
        invalidArgument(QStringLiteral("a %1 node cannot be inserted into a %2 node")
                            .arg(newChild.nodeName(), nodeName()));
    return XmlNode(m_doc, inserted);
}

XmlNode XmlNode::removeChild(const XmlNode& oldChild)
{
    requireNode();
    oldChild.requireNode();
    ++m_doc->generation;
    const pugi::xml_node child = oldChild.node();
    if (oldChild.m_doc != m_doc || child.parent() != node() || child == m_doc->parking)
        invalidArgument(QStringLiteral("the node to remove is not a child of this node"));
    if (!m_doc->parkingElement().append_move(child))
        invalidArgument(QStringLiteral("the %1 node cannot be removed").arg(oldChild.nodeName()));
    return oldChild;
}

} // namespace globalstab
