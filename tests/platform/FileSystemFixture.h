// What the file-system tests share: a temporary folder to work in, its paths, and the
// number of the run-time error a call raised.
#pragma once

#include "platform/FileSystem.h"
#include "tests/support/CoreSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

namespace globalstab::test {

// The number of the run-time error that body raised; 0 when it raised none.
template <typename Body> int errorOf(Body&& body)
{
    const auto error = test::caught(body);
    return error ? error->number() : 0;
}

class FileSystemTest : public ::testing::Test
{
protected:
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    QString write(const QString& relative, const QByteArray& data) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        return path(relative);
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList entries(const QString& relative) const
    {
        return QDir(path(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString decoded(const QByteArray& data) const { return fso.ReadAllText(write("t.htm", data)); }

    QTemporaryDir dir;
    FileSystem fso;
};

} // namespace globalstab::test
