#pragma once

#include "platform/XmlDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

// How the default services read and write documents: a document they cannot do without is
// required, a missing optional one is skipped, and every error names the file.

namespace globalstab::access {

// Raises 53 for a missing file and an XML error naming the file when it does not parse.
void loadRequired(XmlDocument& doc, const QString& path);
// False when there is no file. A file that is there but does not parse still raises:
// nothing is written on the strength of a document that could not be read.
bool loadIfPresent(XmlDocument& doc, const QString& path);
XmlNode requireElement(const XmlNode& from, const QString& xpath, const QString& path);
void save(const XmlDocument& doc, const QString& path);

XmlNode appendElement(XmlDocument& doc, XmlNode parent, const QString& name,
                      const QString& text = QString());
// The text of the first child of that name; empty when there is none.
QString childText(const XmlNode& node, const QString& name);
QString childText(const XmlNode& node, QLatin1StringView name);
void setChildText(XmlDocument& doc, XmlNode node, const QString& name, const QString& text);
QList<XmlNode> nodesOf(const XmlNodeList& list);
// A name to find in texts whatever their letter case, made upper case once: a delete looks
// for it among the categories of thousands of books. Read-only, so threads may share one.
class NameInAnyCase
{
public:
    // Implicit, so that a plain name may stand wherever one is compared.
    NameInAnyCase(const QString& name); // NOLINT(google-explicit-constructor)
    // node.text().toUpper() == name.toUpper(), mostly without making the text a string.
    bool isTextOf(const XmlNode& node) const;

private:
    QString m_upper;
    QByteArray m_ascii; // m_upper, when it is ASCII
};

// Removes every child of parent whose text is name in any letter case: the table of contents
// and the books are edited by hand and do not keep the letter case of the category set.
// True when it removed any.
bool removeChildrenNamed(XmlNode parent, const NameInAnyCase& name);
// True when removeChildrenNamed(parent, name) would remove any; only reads parent.
bool holdsChildNamed(const XmlNode& parent, const NameInAnyCase& name);

} // namespace globalstab::access

namespace globalstab {

// What every document class shares: the XML document it wraps and the ways to load and
// save it. The tab's own procedures use load() and save(); the default services use the
// forms that require the file and name it in errors.
class Document
{
public:
    // False for a missing or malformed file; the document is then empty and its queries
    // find nothing.
    bool load(const QString& path) { return m_doc.load(path); }
    bool loadIfPresent(const QString& path) { return access::loadIfPresent(m_doc, path); }
    void loadRequired(const QString& path) { access::loadRequired(m_doc, path); }
    void save(const QString& path) const { m_doc.save(path); }
    // A save whose error names the file.
    void saveNamingFile(const QString& path) const { access::save(m_doc, path); }
    QString parseError() const { return m_doc.parseError(); }
    // Saves as other does (declaration, encoding, indentation): for a document that
    // replaces the file other was read from.
    void adoptFormat(const Document& other) { m_doc.adoptFormat(other.m_doc); }

protected:
    XmlDocument m_doc;
};

} // namespace globalstab
