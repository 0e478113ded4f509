#include "ScriptedServer.h"

#include "TestCertificates.h"
#include "platform/MessageLoop.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qbtest {

// Shared by a server and everything it hands out: once set, every wait ends.
struct ServerStop {
    ServerStop() : fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~ServerStop() { ::close(fd); }
    void set() {
        stopped = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
    }
    int fd;
    std::atomic<bool> stopped{false};
};

namespace {

// Waits until `fd` is ready for `events`; false on timeout or stop.
bool waitReady(int fd, short events, const ServerStop& stop, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (stop.stopped)
            return false;
        pollfd fds[2] = {{fd, events, 0}, {stop.fd, POLLIN, 0}};
        const int left = int(deadline.remainingTime());
        const int rc = ::poll(fds, 2, left < 0 ? 0 : left);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0 || fds[1].revents)
            return false;
        if (fds[0].revents)
            return true;
    }
}

socklen_t loopback(bool ipv6, quint16 port, sockaddr_storage& out) {
    out = {};
    if (ipv6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        v6->sin6_addr = in6addr_loopback;
        return sizeof(sockaddr_in6);
    }
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sizeof(sockaddr_in);
}

int listenSocket(int backlog, quint16& port, bool ipv6 = false) {
    sockaddr_storage address;
    socklen_t len = loopback(ipv6, 0, address);
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), len) != 0 ||
        ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len) != 0)
        qFatal("test server: cannot listen on loopback: %s", strerror(errno));
    port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port); // same offset in v6
    return fd;
}

} // namespace

ScriptedConnection::ScriptedConnection(int fd, int index, std::shared_ptr<ServerStop> stop,
                                       std::function<void(const QByteArray&)> record,
                                       ssl_ctx_st* tls)
    : fd_(fd), index_(index), stop_(std::move(stop)), record_(std::move(record)) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    if (tls) {
        ssl_ = SSL_new(tls);
        SSL_set_fd(ssl_, fd_);
        SSL_set_accept_state(ssl_);
    }
}

ScriptedConnection::~ScriptedConnection() {
    close();
}

bool ScriptedConnection::waitTls(int rc, int timeoutMs) {
    const int error = SSL_get_error(ssl_, rc);
    ERR_clear_error();
    if (error == SSL_ERROR_WANT_READ)
        return waitReady(fd_, POLLIN, *stop_, timeoutMs);
    if (error == SSL_ERROR_WANT_WRITE)
        return waitReady(fd_, POLLOUT, *stop_, timeoutMs);
    return false;
}

bool ScriptedConnection::handshake(int timeoutMs) {
    if (!ssl_ || handshakeDone_)
        return fd_ >= 0;
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int rc = SSL_accept(ssl_);
        if (rc == 1)
            return handshakeDone_ = true;
        if (!waitTls(rc, int(deadline.remainingTime())))
            return false;
    }
}

bool ScriptedConnection::fill(int timeoutMs) {
    char chunk[65536];
    ssize_t n = 0;
    if (ssl_) {
        QDeadlineTimer deadline(timeoutMs);
        if (fd_ < 0 || !handshake(timeoutMs))
            return false;
        size_t got = 0;
        int rc;
        while ((rc = SSL_read_ex(ssl_, chunk, sizeof chunk, &got)) != 1) {
            if (!waitTls(rc, int(deadline.remainingTime())))
                return false;
        }
        n = ssize_t(got);
    } else {
        if (fd_ < 0 || !waitReady(fd_, POLLIN, *stop_, timeoutMs))
            return false;
        n = ::recv(fd_, chunk, sizeof chunk, 0);
    }
    if (n <= 0)
        return false;
    const QByteArray bytes(chunk, int(n));
    buffer_ += bytes;
    if (record_)
        record_(bytes);
    return true;
}

std::optional<QByteArray> ScriptedConnection::takeLine(const QDeadlineTimer& deadline) {
    for (;;) {
        const int lf = buffer_.indexOf('\n');
        if (lf >= 0) {
            const QByteArray line = buffer_.left(lf + 1);
            buffer_.remove(0, lf + 1);
            return line;
        }
        if (!fill(int(deadline.remainingTime())))
            return std::nullopt;
    }
}

