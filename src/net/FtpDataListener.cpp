#include "FtpDataListener.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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

} // namespace

FtpDataListener::~FtpDataListener() {
    stop();
}

bool FtpDataListener::listen(const QString& localAddress, const QString& peerAddress,
                             Accepted accepted) {
    stop();
    peerAddress_ = peerAddress;
    accepted_ = std::move(accepted);
    sockaddr_storage address{};
    socklen_t len = 0;
    const QByteArray text = localAddress.toLatin1();
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, text.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        len = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, text.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        len = sizeof(sockaddr_in6);
    } else {
        error_ = QStringLiteral("Cannot listen on '%1': not a numeric address").arg(localAddress);
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
    port_ = ntohs(address.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { acceptReady(); });
    return true;
}

void FtpDataListener::acceptReady() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd =
            ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // nothing more to accept now
        }
        if (addressText(peer) != peerAddress_) {
            ::close(fd);
            ++refused_;
            continue;
        }
        // One data connection per transfer: stop listening before handing it over.
        Accepted accepted = std::move(accepted_);
        stop();
        if (accepted)
            accepted(fd);
        else
            ::close(fd);
        return; // the callee may have destroyed this listener
    }
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
