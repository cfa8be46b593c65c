#pragma once

// What the tests of the XML layer share: a document file in a folder of its own.

#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"
#include "tests/support/CoreSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace globalstab::test {

// The number of the run-time error that body raised; 0 when it raised none.
template <typename Body> int errorOf(Body&& body)
{
    const auto error = test::caught(body);
    return error ? error->number() : 0;
}

class XmlTest : public ::testing::Test
{
protected:
    QByteArray read() const
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    XmlDocument loaded(const QByteArray& xml)
    {
        atomicWriteFile(file, xml);
        XmlDocument doc;
        EXPECT_TRUE(doc.load(file)) << doc.parseError().toStdString();
        return doc;
    }
    QByteArray saved(const XmlDocument& doc)
    {
        doc.save(file);
        return read();
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("doc.xml");
};

// Three categories named A, B and C.
const QByteArray abc = "<Set><Cat><N>A</N></Cat><Cat><N>B</N></Cat><Cat><N>C</N></Cat></Set>";

} // namespace globalstab::test
