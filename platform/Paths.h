#pragma once

#include <QString>
#include <QStringView>

// Path text helpers. Nothing here touches the file system.
namespace globalstab::paths {

// Paths as the component builds them: "\" and "/" both separate.

bool isSeparator(QChar c);
// Index of the last separator, -1 when there is none.
qsizetype lastSeparator(QStringView path);
// folder + name, with a "\" between them unless folder is empty or already ends in a
// separator.
QString join(const QString& folder, const QString& name);
// Drops trailing separators; a path that is only a separator keeps it.
QString withoutTrailingSeparator(QString path);
// Everything before the last separator (trailing ones ignored); empty when there is none.
QString parentOf(const QString& path);
// What follows the last separator; the whole text when there is none.
QString fileName(const QString& path);
// The path without the extension of its last component.
QString withoutExtension(const QString& path);

// Native paths, as FileSystem::resolve answers them: "/" alone separates, so a "\" that a
// file name on disk happens to contain stays part of that name.
namespace native {

// folder + name, with a "/" between them unless folder is empty or already ends in one.
QString join(const QString& folder, const QString& name);
QString withoutTrailingSeparator(QString path);
// The folder holding path (trailing separators ignored): "." for a bare name, "/" for an
// entry of the root.
QString parentOf(const QString& path);
// The last component, trailing separators ignored.
QString fileName(const QString& path);

} // namespace native

} // namespace globalstab::paths
