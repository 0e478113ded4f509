#include "platform/RequestEndpoint.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

QString endpointFolderPath() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty())
        return QStringLiteral("/tmp/quillbay-%1/").arg(::getuid());
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    return base + QStringLiteral("/quillbay/");
}

bool isPrivateFolder(const QString& path, uid_t owner, QString* error) {
    // Without its trailing "/", so that a link is seen as the link, not followed.
    QString entry = path;
    while (entry.size() > 1 && entry.endsWith('/'))
        entry.chop(1);
    struct stat st;
    if (::lstat(QFile::encodeName(entry).constData(), &st) != 0) {
        setError(error, QStringLiteral("%1: %2").arg(path, systemError(errno)));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        setError(error, QStringLiteral("%1 is not a folder").arg(path));
        return false;
    }
    if (st.st_uid != owner) {
        setError(error, QStringLiteral("%1 belongs to another user").arg(path));
        return false;
    }
    if (st.st_mode & (S_IRWXG | S_IRWXO)) {
        setError(error, QStringLiteral("%1 is open to other users").arg(path));
        return false;
    }
    return true;
}

QString ensureEndpointFolder(QString* error) {
    const QString folder = endpointFolderPath();
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        setError(error, QStringLiteral("%1: %2").arg(folder, systemError(errno)));
        return {};
    }
    return isPrivateFolder(folder, ::getuid(), error) ? folder : QString();
}

QString endpointPath(const QString& title, QString* error) {
    if (title.isEmpty() || title.contains('/') || title == "." || title == "..") {
        setError(error, QStringLiteral("\"%1\" cannot name an endpoint").arg(title));
        return {};
    }
    const QString path = endpointFolderPath() + title;
    if (QFile::encodeName(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path))) {
        setError(error, QStringLiteral("%1: the path is too long for a socket").arg(path));
        return {};
    }
    return path;
}

bool peerIsUser(int fd, uid_t user) {
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof credentials)
        return false;
    return credentials.uid == user;
}

} // namespace platform
