#include "FtpDataListener.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A numeric IPv4 or IPv6 address as a socket address; its length, 0 when the text is not one.
socklen_t socketAddress(const QString& text, sockaddr_storage& out) {
    out = {};
    const QByteArray latin = text.toLatin1();
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (inet_pton(AF_INET, latin.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        return sizeof(sockaddr_in);
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (inet_pton(AF_INET6, latin.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        return sizeof(sockaddr_in6);
    }
    return 0;
}

bool sameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
               reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
    return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                       &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
}

} // namespace

FtpDataListener::~FtpDataListener() {
    stop();
}

bool FtpDataListener::listen(const QString& localAddress, const QString& peerAddress,
                             Accepted accepted) {
    stop();
    accepted_ = std::move(accepted);
    sockaddr_storage address;
    socklen_t len = socketAddress(localAddress, address);
    if (len == 0 || socketAddress(peerAddress, peer_) == 0) {
        error_ = QStringLiteral("Cannot listen on '%1' for '%2': not numeric addresses")
                     .arg(localAddress, peerAddress);
        return false;
    }
    fd_ = ::socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), len) != 0 ||
        ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        error_ = QStringLiteral("Cannot listen on %1: %2")
                     .arg(localAddress, QString::fromLocal8Bit(strerror(errno)));
        stop();
        return false;
    }
    // The port lies at the same place in both address forms.
    port_ = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { acceptReady(); });
    return true;
}

bool FtpDataListener::acceptReady() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd =
            ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return false; // nothing more to accept now
        }
        if (!sameHost(peer, peer_)) {
            ::close(fd);
            continue;
        }
        // One data connection per transfer: stop listening before handing it over.
        Accepted accepted = std::move(accepted_);
        stop();
        if (accepted)
            accepted(fd);
        else
            ::close(fd);
        return true; // the callee may have destroyed this listener
    }
}

bool FtpDataListener::acceptWaiting() {
    return fd_ >= 0 && acceptReady();
}

void FtpDataListener::stop() {
    if (notifier_) {
        // The notifier may be the sender of the signal being handled right now.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
