#include "documents/DocumentAccess.h"

#include "text/TextChecks.h"

#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"

#include <QDir>

#include <algorithm>

namespace globalstab::access {

namespace {

// How a file is named in an error message: the file the layer would actually touch.
QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(FileSystem::resolve(path));
}

// A description that names the file, once.
QString namingFile(const QString& description, const QString& path)
{
    const QString file = shownPath(path);
    return description.contains(file) ? description
                                      : QStringLiteral("%1 (%2)").arg(description, file);
}

} // namespace

void loadRequired(XmlDocument& doc, const QString& path)
{
    if (!FileSystem().FileExists(path))
        raiseError(rt::FileNotFound, QStringLiteral("File not found: %1").arg(shownPath(path)));
    if (!doc.load(path))
        raiseError(
            rt::XmlFailure,
            namingFile(QStringLiteral("Not a readable XML document: ") + doc.parseError(), path));
}

bool loadIfPresent(XmlDocument& doc, const QString& path)
{
    if (!FileSystem().FileExists(path))
        return false;
    loadRequired(doc, path);
    return true;
}

XmlNode requireElement(const XmlNode& from, const QString& xpath, const QString& path)
{
    // A plain element name needs no query: the services ask for the root at every call.
    const bool plainName = std::none_of(xpath.begin(), xpath.end(), [](QChar c) {
        return QStringView(u"/[]*@:()=|.' \"").contains(c);
    });
    XmlNode node = plainName ? from.firstChildElement(xpath) : from.selectSingleNode(xpath);
    if (node.isNull())
        raiseError(rt::XmlFailure,
                   QStringLiteral("%1 has no element \"%2\"").arg(shownPath(path), xpath));
    return node;
}

void save(const XmlDocument& doc, const QString& path)
{
    try {
        doc.save(path);
    } catch (const RuntimeError& error) {
        raiseError(error.number(), namingFile(error.description(), path));
    }
}

XmlNode appendElement(XmlDocument& doc, XmlNode parent, const QString& name, const QString& text)
{
    XmlNode node = parent.appendChild(doc.createElement(name));
    if (!text.isEmpty())
        node.setText(text);
    return node;
}

QString childText(const XmlNode& node, const QString& name)
{
    const XmlNode child = node.firstChildElement(name);
    return child.isNull() ? QString() : child.text();
}

QString childText(const XmlNode& node, QLatin1StringView name)
{
    const XmlNode child = node.firstChildElement(name);
    return child.isNull() ? QString() : child.text();
}

void setChildText(XmlDocument& doc, XmlNode node, const QString& name, const QString& text)
{
    XmlNode child = node.selectSingleNode(name);
    if (child.isNull())
        appendElement(doc, node, name, text);
    else
        child.setText(text);
}

QList<XmlNode> nodesOf(const XmlNodeList& list)
{
    QList<XmlNode> nodes;
    for (int i = 0; i < list.length(); ++i)
        nodes.append(list.item(i));
    return nodes;
}

NameInAnyCase::NameInAnyCase(const QString& name) : m_upper(name.toUpper())
{
    if (isAscii(m_upper))
        m_ascii = m_upper.toLatin1();
}

bool NameInAnyCase::isTextOf(const XmlNode& node) const
{
    // An ASCII text upper-cases byte by byte; any other may still read as an ASCII name in
    // upper case (the long s), so it is compared as a string.
    const std::optional<QByteArrayView> text = m_ascii.isNull() ? std::nullopt : node.plainText();
    if (!text || !std::all_of(text->cbegin(), text->cend(), [](char c) { return uchar(c) < 0x80; }))
        return equalsUpper(node.text(), m_upper);
    return text->size() == m_ascii.size() &&
           std::equal(text->cbegin(), text->cend(), m_ascii.cbegin(), [](char c, char upper) {
               return (c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c) == upper;
           });
}

bool holdsChildNamed(const XmlNode& parent, const NameInAnyCase& name)
{
    for (XmlNode child = parent.firstChild(); child; child = child.nextSibling())
        if (name.isTextOf(child))
            return true;
    return false;
}

bool removeChildrenNamed(XmlNode parent, const NameInAnyCase& name)
{
    bool removed = false;
    for (XmlNode child = parent.firstChild(); child;) {
        const XmlNode next = child.nextSibling();
        if (name.isTextOf(child)) {
            parent.removeChild(child);
            removed = true;
        }
        child = next;
    }
    return removed;
}

} // namespace globalstab::access
