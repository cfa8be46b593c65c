#include "platform/XmlDocument.h"

#include "platform/FileSystem.h"
#include "platform/RuntimeError.h"
#include "platform/XmlDocument_p.h"

#include <memory>
#include <utility>

#include <pugixml.hpp>

// The document: its tree, how it is loaded and saved, and what is kept with it. Reading a
// file, learning its layout, writing it and holding saves back for an action are parts of
// their own (XmlLoad.cpp, XmlLayout.cpp, XmlOutput.cpp, DocumentCache.cpp).

namespace globalstab {

using namespace xml;

XmlDocument::XmlDocument() : m_state(std::make_shared<XmlDocumentState>())
{
    m_doc = m_state.get();
    m_node = m_state->document.internal_object();
}

XmlDocument::~XmlDocument() = default;

// The state lives on the heap, so the nodes handed out keep pointing at it after a move.
XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : XmlNode(other), m_state(std::move(other.m_state))
{
    other.m_doc = nullptr;
    other.m_node = nullptr;
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other) {
        m_state = std::move(other.m_state);
        m_doc = std::exchange(other.m_doc, nullptr);
        m_node = std::exchange(other.m_node, nullptr);
    }
    return *this;
}

XmlDocumentState& XmlDocument::state()
{
    if (!m_state) {
        m_state = std::make_shared<XmlDocumentState>();
        m_doc = m_state.get();
        m_node = m_state->document.internal_object();
    }
    return *m_state;
}

bool XmlDocument::load(const QString& path)
{
    // Start from an empty tree; nodes of an earlier load are gone with it.
    m_state.reset();
    const QString native = FileSystem::resolve(path);
    if (HeldTree held = heldTree(native); held.deleted) {
        state().parseError = QStringLiteral("Cannot open '%1': No such file").arg(native);
        return false;
    } else if (held.tree) {
        m_state = std::move(held.tree);
        m_doc = m_state.get();
        m_node = m_state->document.internal_object();
        return true;
    }
    if (!loadFile(native))
        return false;
    keepLoaded(native, m_state);
    return true;
}

bool XmlDocument::loadFile(const QString& native)
{
    WriteBatch::settle(native);
    std::shared_ptr<XmlDocumentState> parsed = takeParsedTree(native);
    // Compared a piece at a time: a megabyte read whole into fresh memory costs more than
    // the comparison. A file that changed is then read again, to be parsed.
    if (parsed && fileHolds(native, parsed->source)) {
        m_state = std::move(parsed);
        m_doc = m_state.get();
        m_node = m_state->document.internal_object();
        return true;
    }
    return readDocument(native, state());
}

void XmlDocument::save(const QString& path) const
{
    // A document that failed to load is empty; writing it would wipe the file.
    if (documentElement().isNull())
        raiseError(rt::XmlFailure, QStringLiteral("The document has no document element; '%1' "
                                                  "was not written")
                                       .arg(FileSystem::resolve(path)));
    const QString native = FileSystem::resolve(path);
    if (holdSave(native, m_state))
        return;
    atomicWriteFile(native, serialized(*m_state));
}

QString XmlDocument::parseError() const
{
    return m_state ? m_state->parseError : QString();
}

void XmlDocument::adoptFormat(const XmlDocument& other)
{
    if (!other.m_state)
        return;
    XmlDocumentState& mine = state();
    ++mine.generation;
    learnFormat(*other.m_state);
    mine.source = QByteArray();
    const XmlDocumentState& theirs = *other.m_state;
    mine.encoding = theirs.encoding;
    mine.byteOrderMark = theirs.byteOrderMark;
    mine.indent = theirs.indent;
    mine.raw = theirs.raw;
    mine.crlf = theirs.crlf;
    mine.entities = theirs.entities;
    mine.declarationLine = theirs.declarationLine;
    mine.finalLine = theirs.finalLine;
    mine.emptyForm = theirs.emptyForm;
    mine.loaded = theirs.loaded;
    for (pugi::xml_node child = mine.document.first_child(); child;) {
        const pugi::xml_node next = child.next_sibling();
        if (child.type() == pugi::node_declaration)
            mine.document.remove_child(child);
        child = next;
    }
    for (pugi::xml_node child = theirs.document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_declaration)
            mine.document.prepend_copy(child);
}

std::shared_ptr<const void> XmlDocument::derived(int key) const
{
    if (!m_state)
        return nullptr;
    const auto found = m_state->derived.constFind(key);
    if (found == m_state->derived.cend() || found->first != m_state->generation)
        return nullptr;
    return found->second;
}

void XmlDocument::keepDerived(int key, std::shared_ptr<const void> data) const
{
    if (m_state)
        m_state->derived.insert(key, {m_state->generation, std::move(data)});
}

XmlNode XmlDocument::documentElement() const
{
    return m_state ? XmlNode(m_doc, documentElementOf(*m_state)) : XmlNode();
}

XmlNode XmlDocument::createElement(const QString& name)
{
    // A rebuild creates thousands of elements of a few names.
    thread_local QString lastValid;
    if (name != lastValid && !isValidName(name))
        invalidArgument(QStringLiteral("'%1' is not a valid element name").arg(name));
    lastValid = name;
    XmlDocumentState& doc = state();
    return XmlNode(&doc, doc.parkingElement().append_child(Utf8(name).c_str()));
}

} // namespace globalstab
