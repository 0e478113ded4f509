#include "FtpLocalFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FtpLocalFile::~FtpLocalFile() {
    close();
}

bool FtpLocalFile::fail(const QString& what, int err) {
    error_ = QStringLiteral("%1 %2: %3").arg(what, path_, QString::fromLocal8Bit(strerror(err)));
    return false;
}

bool FtpLocalFile::open(const QString& path, TFtpShareMode mode) {
    close();
    path_ = path;
    error_.clear();
    created_ = begun_ = false;
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created_ = fd >= 0;
    }
    if (fd < 0)
        return fail(QStringLiteral("Cannot open local file"), errno);
    if ((mode == ftpShareExclusive || mode == ftpShareDenyWrite) &&
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (created_)
            ::unlink(name.constData());
        return fail(QStringLiteral("Local file in use"), err);
    }
    fd_ = fd;
    return true;
}

qint64 FtpLocalFile::size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return 0;
    return S_ISREG(info.st_mode) ? qint64(info.st_size) : 0;
}

bool FtpLocalFile::begin(qint64 position) {
    begun_ = true;
    if (size() > position && ::ftruncate(fd_, position) != 0)
        return fail(QStringLiteral("Cannot write local file"), errno);
    if (::lseek(fd_, position, SEEK_SET) < 0)
        return fail(QStringLiteral("Cannot write local file"), errno);
    return true;
}

bool FtpLocalFile::write(const char* data, qint64 len) {
    while (len > 0) {
        const ssize_t n = ::write(fd_, data, size_t(len));
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return fail(QStringLiteral("Cannot write local file"), n < 0 ? errno : EIO);
        }
        data += n;
        len -= n;
    }
    return true;
}

void FtpLocalFile::discardIfUnused() {
    if (fd_ >= 0 && created_ && !begun_) {
        ::unlink(QFile::encodeName(path_).constData());
        created_ = false;
    }
}

void FtpLocalFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
