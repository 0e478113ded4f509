#include "WSocket.h"

#include "EventCall.h"
#include "HostLookup.h"
#include "WSocketErrors.h"
#include "platform/MessageLoop.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace {

// Fills `out` from a numeric address and port; false when the text is not numeric.
bool makeAddress(const QString& host, quint16 port, sockaddr_storage& out, socklen_t& len) {
    const QByteArray text = host.toLatin1();
    out = {};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (inet_pton(AF_INET, text.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        len = sizeof(sockaddr_in);
        return true;
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (inet_pton(AF_INET6, text.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        len = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

// A port number or a service name from the services database; 0 when neither.
quint16 resolvePort(const QString& port) {
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (ok)
        return number >= 1 && number <= 65535 ? quint16(number) : 0;
    const servent* service = getservbyname(port.toLatin1().constData(), "tcp");
    return service ? ntohs(quint16(service->s_port)) : 0;
}

QString addressText(const sockaddr_storage& address) {
    char out[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr, out,
                  sizeof out);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr, out,
                  sizeof out);
    return QString::fromLatin1(out);
}

quint16 addressPort(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return 0;
}

} // namespace

TWSocket::TWSocket(QObject* parent) : QObject(parent) {}

TWSocket::~TWSocket() {
    CancelLookup();
    ReleaseSocket();
}

template <typename Handler, typename... Args>
bool TWSocket::Fire(const Handler& handler, Args... args) {
    return CallEvent(this, handler, args...);
}

void TWSocket::SetAddr(const QString& addr) {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Addr if not closed"));
        return;
    }
    addr_ = addr;
}

void TWSocket::SetPort(const QString& port) {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    port_ = port;
}

void TWSocket::SetProto(const QString& proto) {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    proto_ = proto;
}

bool TWSocket::Endpoint(bool peer, sockaddr_storage& address) const {
    socklen_t len = sizeof address;
    address = {};
    if (fd_ < 0)
        return false;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    return (peer ? getpeername(fd_, raw, &len) : getsockname(fd_, raw, &len)) == 0;
}

QString TWSocket::GetPeerAddr() const {
    sockaddr_storage address;
    return Endpoint(true, address) ? addressText(address) : QString();
}

quint16 TWSocket::GetPeerPort() const {
    sockaddr_storage address;
    return Endpoint(true, address) ? addressPort(address) : 0;
}

QString TWSocket::GetXAddr() const {
    sockaddr_storage address;
    return Endpoint(false, address) ? addressText(address) : QString();
}

quint16 TWSocket::GetXPort() const {
    sockaddr_storage address;
    return Endpoint(false, address) ? addressPort(address) : 0;
}

void TWSocket::ChangeState(TSocketState newState) {
    const TSocketState old = state_;
    state_ = newState;
    if (old != newState)
        Fire(OnChangeState, old, newState);
}

void TWSocket::RaiseException(const QString& message, int errorCode) {
    if (OnError) {
        Fire(OnError, message);
        return;
    }
    throw ESocketException(message, errorCode);
}

void TWSocket::SocketError(const QString& function, int code) {
    lastError_ = code;
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        QPointer<TWSocket> self(this);
        CloseWithEvent(code);
        if (!self)
            return;
    }
    RaiseException(
        QStringLiteral("Error %1 in function %2\r\n%3").arg(code).arg(function, LastErrorText()),
        code);
}

void TWSocket::DnsLookup(const QString& host) {
    if (host.isEmpty()) {
        RaiseException(QStringLiteral("DNS lookup: invalid host name."));
        Fire(OnDnsLookupDone, int(WSAEINVAL));
        return;
    }
    CancelLookup();
    QString numeric;
    if (HostLookup::isNumericAddress(host, &numeric)) {
        dnsResult_ = numeric;
        Fire(OnDnsLookupDone, 0);
        return;
    }
    try {
        // The destructor cancels the lookup, so `this` is alive whenever it completes.
        lookup_ = HostLookup::start(
            host, [this](int error, const QString& address) { LookupDone(error, address); });
    } catch (const std::system_error& e) {
        RaiseException(QStringLiteral("%1: can't start DNS lookup, error #%2")
                           .arg(host)
                           .arg(e.code().value()));
    }
}

void TWSocket::CancelLookup() {
    if (lookup_) {
        lookup_->cancel();
        lookup_.reset();
    }
}

void TWSocket::LookupDone(int error, const QString& address) {
    lookup_.reset();
    if (error == 0)
        dnsResult_ = address;
    else
        lastError_ = error;
    Fire(OnDnsLookupDone, error);
}

void TWSocket::Connect() {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Connect: Socket already in use"));
        return;
    }
    if (addr_.isEmpty()) {
        RaiseException(QStringLiteral("Connect: No IP Address Specified"));
        return;
    }
    if (port_.isEmpty()) {
        RaiseException(QStringLiteral("Connect: No Port Specified"));
        return;
    }
    if (proto_.isEmpty()) {
        RaiseException(QStringLiteral("Connect: No Protocol Specified"));
        return;
    }
    const quint16 port = resolvePort(port_);
    if (port == 0) {
        RaiseException(QStringLiteral("WSocketResolvePort: Cannot convert port '%1'").arg(port_));
        return;
    }
    if (proto_.compare(QLatin1String("tcp"), Qt::CaseInsensitive) != 0 &&
        proto_ != QLatin1String("6")) {
        RaiseException(
            QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1'").arg(proto_));
        return;
    }
    sockaddr_storage address;
    socklen_t addressLen = 0;
    // Only numeric addresses: a name here would need a blocking lookup.
    if (!makeAddress(addr_, port, address, addressLen)) {
        RaiseException(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1'").arg(addr_));
        return;
    }

    const int fd =
        ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        SocketError(QStringLiteral("socket"), WSocketErrorFromErrno(errno));
        return;
    }
    fd_ = fd;
    ++session_;
    peerClosed_ = false;
    readError_ = 0;
    tlsFailure_.clear();
    QPointer<TWSocket> self(this);
    const quint64 session = session_;
    ChangeState(wsOpened);
    if (!self || session_ != session || fd_ < 0)
        return;

    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), addressLen);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno != EINPROGRESS) {
        const int code = WSocketErrorFromErrno(errno);
        ReleaseSocket();
        ChangeState(wsClosed);
        if (!self)
            return;
        SocketError(QStringLiteral("Connect"), code);
        return;
    }
    // Completion, immediate or not, is reported through the event loop.
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { WriteReady(); });
    ChangeState(wsConnecting);
}

