#include "platform/ProfileStore.h"

#include <QDir>
#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

ProfileWriteError::ProfileWriteError(const QString& p)
    : std::runtime_error(QString("Unable to write to %1").arg(p).toStdString()), path(p) {}

QString ProfileWriteError::message() const {
    return QString::fromUtf8(what());
}

namespace profile {

namespace {

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

struct CacheEntry {
    QString path;
    Identity identity;
    std::shared_ptr<Document> document;
};

// Parsed files kept between accesses; small, since every access re-validates anyway.
constexpr size_t kCacheFiles = 16;
constexpr qint64 kCacheBytes = qint64(64) * 1024 * 1024;

struct Store {
    std::recursive_mutex mutex; // recursive: a reader may open another file
    std::vector<CacheEntry> entries; // most recently used first
    bool enabled = true;
    bool sync = true;
    // Case-resolved names found by scanning a folder, re-checked with stat() before use.
    std::vector<std::pair<QString, QString>> resolutions;
};

Store& store() {
    static Store s;
    return s;
}

struct Resolved {
    QString path;
    bool exists = false;
    struct stat st {};
};

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

Resolved resolveLocked(const QString& given) {
    Store& s = store();
    const QString path = given.startsWith('/') ? given : QDir::current().absoluteFilePath(given);
    Resolved r;
    r.path = path;
    if (::stat(native(path).constData(), &r.st) == 0) {
        r.exists = true;
        return r;
    }
    for (auto it = s.resolutions.begin(); it != s.resolutions.end(); ++it) {
        if (it->first != path)
            continue;
        const QString resolved = it->second;
        s.resolutions.erase(it);
        if (::stat(native(resolved).constData(), &r.st) == 0) {
            s.resolutions.insert(s.resolutions.begin(), {path, resolved});
            r.path = resolved;
            r.exists = true;
            return r;
        }
        break;
    }
    // Missing names are rescanned every time: a file made in the meantime is found.
    const QString folder = folderOf(path);
    const QByteArray wanted = foldName(native(path.mid(folder.size())));
    if (wanted.isEmpty())
        return r;
    DIR* dir = ::opendir(folder.isEmpty() ? "." : native(folder).constData());
    if (!dir)
        return r;
    QByteArray best;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        // Several spellings of one name: take the same one every time.
        if (sameName(name, wanted) && (best.isEmpty() || name < best))
            best = name.toByteArray();
    }
    ::closedir(dir);
    if (best.isEmpty())
        return r;
    const QString resolved = folder + QFile::decodeName(best);
    if (::stat(native(resolved).constData(), &r.st) != 0)
        return r;
    s.resolutions.insert(s.resolutions.begin(), {path, resolved});
    if (s.resolutions.size() > 64)
        s.resolutions.pop_back();
    r.path = resolved;
    r.exists = true;
    return r;
}

void remember(const QString& path, const Identity& identity, std::shared_ptr<Document> doc) {
    Store& s = store();
    std::erase_if(s.entries, [&](const CacheEntry& e) { return e.path == path; });
    if (!s.enabled)
        return;
    s.entries.insert(s.entries.begin(), CacheEntry{path, identity, std::move(doc)});
    qint64 bytes = 0;
    size_t keep = 0;
    while (keep < s.entries.size() && keep < kCacheFiles) {
        bytes += qint64(s.entries[keep].identity.size);
        if (keep > 0 && bytes > kCacheBytes)
            break;
        ++keep;
    }
    s.entries.resize(keep);
}

void forget(const QString& path) {
    std::erase_if(store().entries, [&](const CacheEntry& e) { return e.path == path; });
}

// Reads the whole file; retried when it changes while being read. False when it cannot
// be read or is too large to parse.
bool readWhole(const QString& path, QByteArray& bytes, Identity& identity) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat before {};
        if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) ||
            before.st_size > kMaxFileSize) {
            ::close(fd);
            return false;
        }
        bytes.resize(qsizetype(before.st_size));
        qsizetype got = 0;
        bool failed = false;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() >= kMaxFileSize) {
                    failed = true;
                    break;
                }
                bytes.resize(bytes.size() + 4096); // grew since fstat
            }
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0)
                break;
            got += n;
        }
        struct stat after {};
        const bool statted = ::fstat(fd, &after) == 0;
        ::close(fd);
        if (failed || !statted)
            return false;
        bytes.truncate(got);
        identity = identityOf(after);
        if (identityOf(before) == identity && qint64(got) == qint64(after.st_size))
            return true;
    }
    return false;
}

