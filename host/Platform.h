#pragma once

#include <QString>

namespace globalstab::host {

// What the host settles around Qt's platform so that a normal start prints nothing and
// serves nobody it was not asked to.

// Qt warns on every start when XDG_RUNTIME_DIR is unset (a container, a cron job, su): the
// host then uses a folder of its own in the temporary folder, readable by this user only.
// Call before the application object exists.
void ensureRuntimeDir();

// The offscreen and VNC platforms cannot pass a window's size limits on, and Qt says so each
// time a window is laid out; nothing is lost, so that one warning is dropped, and so is the
// VNC server's first word, which listenForVncOn makes untrue. Every other message goes where
// it went before.
void dropSizeHintWarnings();

// Qt's VNC platform listens on every network and asks no password. Moves its server to
// `address` (an IP address); call right after the application object is made, before the
// event loop. True when the platform is not VNC, or when the server now listens there and
// *served says where; false with *error when it could not be moved, and then it listens
// nowhere.
bool listenForVncOn(const QString& address, QString* served, QString* error);

} // namespace globalstab::host
