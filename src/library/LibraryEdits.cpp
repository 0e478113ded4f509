#include "library/LibraryEdits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <stdexcept>

#include "library/Categories.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/NameValidation.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/Shell.h"

namespace library {

namespace {

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

QString withoutSlash(QString path) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

bool entryExists(const QString& path) {
    const QFileInfo info(withoutSlash(path));
    return info.exists() || info.isSymLink();
}

// Renames done so far, undone in reverse order when a later step fails.
class Renames {
public:
    void rename(const QString& from, const QString& to) {
        if (!QFile::rename(withoutSlash(from), withoutSlash(to)))
            fail(QString("Unable to rename \"%1\" to \"%2\".").arg(from, to));
        done_.append({from, to});
    }
    void undo() {
        for (auto it = done_.crbegin(); it != done_.crend(); ++it)
            QFile::rename(withoutSlash(it->second), withoutSlash(it->first));
        done_.clear();
    }

private:
    QList<QPair<QString, QString>> done_;
};

// The base names of the library files of every section and folder, except section
// `skipSection` (whole, when `skipFolder` is 0) or its folder `skipFolder`.
QStringList libraryFilesExcept(int skipSection, int skipFolder) {
    QStringList files;
    const QStringList sections = sectionNames();
    for (int i = 1; i <= sections.size(); ++i) {
        const QString& section = sections[i - 1];
        if (i == skipSection && skipFolder == 0)
            continue;
        files << section;
        const QStringList folders = categoryNames(section);
        for (int j = 1; j <= folders.size(); ++j) {
            if (i != skipSection || j != skipFolder)
                files << section + '-' + folders[j - 1];
        }
    }
    return files;
}

std::optional<QString> clashWith(const QStringList& wanted, const QStringList& taken) {
    for (const QString& file : wanted) {
        for (const QString& other : taken) {
            if (sameLibraryName(file, other))
                return QString("That name would share the library file \"%1.ini\", please "
                               "choose another name.")
                    .arg(other);
        }
    }
    return std::nullopt;
}

// A stray file on disk under a name the library is about to use would be overwritten.
std::optional<QString> strayFile(const QString& path, const QString& ownPath) {
    if (entryExists(path) && !sameLibraryName(path, ownPath))
        return QString("The file \"%1\" is in the way, please choose another name.").arg(path);
    return std::nullopt;
}

QStringList without(QStringList list, int index) {
    list.removeAt(index);
    return list;
}

// Removes a section or folder directory with everything in it. A symbolic link is removed
// itself, so nothing outside the library is touched. Throws when anything stays.
void removeDirectory(const QString& directory) {
    const QString path = withoutSlash(directory);
    if (path.isEmpty() || QDir::isRelativePath(path) || QDir::cleanPath(path) == "/" ||
        QDir::cleanPath(path) == QDir::cleanPath(QDir::homePath()))
        fail(QString("The directory \"%1\" is not removed: it is no library directory.").arg(path));
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir())
        QFile::remove(path);
    else
        QDir(path).removeRecursively();
    if (entryExists(path))
        fail(QString("Unable to delete everything in \"%1\"; what could not be deleted is still "
                     "there.")
                 .arg(path));
}

void removeFile(const QString& path) {
    if (entryExists(path) && !QFile::remove(path))
        fail(QString("Unable to delete \"%1\".").arg(path));
}

QString parentOf(const QString& location) {
    const QFileInfo info(withoutSlash(location));
    return withTrailingSlash(info.path());
}

} // namespace

std::optional<QString> renameSection(int n, const QString& typed) {
    const QString old = sectionName(n);
    const QString name = libraryName(typed);
    if (name == old)
        return std::nullopt;
    const QString location = sectionLocation(n);
    const QString newLocation = sectionDirectory(parentOf(location), name);
    NameContext context;
    context.siblings = without(sectionNames(), n - 1);
    context.directoryExists = entryExists(newLocation) &&
                              !sameLibraryName(withoutSlash(newLocation), withoutSlash(location));
    if (auto refusal = nameRefusal(NameUse::RenameSection, typed, context))
        return refusal;
    const QStringList folders = categoryNames(old);
    QStringList wanted{name};
    for (const QString& folder : folders)
        wanted << name + '-' + folder;
    if (auto refusal = clashWith(wanted, libraryFilesExcept(n, 0)))
        return refusal;
    if (auto stray = strayFile(sectionFilePath(name), sectionFilePath(old)))
        return stray;
    for (const QString& folder : folders) {
        if (auto stray = strayFile(recordFilePath(name, folder), recordFilePath(old, folder)))
            return stray;
    }

    Renames done;
    try {
        if (entryExists(location))
            done.rename(location, newLocation);
        if (entryExists(sectionFilePath(old)))
            done.rename(sectionFilePath(old), sectionFilePath(name));
        for (const QString& folder : folders) {
            if (!folder.isEmpty() && entryExists(recordFilePath(old, folder)))
                done.rename(recordFilePath(old, folder), recordFilePath(name, folder));
        }
        writeSectionName(n, name);
        writeSectionLocation(n, newLocation);
    } catch (...) {
        done.undo();
        // The list keeps the old name with the old location when the second write failed.
        if (sectionName(n) != old) {
            try {
                writeSectionName(n, old);
            } catch (...) {
            }
        }
        throw;
    }
    return std::nullopt;
}

