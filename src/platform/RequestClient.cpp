#include "platform/RequestClient.h"

#include "platform/RequestEndpoint.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

struct Socket {
    int fd = -1;
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

SendResult failure(SendResult::Status status, const QString& error) {
    SendResult result;
    result.status = status;
    result.error = error;
    return result;
}

// Waits until `fd` is ready for `events`; false on timeout or error.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd p = {fd, events, 0};
        const int n = ::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 1 << 30)));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

SendResult sendRequest(const QString& title, const Request& request, int timeoutMs) {
    QString error;
    const QString path = endpointPath(title, &error);
    if (path.isEmpty())
        return failure(SendResult::Failed, error);
    const QString folder = endpointFolderPath();
    if (!QFile::exists(path))
        return failure(SendResult::NoReceiver, QStringLiteral("%1: no receiver").arg(path));
    // A receiver in a folder that others could have written to might not be the program.
    if (!isPrivateFolder(folder, ::getuid(), &error))
        return failure(SendResult::Failed, error);

    Socket socket;
    socket.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket.fd < 0)
        return failure(SendResult::Failed, QString::fromLocal8Bit(std::strerror(errno)));
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    if (::connect(socket.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int code = errno;
        const auto status =
            code == ECONNREFUSED || code == ENOENT ? SendResult::NoReceiver : SendResult::Failed;
        return failure(status, QStringLiteral("%1: %2").arg(
                                   path, QString::fromLocal8Bit(std::strerror(code))));
    }
    if (!peerIsUser(socket.fd, ::getuid()))
        return failure(SendResult::Failed,
                       QStringLiteral("%1: the receiver runs as another user").arg(path));

    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray frame = encodeRequest(request);
    qsizetype sent = 0;
    while (sent < frame.size()) {
        if (!waitFor(socket.fd, POLLOUT, deadline))
            return failure(SendResult::Failed, QStringLiteral("The receiver takes no request"));
        const ssize_t n = ::send(socket.fd, frame.constData() + sent, size_t(frame.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return failure(SendResult::Failed, QString::fromLocal8Bit(std::strerror(errno)));
        if (n > 0)
            sent += n;
    }

    char reply[kReplySize];
    qsizetype got = 0;
    while (got < kReplySize) {
        if (!waitFor(socket.fd, POLLIN, deadline))
            return failure(SendResult::Failed, QStringLiteral("The receiver did not answer"));
        const ssize_t n = ::recv(socket.fd, reply + got, size_t(kReplySize - got), MSG_DONTWAIT);
        if (n == 0)
            return failure(SendResult::Failed, QStringLiteral("The receiver ended the connection"));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return failure(SendResult::Failed, QString::fromLocal8Bit(std::strerror(errno)));
        if (n > 0)
            got += n;
    }
    SendResult result;
    result.status = SendResult::Answered;
    result.result = decodeReply(QByteArrayView(reply, kReplySize)).value_or(0);
    return result;
}

} // namespace platform
