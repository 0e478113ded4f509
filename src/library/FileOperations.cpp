#include "library/FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <unistd.h>

#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"

namespace library {

namespace K = RecordKey;

namespace {

QString pathIn(const QString& directory, const QString& name) {
    return directory.endsWith('/') ? directory + name : directory + '/' + name;
}

// A record names one file of the folder, never a path.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains('/') && name != "." && name != "..";
}

bool sameDirectory(const QString& a, const QString& b) {
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

bool rename(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// The keys a drop carries over, in the order they are written.
const char* const kCopiedKeys[] = {
    K::Desc,       K::Source,     K::Notes,       K::Delete,         K::AlterDeleteOn, K::OpenWhen,
    K::DeleteDays, K::LastOpened, K::LastScanned, K::DateDownloaded, K::OpenPrompt};

} // namespace

QString deleteQuestion(const QStringList& names, bool toTrash) {
    if (names.size() == 1) {
        return toTrash ? "Are you sure you want to send " + names.first() + " to the recycle bin?"
                       : "Are you sure you want to permanently delete " + names.first() + " ?";
    }
    const QString n = QString::number(names.size());
    return toTrash ? "Are you sure you want to send these " + n + " files to the recycle bin?"
                   : "Are you sure you want to permanently delete these " + n + " files ?";
}

QStringList deleteFiles(const QString& directory, const QStringList& names,
                        const QString& recordFile, bool toTrash) {
    QStringList stayed;
    for (const QString& name : names) {
        if (!isPlainName(name)) {
            stayed << name;
            continue;
        }
        // The exact path, however long; a name with "*" is one name, not a pattern.
        if (platform::deletePath(pathIn(directory, name), toTrash))
            FileRecord(recordFile, name).erase();
        else
            stayed << name;
    }
    return stayed;
}

void scanFiles(const QString& directory, const QStringList& names, const QString& recordFile) {
    if (names.isEmpty())
        return;
    Settings settings;
    const QString command = settings.readString("VirusScanner", "CommandLine");
    const QString parameters = settings.readString("VirusScanner", "Parameters");
    const bool whole = names.size() >= 2;
    QStringList arguments{whole ? directory : pathIn(directory, names.first())};
    arguments += QProcess::splitCommand(parameters);
    if (!command.trimmed().isEmpty() && platform::programOf(command).isEmpty())
        std::fprintf(stderr,
                     "Quillbay: the virus scanner \"%s\" cannot be started: no such "
                     "program\n",
                     qPrintable(command));
    platform::shellStart(command, arguments);
    const QStringList stamped = whole ? FileRecord::fileNames(recordFile) : names.mid(0, 1);
    for (const QString& name : stamped)
        FileRecord(recordFile, name).stampToday(K::LastScanned);
}

QString replaceQuestion(const QString& name) {
    return "This folder already contains a file called \"" + name +
           "\".  Do you want to replace the existing file?";
}

bool transferFile(const QString& from, const QString& to, DropMode mode) {
    if (mode == DropMode::Move && rename(from, to))
        return true;
    // A copy beside the target, renamed over it once complete.
    const QFileInfo target(to);
    const QString temp = target.absolutePath() + "/." + target.fileName() + ".qbdrop";
    QFile::remove(temp);
    if (!QFile::copy(from, temp)) {
        QFile::remove(temp);
        return false;
    }
    if (!rename(temp, to)) {
        QFile::remove(temp);
        return false;
    }
    if (mode == DropMode::Move && !QFile::remove(from)) {
        // The source stays: the copy is taken back so the file is in one place only.
        QFile::remove(to);
        return false;
    }
    return true;
}

void copyRecord(const QString& name, const QString& sourceRecords, const QString& targetRecords,
                bool fromSource, DropMode mode) {
    const FileRecord source(sourceRecords, name);
    FileRecord target(targetRecords, name);
    for (const char* key : kCopiedKeys) {
        const QString value = fromSource ? source.readString(key) : FileRecord::defaultValue(key);
        target.writeString(key, value);
    }
    if (fromSource && mode == DropMode::Move)
        FileRecord(sourceRecords, name).erase();
}

DropResult dropFiles(const QStringList& paths, const DropPlace& place, DropMode mode) {
    DropResult result;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            platform::showMessage("Cannot add the folder \"" + path + '"');
            continue;
        }
        const QString name = info.fileName();
        const QString target = pathIn(place.directory, name);
        const QFileInfo targetInfo(target);
        if (targetInfo.exists() || targetInfo.isSymLink()) {
            if (sameDirectory(info.absolutePath(), targetInfo.absolutePath())) {
                result.stopped = true;
                return result;
            }
            const int answer = platform::messageBox(
                replaceQuestion(name), kReplaceCaption,
                platform::MB_YESNOCANCEL | platform::MB_ICONWARNING | platform::MB_DEFBUTTON2);
            if (answer == platform::IDCANCEL) {
                result.stopped = result.cancelled = true;
                return result;
            }
            if (answer != platform::IDYES)
                continue;
        }
        if (!transferFile(path, target, mode)) {
            result.failed << path;
            continue;
        }
        platform::processMessages();
        if (!place.targetRecords.isEmpty()) {
            const bool fromSource = !place.sourceDirectory.isEmpty() &&
                                    sameDirectory(info.absolutePath(), place.sourceDirectory);
            copyRecord(name, place.sourceRecords, place.targetRecords, fromSource, mode);
        }
        platform::processMessages();
    }
    return result;
}

} // namespace library