void TWSocket::Dup(int fd) {
    if (state_ != wsClosed || fd_ >= 0) {
        ::close(fd);
        RaiseException(QStringLiteral("Dup: Socket already in use"));
        return;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        const int code = WSocketErrorFromErrno(errno);
        ::close(fd);
        SocketError(QStringLiteral("Dup"), code);
        return;
    }
    fd_ = fd;
    ++session_;
    peerClosed_ = false;
    readError_ = 0;
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { ReadReady(); });
    writeNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { WriteReady(); });
    UpdateWriteNotifier();
    ChangeState(wsConnected);
}

void TWSocket::ConnectDone() {
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
        error = errno;
    QPointer<TWSocket> self(this);
    const int fd = fd_;
    const quint64 session = session_;
    if (error != 0) {
        // The session never opened: no OnSessionClosed, only the failed connect.
        const int code = WSocketErrorFromErrno(error);
        lastError_ = code;
        ReleaseSocket();
        ChangeState(wsClosed);
        if (self)
            Fire(OnSessionConnected, code);
        return;
    }
    readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(readNotifier_, &QSocketNotifier::activated, this, [this] { ReadReady(); });
    if (tlsEnabled_) {
        // The session opens for the owner only once the handshake has checked the server.
        QString failure;
        tls_ = TlsLayer::create(fd, tlsOptions_, failure);
        if (!tls_) {
            HandshakeFailed(
                QStringLiteral("TLS handshake with %1 failed: %2").arg(tlsOptions_.host, failure));
            return;
        }
        handshaking_ = true;
        ContinueHandshake();
        return;
    }
    ChangeState(wsConnected);
    if (!self || session_ != session)
        return;
    UpdateWriteNotifier(); // off now, unless the state handler queued data
    Fire(OnSessionConnected, 0);
}

