#include "host/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace globalstab::host {

namespace {

// A folder this user alone owns and reads, as the runtime folder must be; false when the path
// is taken by anything else (another user's folder, a link).
bool ownPrivateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::geteuid())
        return false;
    return (info.st_mode & 0777) == 0700 || ::chmod(path.constData(), 0700) == 0;
}

QtMessageHandler previousHandler = nullptr;

void filterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg &&
        message == QLatin1String("This plugin does not support propagateSizeHints()"))
        return;
    // Said before the server moves; the host says where it listens instead.
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QVncServer created on port")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

// Sees the first event Qt's VNC server gets, the queued call that makes it listen: the server
// has no parent to be found by, so an application-wide filter is the one way to meet it.
class VncServerSpotter : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!server && event->type() == QEvent::MetaCall && watched->inherits("QVncServer"))
            server = watched;
        return false;
    }
    QPointer<QObject> server;
};

} // namespace

void ensureRuntimeDir()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    QByteArray path = QFile::encodeName(QDir::tempPath()) + "/globalstab-host-runtime-" +
                      QByteArray::number(::geteuid());
    if (!ownPrivateFolder(path)) {
        // Someone else holds that name: a fresh folder of our own instead.
        path = QFile::encodeName(QDir::tempPath()) + "/globalstab-host-runtime-XXXXXX";
        if (!::mkdtemp(path.data()))
            return; // Qt then says why it has no runtime folder.
    }
    qputenv("XDG_RUNTIME_DIR", path);
}

void dropSizeHintWarnings()
{
    previousHandler = qInstallMessageHandler(filterMessages);
}

bool listenForVncOn(const QString& address, QString* served, QString* error)
{
    if (QGuiApplication::platformName() != QLatin1String("vnc"))
        return true;
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    // The server starts listening on its first queued call; deliver it now, while nothing
    // else runs, and move the socket before any viewer can be answered.
    VncServerSpotter spotter;
    QCoreApplication::instance()->installEventFilter(&spotter);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::instance()->removeEventFilter(&spotter);
    QTcpServer* socket = spotter.server ? spotter.server->findChild<QTcpServer*>() : nullptr;
    if (!socket)
        return fail(QStringLiteral("cannot find the VNC server of Qt's VNC platform to keep it "
                                   "to %1.")
                        .arg(address));
    if (!socket->isListening())
        return fail(
            QStringLiteral("Qt's VNC server could not listen: %1").arg(socket->errorString()));
    const quint16 port = socket->serverPort();
    socket->close();
    if (!socket->listen(QHostAddress(address), port))
        return fail(QStringLiteral("the VNC server cannot listen on %1 port %2: %3")
                        .arg(address)
                        .arg(port)
                        .arg(socket->errorString()));
    if (served)
        *served = QStringLiteral("%1 port %2%3")
                      .arg(address)
                      .arg(port)
                      .arg(QHostAddress(address).isLoopback()
                               ? QStringLiteral(" (this machine only)")
                               : QStringLiteral(" (open to the network, without a password)"));
    return true;
}

} // namespace globalstab::host
