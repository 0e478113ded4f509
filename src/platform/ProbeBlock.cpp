#include "platform/ProbeBlock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

bool sameObject(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

ProbeBlock::~ProbeBlock() {
    release();
}

QByteArray ProbeBlock::name() {
    const QByteArray chosen = qgetenv("QUILLBAY_PROBE_BLOCK");
    if (chosen.size() > 1 && chosen.startsWith('/') && chosen.count('/') == 1 &&
        chosen.size() < 250)
        return chosen;
    return "/ISBINARYMAP." + QByteArray::number(::getuid());
}

void ProbeBlock::release() {
    if (data_) {
        ::munmap(data_, kProbeBlockSize);
        data_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool ProbeBlock::map() {
    void* view = ::mmap(nullptr, kProbeBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (view == MAP_FAILED) {
        error_ = systemError(errno);
        return false;
    }
    data_ = static_cast<char*>(view);
    return true;
}

ProbeBlock::Result ProbeBlock::openExisting() {
    release();
    fd_ = ::shm_open(name().constData(), O_RDWR | O_CLOEXEC, 0);
    if (fd_ < 0) {
        error_ = systemError(errno);
        return Missing;
    }
    // A block of another user, or one too small for the layout (reading past its end would
    // fault), is not used.
    struct stat st;
    if (::fstat(fd_, &st) != 0 || st.st_uid != ::getuid() || st.st_size < kProbeBlockSize) {
        error_ = QStringLiteral("The probe block is not usable");
        release();
        return NotMapped;
    }
    if (!map()) {
        release();
        return NotMapped;
    }
    return Opened;
}

bool ProbeBlock::create() {
    release();
    // A block another helper unlinks while this one waits for the lock is stale: try again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        fd_ = ::shm_open(name().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = systemError(errno);
            return false;
        }
        struct stat held, named;
        if (::flock(fd_, LOCK_EX) != 0 || ::fstat(fd_, &held) != 0) {
            error_ = systemError(errno);
            release();
            return false;
        }
        const int check = ::shm_open(name().constData(), O_RDONLY | O_CLOEXEC, 0);
        const bool current = check >= 0 && ::fstat(check, &named) == 0 && sameObject(held, named);
        if (check >= 0)
            ::close(check);
        if (!current) {
            release();
            continue;
        }
        if (held.st_uid != ::getuid()) {
            error_ = QStringLiteral("The probe block belongs to another user");
            release();
            return false;
        }
        if (::ftruncate(fd_, kProbeBlockSize) != 0) {
            error_ = systemError(errno);
            release();
            return false;
        }
        if (!map()) {
            release();
            return false;
        }
        std::memset(data_, 0, kProbeBlockSize);
        return true;
    }
    error_ = QStringLiteral("The probe block keeps changing");
    return false;
}

void ProbeBlock::unlink() {
    ::shm_unlink(name().constData());
}

bool ProbeBlock::stillWhole() const {
    struct stat st;
    return data_ && ::fstat(fd_, &st) == 0 && st.st_size >= kProbeBlockSize;
}

QByteArray ProbeBlock::field(int index) const {
    if (index < 0 || index >= kFieldCount || !stillWhole())
        return {};
    const char* start = data_ + index * kFieldSize;
    const void* nul = std::memchr(start, 0, kFieldSize);
    const qsizetype length = nul ? static_cast<const char*>(nul) - start : kFieldSize;
    return QByteArray(start, length);
}

void ProbeBlock::setField(int index, QByteArrayView bytes) {
    if (index < 0 || index >= kFieldCount || !stillWhole())
        return;
    char* start = data_ + index * kFieldSize;
    const qsizetype length = qMin<qsizetype>(bytes.size(), kFieldSize);
    if (length > 0)
        std::memcpy(start, bytes.data(), size_t(length));
    std::memset(start + length, 0, size_t(kFieldSize - length));
}

char ProbeBlock::answer() const {
    return stillWhole() ? data_[kAnswerOffset] : 0;
}

bool ProbeBlock::setAnswer(char value) {
    if (!stillWhole())
        return false;
    data_[kAnswerOffset] = value;
    return true;
}

} // namespace platform
