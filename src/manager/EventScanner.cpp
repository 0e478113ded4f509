#include "manager/EventScanner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cstdio>
#include <exception>

#include "library/Categories.h"
#include "library/FileRecord.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/Clock.h"
#include "platform/Dates.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "platform/Profile.h"
#include "platform/Shell.h"

namespace manager {

namespace K = library::RecordKey;

namespace {

struct Folder {
    QString section;
    QString name;
    QString directory; // absolute, ending in "/"
    QString recordFile;
};

// Every folder of the library in walk order; folders whose section has no absolute
// location are left out, since their files could lie anywhere.
QList<Folder> libraryFolders() {
    QList<Folder> folders;
    const int sections = library::sectionCount();
    for (int n = 1; n <= sections; ++n) {
        const QString section = library::sectionName(n);
        const QString location = library::sectionLocation(n);
        const int cats = library::categoryCount(section);
        for (int m = 1; m <= cats; ++m) {
            const QString name = library::categoryName(section, m);
            if (location.isEmpty() || QDir::isRelativePath(location))
                continue;
            folders.append({section, name, library::folderDirectory(location, name),
                            library::recordFilePath(section, name)});
        }
    }
    return folders;
}

bool fileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Deletes exactly this one file: a name holding "*" or "?" must not act as a pattern, and a
// directory that happens to carry a record's name is never removed.
void deleteOneFile(const QString& path, bool toTrash) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return;
    const QString name = info.fileName();
    bool ok;
    if (name.contains('*') || name.contains('?'))
        ok = toTrash ? QFile::moveToTrash(path) : QFile::remove(path);
    else
        ok = platform::shellDelete(path, toTrash);
    if (!ok)
        std::fprintf(stderr, "Quillbay: could not delete %s\n", qPrintable(path));
}

class Walk {
public:
    explicit Walk(const ScanHooks& hooks) : hooks_(hooks) {}

    void run() {
        platform::processMessages();
        const QList<Folder> folders = libraryFolders();
        if (folders.isEmpty())
            return;
        // A record file can serve two folders of an old library ("A-B" + "C" and "A" +
        // "B-C"): a record then stands for a file in either directory.
        for (const Folder& f : folders)
            sharers_[f.recordFile].append(f.directory);
        for (const Folder& folder : folders) {
            platform::processMessages();
            const QStringList names = library::FileRecord::fileNames(folder.recordFile);
            for (const QString& name : names) {
                if (!isPlainFileName(name))
                    continue;
                platform::processMessages();
                checkRecord(folder, name);
            }
        }
        platform::processMessages();
    }

private:
    void checkRecord(const Folder& folder, const QString& name) {
        platform::IniFile file(folder.recordFile);
        const QString path = folder.directory + name;
        try {
            checkNotOpened(folder, file, name, path);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "Quillbay: not-opened check of %s skipped: %s\n", qPrintable(path),
                         error.what());
        }
        platform::processMessages();
        if (!checkVanished(folder, file, name, path))
            return;
        platform::processMessages();
        checkDeletion(folder, file, name, path);
    }

    // Check A.
    void checkNotOpened(const Folder& folder, platform::IniFile& file, const QString& name,
                        const QString& path) {
        const QString downloaded = file.readString(name, K::DateDownloaded, QString());
        if (downloaded.isEmpty())
            return;
        const int promptDays = Settings().readInteger("Management", "PromptDays");
        const QDate due = platform::parseShortDate(downloaded).addDays(promptDays);
        if (platform::today() < due)
            return;
        if (!file.readString(name, K::LastOpened, QString()).isEmpty())
            return;
        if (!file.readBool(name, K::OpenPrompt, true))
            return;
        const QString text = QString("Note from Quillbay: the file: \"%1\", in folder \"%2\" of "
                                     "section \"%3\" has not been opened yet.  Would you like "
                                     "to open it now?")
                                 .arg(name, folder.name, folder.section);
        if (platform::messageBox(text, QString(), platform::MB_YESNO | platform::MB_ICONQUESTION) ==
            platform::IDYES) {
            platform::shellOpen(path);
            file.writeString(name, K::LastOpened, platform::todayStamp());
        } else {
            file.writeBool(name, K::OpenPrompt, false);
        }
    }

