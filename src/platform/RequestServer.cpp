#include "platform/RequestServer.h"

#include "platform/RequestEndpoint.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

// One accepted peer. It reads what is there, hands each complete request to the server and
// sends the answer; anything wrong ends the connection, never the program.
class RequestConnection : public QObject {
public:
    RequestConnection(int fd, RequestServer* server)
        : QObject(server), fd_(fd), server_(server),
          notifier_(new QSocketNotifier(fd, QSocketNotifier::Read, this)) {
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readable(); });
        idle_.setSingleShot(true);
        connect(&idle_, &QTimer::timeout, this, [this] { drop(); });
        idle_.start(server->idleTimeout());
    }
    ~RequestConnection() override { closeSocket(); }

private:
    void readable() {
        char buffer[16 * 1024];
        while (reader_.room() > 0) {
            const ssize_t n =
                ::recv(fd_, buffer, size_t(qMin<qsizetype>(sizeof buffer, reader_.room())), 0);
            if (n > 0) {
                reader_.append(QByteArrayView(buffer, n));
                continue;
            }
            if (n == 0)
                peerDone_ = true; // the peer sent all it had: answer what is complete, then end
            else if (errno == EINTR)
                continue;
            else if (errno != EAGAIN && errno != EWOULDBLOCK)
                peerDone_ = true;
            break;
        }
        serveComplete();
    }

    void serveComplete() {
        QPointer<RequestConnection> self(this);
        for (;;) {
            Request request;
            const RequestReader::Status status = reader_.next(request);
            if (status == RequestReader::Malformed) {
                drop();
                return;
            }
            if (status == RequestReader::NeedMore)
                break;
            if (!serve(request) || !self)
                return;
        }
        if (peerDone_)
            drop();
    }

    // False when the connection ended (or was destroyed) while the request was handled.
    bool serve(const Request& request) {
        // Nothing of this peer is read while its request runs: requests of one connection
        // are answered in order, like messages sent one after the other.
        notifier_->setEnabled(false);
        idle_.stop();
        QPointer<RequestConnection> self(this);
        const qint64 result = server_->handle(request);
        if (!self || fd_ < 0)
            return false;
        const QByteArray reply = encodeReply(result);
        // The answer is tiny; a peer whose buffer cannot take it is not reading its answers.
        if (::send(fd_, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL | MSG_DONTWAIT) !=
            reply.size()) {
            drop();
            return false;
        }
        if (!peerDone_) {
            notifier_->setEnabled(true);
            idle_.start(server_->idleTimeout());
        }
        return true;
    }

    void closeSocket() {
        if (fd_ < 0)
            return;
        notifier_->setEnabled(false);
        ::close(fd_);
        fd_ = -1;
    }

    void drop() {
        closeSocket();
        idle_.stop();
        server_->forget(this);
        deleteLater();
    }

    int fd_;
    RequestServer* server_;
    QSocketNotifier* notifier_;
    QTimer idle_;
    RequestReader reader_;
    bool peerDone_ = false;
};

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

RequestServer::RequestServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), trustedUser_(::getuid()) {}

RequestServer::~RequestServer() {
    close();
    // Connections are children and go with the server; they must not call back into it.
    const QList<RequestConnection*> connections = connections_;
    connections_.clear();
    qDeleteAll(connections);
}

bool RequestServer::listen(const QString& title) {
    close();
    error_.clear();
    if (ensureEndpointFolder(&error_).isEmpty())
        return false;
    const QString path = endpointPath(title, &error_);
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);

    // A lock beside the socket tells a live endpoint from one left behind: a running copy
    // holds it for as long as it listens, and the system drops it when a copy dies.
    const QByteArray lockName = QFile::encodeName(endpointFolderPath() + '.' + title + ".lock");
    const int lock = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock < 0) {
        error_ = QStringLiteral("%1: %2").arg(QFile::decodeName(lockName), systemError(errno));
        return false;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        error_ =
            QStringLiteral("%1: another copy of Quillbay receives the requests there").arg(path);
        ::close(lock);
        return false;
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = systemError(errno);
        ::close(lock);
        return false;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    // A socket left behind by a copy that ended without cleaning up is replaced (no copy
    // holds its lock); the folder is private, so whatever lies there is our own.
    ::unlink(native.constData());
    struct stat st;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 || ::stat(native.constData(), &st) != 0) {
        error_ = QStringLiteral("%1: %2").arg(path, systemError(errno));
        ::close(fd);
        ::close(lock);
        return false;
    }
    listenFd_ = fd;
    lockFd_ = lock;
    path_ = path;
    boundDevice_ = st.st_dev;
    boundInode_ = st.st_ino;
    acceptNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, [this] { acceptPending(); });
    return true;
}

void RequestServer::close() {
    if (listenFd_ < 0)
        return;
    delete acceptNotifier_;
    acceptNotifier_ = nullptr;
    ::close(listenFd_);
    listenFd_ = -1;
    // Only our own socket is removed: another copy of the program may have taken the name.
    const QByteArray native = QFile::encodeName(path_);
    struct stat st;
    if (::stat(native.constData(), &st) == 0 && st.st_dev == boundDevice_ &&
        st.st_ino == boundInode_)
        ::unlink(native.constData());
    path_.clear();
    ::close(lockFd_); // only after the socket is gone, so no other copy can meet it
    lockFd_ = -1;
}

void RequestServer::acceptPending() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (!peerIsUser(fd, trustedUser_) || connections_.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        connections_.append(new RequestConnection(fd, this));
    }
}

void RequestServer::forget(RequestConnection* connection) {
    connections_.removeOne(connection);
}

qint64 RequestServer::handle(const Request& request) {
    // A copy: the handler may end this server while it runs.
    const Handler handler = handler_;
    return handler ? handler(request) : 0;
}

} // namespace platform
