#include "setup/TTreeScanner.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/MessageLoop.h"

namespace {

// Both lists sort as the user's locale compares text without regard to case.
bool lessWithoutCase(const QString& a, const QString& b) {
    const int order = QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded());
    return order != 0 ? order < 0 : a < b;
}

bool sameWithoutCase(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Masks are kept once without regard to case, as the system compares file names.
bool maskLess(const QString& a, const QString& b) {
    return QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded()) < 0;
}

// Wildcards as the Windows shell reads them: "*" and "?" without regard to case, and
// "*.*" for every name, with or without a dot.
QRegularExpression maskExpression(const QString& mask) {
    if (mask == "*.*" || mask == "*")
        return QRegularExpression(".*", QRegularExpression::DotMatchesEverythingOption);
    QString pattern;
    for (const QChar c : mask) {
        if (c == '*')
            pattern += ".*";
        else if (c == '?')
            pattern += ".";
        else
            pattern += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

const QStringList kUnsearchableTypes = {"proc",
                                        "sysfs",
                                        "devtmpfs",
                                        "devpts",
                                        "cgroup",
                                        "cgroup2",
                                        "securityfs",
                                        "debugfs",
                                        "tracefs",
                                        "pstore",
                                        "bpf",
                                        "mqueue",
                                        "hugetlbfs",
                                        "configfs",
                                        "fusectl",
                                        "binfmt_misc",
                                        "autofs",
                                        "efivarfs",
                                        "nfs",
                                        "nfs4",
                                        "cifs",
                                        "smb3",
                                        "smbfs",
                                        "sshfs",
                                        "fuse.sshfs",
                                        "9p",
                                        "afs",
                                        "ceph",
                                        "fuse.gvfsd-fuse",
                                        "fuse.rclone",
                                        "davfs",
                                        "fuse.davfs2",
                                        "ncpfs",
                                        "coda"};

} // namespace

void TTreeScanner::insertMask(const QString& mask) {
    // A sorted list that ignores duplicates: each mask is tried once, in sorted order.
    const auto at = std::lower_bound(masks_.begin(), masks_.end(), mask, maskLess);
    if (at != masks_.end() && sameWithoutCase(*at, mask))
        return;
    masks_.insert(at, mask);
}

void TTreeScanner::setFileMask(const QString& mask) {
    if (searching_)
        return;
    masks_.clear();
    insertMask(mask);
}

void TTreeScanner::setFileMaskCommaText(const QString& text) {
    if (searching_)
        return;
    masks_.clear();
    // Items separated by commas; a quoted item may hold commas and blanks ("" is a quote).
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && text[i] == ' ')
            ++i;
        QString item;
        if (i < n && text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            while (i < n && text[i] != ',')
                ++i;
        } else {
            while (i < n && text[i] != ',')
                item += text[i++];
            item = item.trimmed();
        }
        if (!item.isEmpty())
            insertMask(item);
        if (i < n && text[i] == ',')
            ++i;
    }
}

QString TTreeScanner::FileMaskCommaText() const {
    QStringList items;
    for (QString mask : masks_) {
        if (mask.contains(' ') || mask.contains(',') || mask.contains('"'))
            mask = '"' + mask.replace("\"", "\"\"") + '"';
        items << mask;
    }
    return items.join(',');
}

QString TTreeScanner::normalisedDirectory(const QString& directory) {
    QString path = directory;
    while (path.size() > 1 && path.endsWith("//"))
        path.chop(1);
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

QSet<QString> TTreeScanner::unsearchableMounts(const QString& mountTable) {
    QSet<QString> mounts;
    QFile file(mountTable);
    if (!file.open(QIODevice::ReadOnly))
        return mounts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        // Mount points escape blanks and the like as octal "\040".
        QString point = QString::fromUtf8(fields[1]);
        point.replace("\\040", " ").replace("\\011", "\t").replace("\\134", "\\");
        const QString type = QString::fromUtf8(fields[2]);
        if (kUnsearchableTypes.contains(type) || point == "/proc" || point == "/sys" ||
            point == "/dev" || point == "/run")
            mounts.insert(normalisedDirectory(point));
    }
    return mounts;
}