std::optional<QString> renameFolder(const QString& section, int k, const QString& typed) {
    const QString old = categoryName(section, k);
    const QString name = libraryName(typed);
    if (name == old)
        return std::nullopt;
    const int n = HeaderNumber(section);
    const QString location = sectionLocation(n);
    const QString oldDirectory = folderDirectory(location, old);
    const QString newDirectory = folderDirectory(location, name);
    NameContext context;
    context.siblings = without(categoryNames(section), k - 1);
    context.directoryExists =
        entryExists(newDirectory) &&
        !sameLibraryName(withoutSlash(newDirectory), withoutSlash(oldDirectory));
    if (auto refusal = nameRefusal(NameUse::RenameFolder, typed, context))
        return refusal;
    if (auto refusal = clashWith({section + '-' + name}, libraryFilesExcept(n, k)))
        return refusal;
    const QString oldRecords = recordFilePath(section, old);
    const QString newRecords = recordFilePath(section, name);
    if (auto stray = strayFile(newRecords, oldRecords))
        return stray;

    Renames done;
    try {
        if (!old.isEmpty() && entryExists(oldRecords))
            done.rename(oldRecords, newRecords);
        if (entryExists(oldDirectory))
            done.rename(oldDirectory, newDirectory);
        writeCategoryName(section, k, name);
    } catch (...) {
        done.undo();
        throw;
    }
    return std::nullopt;
}

void deleteSection(int n, const SectionDeletion& what) {
    const QString name = sectionName(n);
    Settings settings;
    if (settings.readInteger("Download", "DefaultSection", -1) == n - 1) {
        settings.writeInteger("Download", "DefaultSection", 0);
        settings.writeInteger("Download", "DefaultCat", 0);
    }
    if (what.files) {
        const QString location = sectionLocation(n);
        if (!location.isEmpty())
            removeDirectory(location);
    }
    // Only the folders this section lists: "A-*" would also take section "A-B"'s records.
    for (const QString& folder : categoryNames(name)) {
        if (!folder.isEmpty())
            removeFile(recordFilePath(name, folder));
    }
    if (what.folderInfo)
        removeFile(sectionFilePath(name));
    if (what.sectionInfo)
        removeSection(n);
}

void deleteFolder(int n, int k) {
    const QString section = sectionName(n);
    const QString folder = categoryName(section, k);
    Settings settings;
    if (settings.readInteger("Download", "DefaultCat", -1) == k - 1)
        settings.writeInteger("Download", "DefaultCat", 0);
    const QString location = sectionLocation(n);
    if (!folder.isEmpty() && !location.isEmpty()) {
        const QString directory = folderDirectory(location, folder);
        if (entryExists(directory))
            removeDirectory(directory);
        removeFile(recordFilePath(section, folder));
    }
    removeCategory(section, k);
}

QString freeFolderName(const QString& targetSection, const QString& folder) {
    const QString location = sectionLocation(HeaderNumber(targetSection));
    const QStringList names = categoryNames(targetSection);
    const QStringList taken = libraryFilesExcept(0, 0);
    const auto free = [&](const QString& candidate) {
        for (const QString& other : names) {
            if (sameLibraryName(other, candidate))
                return false;
        }
        return !entryExists(folderDirectory(location, candidate)) &&
               !entryExists(recordFilePath(targetSection, candidate)) &&
               !clashWith({targetSection + '-' + candidate}, taken);
    };
    if (free(folder))
        return folder;
    for (int i = 1;; ++i) {
        const QString candidate = folder + QString::number(i);
        if (free(candidate))
            return candidate;
    }
}

FolderMove moveFolder(int from, int k, int to) {
    const QString source = sectionName(from);
    const QString target = sectionName(to);
    const QString folder = categoryName(source, k);
    const QString sourceDirectory = folderDirectory(sectionLocation(from), folder);
    const QFileInfo sourceInfo(withoutSlash(sourceDirectory));
    if (folder.isEmpty() || !sourceInfo.isDir() || sourceInfo.isSymLink())
        fail(QString("There was an error while moving the folder \"%1\".  Its corresponding "
                     "folder could not be found.")
                 .arg(folder));
    FolderMove moved;
    moved.name = freeFolderName(target, folder);
    moved.number = NewButton(moved.name, target, categoryIcon(source, k), to - 1);
    const QString targetDirectory = folderDirectory(sectionLocation(to), moved.name);

    const bool empty =
        QDir(sourceDirectory)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .isEmpty();
    moved.complete = empty || platform::shellMove(sourceDirectory + "*.*", targetDirectory);
    const QString sourceRecords = recordFilePath(source, folder);
    const QString targetRecords = recordFilePath(target, moved.name);
    if (!moved.complete) {
        // Both folders now hold some of the files: each keeps the records.
        if (entryExists(sourceRecords)) {
            QFile::remove(targetRecords);
            QFile::copy(sourceRecords, targetRecords);
        }
        return moved;
    }
    QDir().rmdir(withoutSlash(sourceDirectory));
    removeCategory(source, k);
    if (entryExists(sourceRecords)) {
        removeFile(targetRecords);
        if (!QFile::rename(sourceRecords, targetRecords) &&
            !(QFile::copy(sourceRecords, targetRecords) && QFile::remove(sourceRecords)))
            fail(QString("Unable to move the records \"%1\" to \"%2\".")
                     .arg(sourceRecords, targetRecords));
    }
    return moved;
}

FolderSpace folderSpace(const QString& directory) {
    FolderSpace space;
    const QFileInfoList files =
        QDir(directory).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        ++space.files;
        space.bytes += file.size();
    }
    return space;
}

QString kilobytesText(qint64 bytes) {
    qint64 whole = bytes / 1024;
    const qint64 rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && whole % 2 == 1))
        ++whole;
    return QString::number(whole) + 'k';
}

} // namespace library
