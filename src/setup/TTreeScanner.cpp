#include "setup/TTreeScanner.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
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
    scan(initialDirectory_);
    searching_ = false;
    fire(OnSearchDone);
}

void TTreeScanner::scan(const QString& directory) {
    platform::processMessages();
    fileSize_ = 0;
    fileFound_ = directory;
    fire(OnDirectoryFound);

    struct stat self {};
    if (::stat(QFile::encodeName(directory).constData(), &self) == 0)
        entered_.insert({quint64(self.st_dev), quint64(self.st_ino)});

    // Subdirectories: symbolic links count by what they point at; system entries and,
    // unless allowed, hidden ones are not returned.
    QStringList subdirectories;
    struct Found {
        QString path;
        qint64 size;
    };
    QList<Found> files;
    const QStringList names = QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    QList<QRegularExpression> expressions;
    for (const QString& mask : masks_)
        expressions << maskExpression(mask);

    QList<std::pair<QString, qint64>> candidates;
    for (const QString& name : names) {
        const QString path = directory + name;
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        const bool hidden = name.startsWith('.');
        if (S_ISDIR(info.st_mode)) {
            if (hidden && !FindHiddenFolders)
                continue;
            subdirectories << path + '/';
        } else if (S_ISREG(info.st_mode)) {
            if (hidden && !FindHiddenFiles)
                continue;
            candidates.append({name, qint64(info.st_size)});
        } else {
            // A system entry: reported by a matching mask like any file (its size is its own).
            if (hidden && !FindHiddenFiles)
                continue;
            candidates.append({name, qint64(info.st_size)});
        }
    }
    // Masks in list order; a file matched by two masks is kept once.
    for (const QRegularExpression& expression : expressions) {
        for (const auto& [name, size] : candidates) {
            if (!expression.match(name).hasMatch())
                continue;
            const QString path = directory + name;
            const bool known = std::any_of(files.begin(), files.end(),
                                           [&](const Found& f) { return f.path == path; });
            if (!known)
                files.append({path, size});
        }
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
        if (skipped_.contains(subdirectory))
            continue;
        struct stat info {};
        if (::stat(QFile::encodeName(subdirectory).constData(), &info) != 0)
            continue;
        if (entered_.contains({quint64(info.st_dev), quint64(info.st_ino)}))
            continue;
        scan(subdirectory);
    }
    fire(OnDirectoryDone);
}