void TTreeScanner::fire(const Event& event) {
    if (event)
        event(this);
}

void TTreeScanner::Execute() {
    searching_ = true;
    fileFound_.clear();
    fileSize_ = 0;
    if (initialDirectory_.isEmpty())
        initialDirectory_ = QDir::currentPath();
    initialDirectory_ = normalisedDirectory(initialDirectory_);
    entered_.clear();
    skipped_ = unsearchableMounts();
    // The pseudo file systems stay out even where the mount table does not list them.
    for (const char* pseudo : {"/proc/", "/sys/", "/dev/", "/run/"})
        skipped_.insert(pseudo);
    skipped_.remove(initialDirectory_);
    // The masks cannot change during the walk: each is made ready once.
    expressions_.clear();
    for (const QString& mask : masks_)
        expressions_ << maskExpression(mask);
    firstEntry(initialDirectory_);
    scan(initialDirectory_);
    searching_ = false;
    fire(OnSearchDone);
}

void TTreeScanner::scan(const QString& directory) {
    platform::processMessages();
    fileSize_ = 0;
    fileFound_ = directory;
    fire(OnDirectoryFound);

    // One read of the directory: each entry comes with its type, so only links, entries of
    // unknown type and the files a mask matches cost a call of their own. Symbolic links
    // count by what they point at; system entries and, unless allowed, hidden ones are
    // not returned as subdirectories.
    struct Found {
        QString path;
        qint64 size;
    };
    QStringList subdirectories;
    QList<Found> files;
    const QByteArray encoded = QFile::encodeName(directory);
    if (DIR* handle = ::opendir(encoded.constData())) {
        while (const dirent* entry = ::readdir(handle)) {
            const char* raw = entry->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
                continue;
            const bool hidden = raw[0] == '.';
            const QByteArray path = encoded + raw;
            struct stat info {};
            bool haveInfo = false;
            bool isDirectory = entry->d_type == DT_DIR;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                if (::stat(path.constData(), &info) != 0)
                    continue; // a dangling link
                haveInfo = true;
                isDirectory = S_ISDIR(info.st_mode);
            }
            const QString name = QFile::decodeName(raw);
            if (isDirectory) {
                if (!hidden || FindHiddenFolders)
                    subdirectories << directory + name + '/';
                continue;
            }
            // Regular files and system entries alike are reported when a mask matches;
            // a file matched by two masks is still one entry.
            if (hidden && !FindHiddenFiles)
                continue;
            const bool matched =
                std::any_of(expressions_.begin(), expressions_.end(),
                            [&](const QRegularExpression& e) { return e.match(name).hasMatch(); });
            if (!matched || (!haveInfo && ::stat(path.constData(), &info) != 0))
                continue;
            files.append({directory + name, qint64(info.st_size)});
        }
        ::closedir(handle);
    }
    std::sort(files.begin(), files.end(),
              [](const Found& a, const Found& b) { return lessWithoutCase(a.path, b.path); });
    std::sort(subdirectories.begin(), subdirectories.end(), lessWithoutCase);

    for (const Found& file : files) {
        fileFound_ = file.path;
        fileSize_ = file.size;
        fire(OnFileFound);
    }
    fileSize_ = 0;

    for (const QString& subdirectory : subdirectories) {
        if (!Recursive) {
            fileFound_ = subdirectory;
            fire(OnDirectoryFound);
            continue;
        }
        if (skipped_.contains(subdirectory) || !firstEntry(subdirectory))
            continue;
        scan(subdirectory);
    }
    fire(OnDirectoryDone);
}

bool TTreeScanner::firstEntry(const QString& directory) {
    struct stat info {};
    if (::stat(QFile::encodeName(directory).constData(), &info) != 0)
        return false;
    const std::pair<quint64, quint64> id{quint64(info.st_dev), quint64(info.st_ino)};
    if (entered_.contains(id))
        return false;
    entered_.insert(id);
    return true;
}