std::optional<QByteArray> ScriptedConnection::readLine(int timeoutMs) {
    std::optional<QByteArray> line = takeLine(QDeadlineTimer(timeoutMs));
    if (line)
        line->chop(line->endsWith("\r\n") ? 2 : 1);
    return line;
}

QByteArray ScriptedConnection::readRequestHeader(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray header;
    while (const std::optional<QByteArray> line = takeLine(deadline)) {
        header += *line;
        if (*line == "\r\n" || *line == "\n")
            return header;
    }
    return {};
}

QByteArray ScriptedConnection::readBytes(qint64 n, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (buffer_.size() < n && fill(int(deadline.remainingTime()))) {
    }
    const QByteArray out = buffer_.left(int(n));
    buffer_.remove(0, out.size());
    return out;
}

bool ScriptedConnection::waitForPeerClose(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (fill(int(deadline.remainingTime()))) {
    }
    return !deadline.hasExpired() && !stop_->stopped;
}

bool ScriptedConnection::send(const QByteArray& bytes) {
    qint64 done = 0;
    if (ssl_) {
        if (!handshake(30000))
            return false;
        while (done < bytes.size()) {
            size_t n = 0;
            const int rc =
                SSL_write_ex(ssl_, bytes.constData() + done, size_t(bytes.size() - done), &n);
            if (rc == 1)
                done += qint64(n);
            else if (!waitTls(rc, 30000))
                return false;
        }
        return true;
    }
    while (done < bytes.size()) {
        if (fd_ < 0 || !waitReady(fd_, POLLOUT, *stop_, 30000))
            return false;
        const ssize_t n =
            ::send(fd_, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0)
            done += n;
    }
    return true;
}

bool ScriptedConnection::sendPattern(qint64 offset, qint64 count) {
    const qint64 piece = 256 * 1024;
    for (qint64 sent = 0; sent < count; sent += piece) {
        if (!send(patternBytes(offset + sent, qMin(piece, count - sent))))
            return false;
    }
    return true;
}

bool ScriptedConnection::sleep(int ms) {
    pollfd fd = {stop_->fd, POLLIN, 0};
    return !stop_->stopped && ::poll(&fd, 1, ms) == 0;
}

