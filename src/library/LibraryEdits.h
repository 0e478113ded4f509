#pragma once

#include <QString>
#include <optional>

// The store effects of renaming, deleting and moving sections and folders. Each returns the
// message to show when the name is refused (nothing changed then) and throws
// std::runtime_error with the text to show when the disk refuses a step; a failed step
// never leaves a file without its record nor a record without its folder: whatever was
// done before it is undone, or it is kept and the rest is not started.
namespace library {

// Section n (1-based) takes the name `typed`: its directory, its section file and the record
// file of every folder follow, then Location and Name are written. The new location is the
// old one's parent + name + "/". A name equal to the current one changes nothing.
std::optional<QString> renameSection(int n, const QString& typed);

// Folder k (1-based) of `section` takes the name `typed`: its directory and record file
// follow, then Name is written.
std::optional<QString> renameFolder(const QString& section, int k, const QString& typed);

// What the delete dialog's boxes ask for besides the record files, which always go.
struct SectionDeletion {
    bool sectionInfo = true; // the [Header<n>] entry
    bool folderInfo = true;  // the section file
    bool files = false;      // the section directory and everything in it
};

// Deletes section n as chosen. Resets the default place when it was this section. Only the
// record files of the folders the section lists are removed. The files go first: when any
// resists, nothing else is removed and the error names the directory.
void deleteSection(int n, const SectionDeletion& what);

// Deletes folder k of section n: its directory with everything in it, its record file and
// its entry. Resets the default folder position when it was k - 1. When the directory
// cannot be removed whole, the record file and the entry stay.
void deleteFolder(int n, int k);

// The name folder `folder` gets in `targetSection`: the name itself, else the name followed
// by the smallest number 1, 2, ... that no folder there has (letter case ignored), whose
// directory does not exist and whose record file is free.
QString freeFolderName(const QString& targetSection, const QString& folder);

// Where a moved folder went.
struct FolderMove {
    QString name;          // its name in the target section
    int number = 0;        // its 1-based number there
    bool complete = false; // false: some files stayed behind in the source folder
};

// Moves folder k of section `from` to the end of section `to` (1-based numbers): a new
// entry and directory there, the files moved (copied and then removed across file systems),
// the record file carried to the target's name. When every file moved, the source folder's
// directory and entry go. When some did not, they stay in the source folder with their
// records, the moved ones have a copy of the record file, and the result says so.
// A source folder without directory throws the message of the missing folder and changes
// nothing.
FolderMove moveFolder(int from, int k, int to);

// The folder's files (regular files directly in it) and their total size in bytes.
struct FolderSpace {
    int files = 0;
    qint64 bytes = 0;
};
FolderSpace folderSpace(const QString& directory);
// bytes / 1024 rounded to the nearest whole number, a half to the even one, and "k".
QString kilobytesText(qint64 bytes);

} // namespace library