void TWSocket::Send(const char* data, qint64 len) {
    if (fd_ < 0 || state_ != wsConnected) {
        SocketError(QStringLiteral("Send"), WSAENOTCONN);
        return;
    }
    if (len <= 0)
        return;
    qint64 written = 0;
    if (queue_.empty() && tls_) {
        int error = 0;
        written = writeWantsRead_ ? 0 : WriteTls(data, len, error);
        if (written < 0) {
            SocketError(QStringLiteral("Send"), error);
            return;
        }
    } else if (queue_.empty()) {
        while (written < len) {
            const ssize_t n = ::send(fd_, data + written, size_t(len - written), MSG_NOSIGNAL);
            if (n > 0) {
                written += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN) {
                SocketError(QStringLiteral("Send"), WSocketErrorFromErrno(errno));
                return;
            }
            break;
        }
    }
    if (written < len) {
        queue_.emplace_back(data + written, len - written);
        queued_ += len - written;
    }
    dataSentDue_ = true;
    UpdateWriteNotifier();
}

int TWSocket::Flush() {
    while (!queue_.empty()) {
        const QByteArray& head = queue_.front();
        if (tls_) {
            int error = 0;
            const qint64 n = writeWantsRead_ ? 0
                                             : WriteTls(head.constData() + headOffset_,
                                                        head.size() - headOffset_, error);
            if (n < 0) {
                if (error == WSAETLSFAILED)
                    lastError_ = error;
                return error;
            }
            if (n == 0)
                return 0;
            headOffset_ += n;
            queued_ -= n;
            if (headOffset_ == head.size()) {
                queue_.pop_front();
                headOffset_ = 0;
            }
            continue;
        }
        const ssize_t n = ::send(fd_, head.constData() + headOffset_,
                                 size_t(head.size() - headOffset_), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN ? 0 : WSocketErrorFromErrno(errno);
        }
        headOffset_ += n;
        queued_ -= n;
        if (headOffset_ == head.size()) {
            queue_.pop_front();
            headOffset_ = 0;
        }
    }
    return 0;
}

void TWSocket::UpdateWriteNotifier() {
    if (!writeNotifier_)
        return;
    if (handshaking_) {
        writeNotifier_->setEnabled(handshakeWantsWrite_);
        return;
    }
    writeNotifier_->setEnabled(state_ == wsConnecting || readWantsWrite_ ||
                               ((!queue_.empty() || dataSentDue_) && !writeWantsRead_));
}

void TWSocket::WriteReady() {
    if (fd_ < 0)
        return;
    if (handshaking_) {
        ContinueHandshake();
        return;
    }
    if (state_ == wsConnecting) {
        ConnectDone();
        return;
    }
    if (readWantsWrite_) {
        // The TLS session waited for this to read on.
        readWantsWrite_ = false;
        QPointer<TWSocket> self(this);
        const quint64 session = session_;
        ReadReady();
        if (!self || session_ != session || fd_ < 0)
            return;
    }
    const int error = Flush();
    if (error) {
        lastError_ = error;
        CloseWithEvent(error);
        return;
    }
    if (!queue_.empty())
        return;
    const bool due = dataSentDue_;
    dataSentDue_ = false;
    UpdateWriteNotifier();
    if (due)
        Fire(OnDataSent, 0);
}

