#include "platform/RunningCopies.h"

#include "platform/RequestEndpoint.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

int openLockFile() {
    QString error;
    const QString folder = ensureEndpointFolder(&error);
    if (folder.isEmpty()) {
        std::fprintf(stderr, "Quillbay: cannot count the running copies: %s\n", qPrintable(error));
        return -1;
    }
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("copies.lock"));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        std::fprintf(stderr, "Quillbay: cannot count the running copies: %s: %s\n",
                     path.constData(), std::strerror(errno));
    return fd;
}

int lockRetrying(int fd, int operation) {
    int result;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}

} // namespace

RunningCopy::RunningCopy() : fd_(openLockFile()) {
    if (fd_ >= 0 && lockRetrying(fd_, LOCK_SH) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RunningCopy::~RunningCopy() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool RunningCopy::whenLast(const std::function<void()>& tidy) {
    if (fd_ < 0) {
        tidy();
        return true;
    }
    // A lock of its own description would stand in the way of the exclusive one: give it
    // up first. A copy that starts in between keeps the set-up, which it needs anyway.
    ::close(fd_);
    fd_ = openLockFile();
    if (fd_ < 0) {
        tidy();
        return true;
    }
    const bool last = lockRetrying(fd_, LOCK_EX | LOCK_NB) == 0;
    if (last)
        tidy();
    ::close(fd_);
    fd_ = -1;
    return last;
}

} // namespace platform