// The current parsed content, from the cache when the file is unchanged; null when the
// file exists but cannot be read.
std::shared_ptr<Document> loadLocked(const Resolved& r) {
    if (!r.exists || !S_ISREG(r.st.st_mode))
        return r.exists ? nullptr : std::make_shared<Document>();
    Store& s = store();
    const Identity identity = identityOf(r.st);
    for (size_t i = 0; i < s.entries.size(); ++i) {
        if (s.entries[i].path == r.path && s.entries[i].identity == identity) {
            if (i > 0)
                std::rotate(s.entries.begin(), s.entries.begin() + qsizetype(i),
                            s.entries.begin() + qsizetype(i) + 1);
            return s.entries.front().document;
        }
    }
    QByteArray bytes;
    Identity read;
    if (!readWhole(r.path, bytes, read))
        return nullptr;
    auto doc = std::make_shared<Document>(bytes);
    remember(r.path, read, doc);
    return doc;
}

mode_t creationMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

bool writableFolder(const QString& folder) {
    const QByteArray path = native(folder.isEmpty() ? QString(".") : folder);
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0222) &&
           ::access(path.constData(), W_OK | X_OK) == 0;
}

// Replaces `path` by `bytes` through a temporary file in the same folder.
Identity replaceFile(const QString& path, const QByteArray& bytes, const struct stat* old) {
    const QByteArray target = native(path);
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temp = target.left(slash + 1) + '.' + target.mid(slash + 1) + ".tmp-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        throw ProfileWriteError(path);
    auto fail = [&] {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        throw ProfileWriteError(path);
    };
    ::fchmod(fd, old ? (old->st_mode & 07777) : creationMode());
    if (old && ::geteuid() == 0 && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
        // The file keeps its owner where possible; a root-owned copy still works.
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail();
        done += n;
    }
    // The data must be on disk before the rename makes it the file: otherwise a power
    // loss could leave an empty file under the old name.
    if (store().sync && ::fdatasync(fd) != 0)
        fail();
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail();
    const int closing = fd;
    fd = -1;
    if (::close(closing) != 0 || ::rename(temp.constData(), target.constData()) != 0)
        fail();
    return identityOf(st);
}

} // namespace

QString resolvePath(const QString& path) {
    std::lock_guard lock(store().mutex);
    return resolveLocked(path).path;
}

void read(const QString& path, const std::function<void(const Document&)>& reader) {
    std::lock_guard lock(store().mutex);
    const std::shared_ptr<Document> doc = loadLocked(resolveLocked(path));
    if (doc) {
        reader(*doc);
    } else {
        const Document empty;
        reader(empty);
    }
}

void modify(const QString& path, const std::function<bool(Document&)>& edit) {
    std::lock_guard lock(store().mutex);
    const Resolved r = resolveLocked(path);
    std::shared_ptr<Document> doc = loadLocked(r);
    if (!doc)
        throw ProfileWriteError(r.path); // never replace a file whose content we could not read
    try {
        // Only a change has to be written, so only a change can be refused.
        if (!edit(*doc))
            return;
        QString target = r.path;
        if (r.exists) {
            // Write through a symbolic link to the file it names, keeping the link.
            struct stat link {};
            if (::lstat(native(target).constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
                if (char* real = ::realpath(native(target).constData(), nullptr)) {
                    target = QFile::decodeName(real);
                    ::free(real);
                }
            }
            if (!(r.st.st_mode & 0222) || ::access(native(target).constData(), W_OK) != 0)
                throw ProfileWriteError(r.path);
        }
        if (!writableFolder(folderOf(target)))
            throw ProfileWriteError(r.path);
        const Identity identity = replaceFile(target, doc->serialize(), r.exists ? &r.st : nullptr);
        remember(r.path, identity, std::move(doc));
    } catch (const ProfileWriteError&) {
        forget(r.path); // the cached parse holds an edit that never reached the file
        throw ProfileWriteError(r.path);
    } catch (...) {
        forget(r.path);
        throw;
    }
}

void setCacheEnabled(bool enabled) {
    std::lock_guard lock(store().mutex);
    store().enabled = enabled;
    if (!enabled)
        store().entries.clear();
}

void setSyncEnabled(bool enabled) {
    std::lock_guard lock(store().mutex);
    store().sync = enabled;
}

} // namespace profile
} // namespace platform