void TWSocket::ReadReady() {
    if (fd_ < 0)
        return;
    if (handshaking_) {
        ContinueHandshake();
        return;
    }
    if (inReadHandler_ || readWantsWrite_)
        return;
    const quint64 session = session_;
    if (writeWantsRead_) {
        // The TLS session waited for this to write on.
        writeWantsRead_ = false;
        const int error = Flush();
        if (error) {
            lastError_ = error;
            CloseWithEvent(error);
            return;
        }
        UpdateWriteNotifier();
    }
    QPointer<QSocketNotifier> notifier = readNotifier_;
    // Nested event loops inside the handler must not re-enter it for the same data.
    notifier->setEnabled(false);
    peerClosed_ = false;
    readError_ = 0;
    receiveCalled_ = false;
    if (OnDataAvailable) {
        inReadHandler_ = true;
        if (!Fire(OnDataAvailable, 0))
            return;
        inReadHandler_ = false;
    } else {
        char discard[16384];
        while (Receive(discard, sizeof discard) > 0) {
        }
    }
    if (fd_ < 0 || session_ != session || !notifier)
        return; // closed or replaced by the handler
    if (tls_ && tlsEnded_) {
        // The session's end was read along with its last data.
        if (tlsEndError_)
            readError_ = tlsEndError_;
        else
            peerClosed_ = true;
    } else if (!receiveCalled_) {
        // A handler that read nothing: look for the end of the stream ourselves.
        char byte;
        const ssize_t n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0)
            peerClosed_ = true;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            readError_ = WSocketErrorFromErrno(errno);
    }
    if (readError_) {
        lastError_ = readError_;
        CloseWithEvent(readError_);
        return;
    }
    if (peerClosed_) {
        // Everything sent was taken before the peer closed: that is told first, as it
        // would have been had the write notifier's turn come before the read notifier's.
        if (dataSentDue_ && queue_.empty()) {
            dataSentDue_ = false;
            if (!Fire(OnDataSent, 0) || fd_ < 0 || session_ != session)
                return;
        }
        CloseWithEvent(0);
        return;
    }
    if (readWantsWrite_)
        return; // reading goes on once the socket is writable
    notifier->setEnabled(true);
    if (tls_ && receiveCalled_ && tls_->hasPending())
        ScheduleTlsRead();
}

qint64 TWSocket::Receive(char* buffer, qint64 len) {
    receiveCalled_ = true;
    if (fd_ < 0) {
        lastError_ = WSAENOTCONN;
        return -1;
    }
    if (len <= 0)
        return 0;
    if (tls_)
        return ReceiveTls(buffer, len);
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size_t(len), 0);
        if (n > 0) {
            readCount_ += n;
            return n;
        }
        if (n == 0) {
            peerClosed_ = true;
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            lastError_ = WSAEWOULDBLOCK;
            return -1;
        }
        readError_ = lastError_ = WSocketErrorFromErrno(errno);
        return -1;
    }
}

void TWSocket::Close() {
    if (fd_ >= 0) {
        CloseWithEvent(0);
        return;
    }
    ChangeState(wsClosed);
}

void TWSocket::CloseWithEvent(int error) {
    if (fd_ < 0)
        return;
    ReleaseSocket();
    QPointer<TWSocket> self(this);
    ChangeState(wsClosed);
    if (self)
        Fire(OnSessionClosed, error);
}

void TWSocket::ReleaseSocket() {
    // Notifiers go before the descriptor: a poll on a closed descriptor never sleeps.
    delete readNotifier_;
    readNotifier_ = nullptr;
    delete writeNotifier_;
    writeNotifier_ = nullptr;
    if (tls_) {
        if (!handshaking_)
            tls_->shutdown();
        tls_.reset();
    }
    handshaking_ = false;
    handshakeWantsWrite_ = false;
    readWantsWrite_ = false;
    writeWantsRead_ = false;
    tlsEnded_ = false;
    tlsEndError_ = 0;
    inReadHandler_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    queue_.clear();
    headOffset_ = 0;
    queued_ = 0;
    dataSentDue_ = false;
}

void TWSocket::ProcessMessages() {
    platform::processMessages();
}