void ScriptedConnection::close(bool notify) {
    if (ssl_) {
        if (notify && handshakeDone_ && fd_ >= 0)
            SSL_shutdown(ssl_);
        ERR_clear_error();
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void ScriptedConnection::reset() {
    if (fd_ < 0)
        return;
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    // What was sent leaves before the reset, which would drop it: Nagle's rule may still
    // hold a small last segment back while earlier ones (a TLS handshake's) wait for their
    // acknowledgement.
    const int noDelay = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    QDeadlineTimer deadline(2000);
    int unsent = 0;
    while (::ioctl(fd_, SIOCOUTQNSD, &unsent) == 0 && unsent > 0 && !deadline.hasExpired())
        ::usleep(1000);
    const linger hard = {1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

std::unique_ptr<ScriptedListener> ScriptedConnection::listen() {
    return std::make_unique<ScriptedListener>(stop_);
}

ScriptedListener::ScriptedListener(std::shared_ptr<ServerStop> stop, int backlog)
    : stop_(std::move(stop)) {
    fd_ = listenSocket(backlog, port_);
}

ScriptedListener::~ScriptedListener() {
    ::close(fd_);
}

int ScriptedListener::acceptDescriptor(int timeoutMs) {
    for (;;) {
        if (!waitReady(fd_, POLLIN, *stop_, timeoutMs))
            return -1;
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            return fd;
        if (errno != EAGAIN && errno != EINTR)
            return -1;
    }
}

ScriptedServer::ScriptedServer(Script script, const QString& scheme)
    : script_(std::move(script)), stop_(std::make_shared<ServerStop>()) {
    if (scheme == QLatin1String("https")) {
        const CertificatePair good = TestCertificates::get().good();
        tls_ = SSL_CTX_new(TLS_server_method());
        if (!tls_ ||
            SSL_CTX_use_certificate_chain_file(tls_, QFile::encodeName(good.certificate)) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls_, QFile::encodeName(good.key), SSL_FILETYPE_PEM) != 1)
            qFatal("test server: cannot use the certificate %s", qPrintable(good.certificate));
    }
    listener_ = std::make_unique<ScriptedListener>(stop_, 64);
    acceptor_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() {
    stop_->set();
    if (acceptor_.joinable())
        acceptor_.join();
    for (std::thread& worker : workers_)
        worker.join();
    if (tls_)
        SSL_CTX_free(tls_);
}

void ScriptedServer::run() {
    for (;;) {
        const int fd = listener_->acceptDescriptor(3600 * 1000);
        if (fd < 0)
            return;
        int index;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            index = received_.size();
            received_.append(QByteArray());
        }
        auto record = [this, index](const QByteArray& bytes) {
            std::lock_guard<std::mutex> lock(mutex_);
            received_[index] += bytes;
        };
        auto connection = std::make_shared<ScriptedConnection>(fd, index, stop_, record, tls_);
        workers_.emplace_back([this, connection] {
            // OpenSSL writes with write(): a client that hangs up must not end the test run.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            script_(*connection);
        });
    }
}

QString ScriptedServer::url(const QString& path) const {
    return (tls_ ? QStringLiteral("https://127.0.0.1:") : QStringLiteral("http://127.0.0.1:")) +
           QString::number(port()) + path;
}

int ScriptedServer::connectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
}

QList<QByteArray> ScriptedServer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

UnansweredPort::UnansweredPort() {
    listenFd_ = listenSocket(0, port_);
    // The one connection the queue holds; every later connect waits in vain.
    fillerFd_ = connectLoopback(port_);
}

UnansweredPort::~UnansweredPort() {
    ::close(fillerFd_);
    ::close(listenFd_);
}

quint16 closedPort(bool ipv6) {
    quint16 port = 0;
    ::close(listenSocket(1, port, ipv6));
    return port;
}

int connectLoopback(quint16 port, bool ipv6, const char* source) {
    sockaddr_storage remote;
    const socklen_t len = loopback(ipv6, port, remote);
    const int fd = ::socket(remote.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage local;
    if (source) {
        loopback(ipv6, 0, local);
        inet_pton(AF_INET, source, &reinterpret_cast<sockaddr_in*>(&local)->sin_addr);
    }
    if (fd < 0 || (source && ::bind(fd, reinterpret_cast<sockaddr*>(&local), len) != 0) ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

bool listenedBy(qint64 pid, quint16 port) {
    // The kernel's socket tables give the listening sockets' inodes; the process's open
    // descriptors say whether one of them is its own.
    QSet<QByteArray> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the column names
        while (!file.atEnd()) {
            // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode ...
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() < 10 || fields[3] != "0A")
                continue;
            bool ok = false;
            const QByteArray& local = fields[1];
            if (local.mid(local.lastIndexOf(':') + 1).toUShort(&ok, 16) == port && ok)
                inodes.insert("socket:[" + fields[9] + "]");
        }
    }
    const QByteArray folder = "/proc/" + QByteArray::number(pid) + "/fd/";
    for (const QString& fd : QDir(QString::fromLatin1(folder)).entryList(QDir::System)) {
        char target[64];
        const ssize_t n =
            ::readlink((folder + fd.toLatin1()).constData(), target, sizeof target - 1);
        if (n > 0 && inodes.contains(QByteArray(target, int(n))))
            return true;
    }
    return false;
}

QByteArray patternBytes(qint64 offset, qint64 count) {
    QByteArray bytes(int(count), Qt::Uninitialized);
    char* out = bytes.data();
    // Not periodic over short spans, so that a shifted or repeated piece shows.
    for (qint64 at = offset; at < offset + count; ++at)
        *out++ = char((at * 31 + (at >> 8) * 7 + (at >> 16) * 13 + (at >> 24)) & 0xff);
    return bytes;
}

QByteArray randomBytes(qint64 size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(generator.generate() & 0xff);
    return bytes;
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(10);
    while (!done() && !deadline.hasExpired())
        platform::waitForMessages();
    return done();
}

} // namespace qbtest
