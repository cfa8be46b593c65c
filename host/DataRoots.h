#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace globalstab::host {

// The first of the candidate folders that holds a data root (a Docs folder), or "".
QString findSamples(const QStringList& candidates);

// The per-user working copy of the samples: copies `samples` to `target` when `target` has
// no Docs folder yet, so that the shipped copy never changes. The copy is made beside the
// target and renamed into place, so an interrupted copy is never taken for a finished one.
// Returns the target, or "" with *error set.
QString ensureWorkingCopy(const QString& samples, const QString& target, QString* error);

// Where ensureWorkingCopy puts the samples for this user (AppDataLocation + "/samples").
QString workingCopyLocation();

// The data root and install type chosen last through the host's menu (QSettings).
QString rememberedDataRoot();
void rememberDataRoot(const QString& root);
std::optional<qint32> rememberedInstallType();
void rememberInstallType(qint32 installType);

// True when the folder holds a data root of the tab (a "Docs" folder, in any letter case).
bool isDataRoot(const QString& folder);

// True when path is folder or lies below it, after resolving links; both must exist.
bool isWithin(const QString& path, const QString& folder);

} // namespace globalstab::host