    bool presentInAnySharer(const Folder& folder, const QString& name) const {
        for (const QString& dir : sharers_.value(folder.recordFile))
            if (fileExists(dir + name))
                return true;
        return false;
    }

    // Check B; false when the record was erased.
    bool checkVanished(const Folder& folder, platform::IniFile& file, const QString& name,
                       const QString& path) {
        const bool hasDate = file.valueExists(name, K::DateDownloaded);
        QString downloaded = file.readString(name, K::DateDownloaded, QString());
        if (hasDate && downloaded.isEmpty()) {
            file.deleteKey(name, K::DateDownloaded);
            downloaded.clear();
        }
        if (fileExists(path) || presentInAnySharer(folder, name))
            return true;
        if (!downloaded.isEmpty()) {
            const QDateTime moment(platform::parseShortDate(downloaded), QTime(0, 0));
            if (moment.secsTo(platform::now()) < 24 * 60 * 60)
                return true;
        }
        file.eraseSection(name);
        return false;
    }

    // Check C.
    void checkDeletion(const Folder& folder, platform::IniFile& file, const QString& name,
                       const QString& path) {
        const QString alter = file.readString(name, K::AlterDeleteOn, QString());
        const QString downloaded = file.readString(name, K::DateDownloaded, QString());
        const bool fromDownload = alter.isEmpty() && !downloaded.isEmpty();
        QDate start = platform::today();
        if (fromDownload) {
            start = platform::parseShortDate(downloaded);
        } else if (file.valueExists(name, K::AlterDeleteOn) && alter.isEmpty()) {
            file.deleteKey(name, K::AlterDeleteOn);
        } else if (!alter.isEmpty()) {
            start = platform::parseShortDate(alter);
        }
        const qint64 elapsed = start.daysTo(platform::today());
        const int deleteDays = file.readInteger(name, K::DeleteDays, 30);
        if (deleteDays - elapsed > 0)
            return;
        if (!file.readBool(name, K::Delete, false))
            return;
        // A record shared with another folder whose directory holds the file is that
        // folder's to act on.
        if (!fileExists(path) && presentInAnySharer(folder, name))
            return;
        Settings settings;
        if (settings.readBool("Management", "ConfirmDelete")) {
            const QString text =
                fromDownload ? QString("Quillbay has scheduled the following file for deletion "
                                       "today: \"%1\".  Do you wish to proceed with its removal?")
                                   .arg(name)
                             : QString("The following file is due for deletion: %1.  Do you "
                                       "wish to proceed with its removal?")
                                   .arg(name);
            if (platform::messageBox(text, QString(),
                                     platform::MB_YESNO | platform::MB_ICONQUESTION) ==
                platform::IDYES) {
                removeFile(path);
                file.eraseSection(name);
            } else {
                file.writeBool(name, K::Delete, false);
                if (hooks_.deletionRefused)
                    hooks_.deletionRefused(folder.directory, name);
            }
            return;
        }
        removeFile(path);
    }

    void removeFile(const QString& path) {
        const bool toTrash = Settings().readInteger("Management", "DeleteType") == 0;
        deleteOneFile(path, toTrash);
        if (hooks_.refresh)
            hooks_.refresh();
    }

    const ScanHooks& hooks_;
    QHash<QString, QStringList> sharers_;
};

} // namespace

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains(QChar(0));
}

void scanforevents(const ScanHooks& hooks) {
    try {
        Walk(hooks).run();
    } catch (const std::exception& error) {
        // Any error but the not-opened check's ends the walk; what was written stays.
        std::fprintf(stderr, "Quillbay: event scan stopped: %s\n", error.what());
    }
}

} // namespace manager
