#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Where the install rules (cmake/Install.cmake) put the shipped files, seen from the
// folder of the installed executable.
constexpr const char* kInstalledLibraries = "../lib/quillbay";
constexpr const char* kInstalledResources = "../share/quillbay";

QString folderPath(const QString& path) {
    QString dir = QDir::cleanPath(QDir(path).absolutePath());
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString homeFolder() {
    return QDir::homePath();
}

} // namespace

DataFolderChoice dataFolderFor(const QString& executableFolder) {
    const QString home = qEnvironmentVariable("QUILLBAY_HOME");
    if (!home.isEmpty())
        return {folderPath(home), DataFolderKind::Override};
    if (QFileInfo(folderPath(executableFolder) + kPortableMarker).exists())
        return {folderPath(executableFolder), DataFolderKind::Portable};
    // A relative XDG_DATA_HOME is invalid by the base directory rules and is ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = homeFolder() + "/.local/share";
    return {folderPath(base + "/quillbay"), DataFolderKind::User};
}

QString dataFolder() {
    return dataFolderFor(executableFolder()).folder;
}

QString dataFile(const QString& name) {
    return dataFolder() + name;
}

QString makeDataFolder(const QString& folder) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    const QStringList parts = path.split('/', Qt::SkipEmptyParts);
    QString made;
    for (const QString& part : parts) {
        made += '/' + part;
        const QByteArray native = QFile::encodeName(made);
        struct stat info {};
        if (::stat(native.constData(), &info) == 0) {
            if (!S_ISDIR(info.st_mode))
                return QString("%1 is a file, not a folder").arg(made);
            continue;
        }
        // Private from the start: the library's records say what the user downloaded.
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return QString("cannot create %1: %2")
                .arg(made, QString::fromLocal8Bit(strerror(errno)));
    }
    if (::access(QFile::encodeName(path).constData(), W_OK | X_OK) != 0)
        return QString("cannot write to %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
    return {};
}

QString downloadFolder() {
    // Reads XDG_DOWNLOAD_DIR from user-dirs.dirs as xdg-user-dir does, ~/Downloads without it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = homeFolder() + "/Downloads";
    return folderPath(folder);
}

QString defaultLibraryFolder() {
    return downloadFolder() + "Quillbay/";
}

QString executableFolder() {
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                     : QFileInfo("/proc/self/exe").canonicalPath();
    return folderPath(dir);
}

ProgramFiles programFilesFor(const QString& executableFolder) {
    const QString beside = folderPath(executableFolder);
    if (!QFileInfo(beside + "resources").isDir()) {
        const QString libraries = folderPath(beside + kInstalledLibraries);
        const QString resources = folderPath(beside + kInstalledResources);
        if (QFileInfo(resources).isDir())
            return {libraries, resources, true};
    }
    return {beside, beside + "resources/", false};
}

ProgramFiles programFiles() {
    ProgramFiles files = programFilesFor(executableFolder());
    const QString other = qEnvironmentVariable("QUILLBAY_PROGRAM_FILES");
    if (!other.isEmpty()) {
        files.libraries = folderPath(other);
        if (QFileInfo(files.libraries + "resources").isDir())
            files.resources = files.libraries + "resources/";
    }
    return files;
}

QString programFilesFolder() {
    return programFiles().libraries;
}

QString programFilesFile(const QString& name) {
    return programFilesFolder() + name;
}

QString programFolder() {
    return dataFolder();
}

QString programFile(const QString& name) {
    return dataFile(name);
}

} // namespace platform
