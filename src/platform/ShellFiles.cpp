// Silent delete and move of a path or a wildcard pattern, as the shell's file operation does
// them without progress or questions.

#include "platform/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace platform {

namespace {

const QDir::Filters kEveryEntry =
    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool hasWildcard(const QString& text) {
    return text.contains('*') || text.contains('?');
}

// "*" and "?" as wildcards, every other character literally, without regard to case. A
// trailing ".*" also matches a name without extension, so "*.*" matches every name.
QRegularExpression wildcardExpression(const QString& pattern) {
    QString body = pattern;
    QString tail;
    if (body.endsWith(".*")) {
        body.chop(2);
        tail = "(\\..*)?";
    }
    QString rx;
    for (const QChar c : body) {
        if (c == '*')
            rx += ".*";
        else if (c == '?')
            rx += '.';
        else
            rx += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx + tail),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

bool entryExists(const QFileInfo& info) {
    return info.exists() || info.isSymLink();
}

bool removeForGood(const QString& path) {
    const QFileInfo info(path);
    // A link is removed itself: following it would delete what it points at.
    if (info.isSymLink() || !info.isDir())
        return QFile::remove(path);
    return QDir(path).removeRecursively();
}

bool moveToTrash(const QString& path) {
    // Without the data folder, Qt 6.4 "trashes" into ./files of the current directory and
    // still reports success.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash))
        return false;
    if (QDir::isRelativePath(inTrash)) {
        // Not a trash ("./files/name"): put the entry back and clear away the stray
        // files/ and info/ folders beside it.
        const QFileInfo moved(QDir::current().absoluteFilePath(inTrash));
        ::rename(QFile::encodeName(moved.absoluteFilePath()).constData(),
                 QFile::encodeName(path).constData());
        const QString base = QDir::cleanPath(moved.absolutePath() + "/..") + '/';
        QFile::remove(base + "info/" + moved.fileName() + ".trashinfo");
        QDir().rmdir(base + "files");
        QDir().rmdir(base + "info");
        return false;
    }
    return true;
}

bool copyLink(const QString& from, const QString& to) {
    QByteArray target(4096, '\0');
    const ssize_t n =
        ::readlink(QFile::encodeName(from).constData(), target.data(), target.size() - 1);
    if (n < 0)
        return false;
    target.truncate(n);
    QFile::remove(to);
    return ::symlink(target.constData(), QFile::encodeName(to).constData()) == 0;
}

// A file copied under a temporary name beside the target and renamed over it, so the
// target is never half written.
bool copyFile(const QString& from, const QString& to) {
    const QFileInfo dst(to);
    const QString temp = dst.absolutePath() + "/." + dst.fileName() + ".qbmove";
    QFile::remove(temp);
    if (!QFile::copy(from, temp))
        return false;
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(to).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool moveEntry(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    const int error = errno;
    const QFileInfo src(from);
    const QFileInfo dst(to);
    if (src.isDir() && !src.isSymLink()) {
        // A folder merges into a folder of the same name; across file systems it is
        // rebuilt entry by entry.
        const bool mergeable = error == EXDEV || error == ENOTEMPTY || error == EEXIST;
        if (!mergeable || (entryExists(dst) && (!dst.isDir() || dst.isSymLink())))
            return false;
        if (!QDir().mkpath(to))
            return false;
        bool ok = true;
        for (const QString& name : QDir(from).entryList(kEveryEntry))
            ok = moveEntry(from + '/' + name, to + '/' + name) && ok;
        return ok && QDir().rmdir(from);
    }
    if (error != EXDEV || (dst.isDir() && !dst.isSymLink()))
        return false;
    const bool copied = src.isSymLink() ? copyLink(from, to) : copyFile(from, to);
    return copied && QFile::remove(from);
}

QString withoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

QStringList shellMatches(const QString& pathOrPattern) {
    const QString path = withoutTrailingSlash(pathOrPattern);
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!hasWildcard(name))
        return entryExists(info) ? QStringList{info.absoluteFilePath()} : QStringList();
    const QString folder = info.absolutePath();
    if (hasWildcard(folder))
        return {};
    const QRegularExpression match = wildcardExpression(name);
    QStringList found;
    for (const QString& entry : QDir(folder).entryList(kEveryEntry, QDir::Name)) {
        if (match.match(entry).hasMatch())
            found << folder + '/' + entry;
    }
    return found;
}

bool shellDelete(const QString& pathOrPattern, bool toTrash) {
    const QStringList matches = shellMatches(pathOrPattern);
    bool ok = !matches.isEmpty();
    for (const QString& entry : matches)
        ok = (toTrash ? moveToTrash(entry) : removeForGood(entry)) && ok;
    return ok;
}

bool deletePath(const QString& path, bool toTrash) {
    const QFileInfo info(withoutTrailingSlash(path));
    if (!entryExists(info))
        return false;
    const QString entry = info.absoluteFilePath();
    if (toTrash)
        moveToTrash(entry);
    else
        removeForGood(entry);
    const QFileInfo after(entry);
    return !entryExists(after);
}

bool shellMove(const QString& pathOrPattern, const QString& targetFolder) {
    const QStringList matches = shellMatches(pathOrPattern);
    const QString target = QFileInfo(withoutTrailingSlash(targetFolder)).absoluteFilePath();
    if (matches.isEmpty() || !QDir().mkpath(target))
        return false;
    const QString canonicalTarget = QFileInfo(target).canonicalFilePath();
    bool ok = true;
    for (const QString& entry : matches) {
        // "folder/*.*" into "folder/sub": the target itself is not moved into itself.
        if (QFileInfo(entry).canonicalFilePath() == canonicalTarget)
            continue;
        ok = moveEntry(entry, target + '/' + QFileInfo(entry).fileName()) && ok;
    }
    return ok;
}

} // namespace platform
