#pragma once

#include <QString>
#include <QStringList>

// What the manager does to the listed files of a folder and their records, without the
// window: the delete question, deleting, scanning, and adding dropped files.
namespace library {

// The question asked before deleting `names` (caption "Confirm File Delete").
QString deleteQuestion(const QStringList& names, bool toTrash);
inline constexpr char kDeleteCaption[] = "Confirm File Delete";

// Deletes each of `names` in `directory` (to the trash or for good) and erases its record
// in `recordFile` only when the file is really gone. Returns the names that stayed.
QStringList deleteFiles(const QString& directory, const QStringList& names,
                        const QString& recordFile, bool toTrash);

// Starts [VirusScanner] CommandLine on the one file, or on the whole directory when two or
// more are named, with [VirusScanner] Parameters after it; then stamps LastScanned in the
// file's record, or in every record of the record file. A scanner that does not exist is
// reported on stderr; the stamps are written all the same.
void scanFiles(const QString& directory, const QStringList& names, const QString& recordFile);

// ---- adding dropped files -----------------------------------------------------------------

enum class DropMode { Move, Copy };

// Where dropped files go. With `targetRecords` set, each added file gets a record there:
// copied from `sourceRecords` when the file came from `sourceDirectory`, else the defaults.
struct DropPlace {
    QString directory;
    QString targetRecords;
    QString sourceDirectory;
    QString sourceRecords;
};

struct DropResult {
    bool stopped = false;   // the drop ended before its last path
    bool cancelled = false; // ... by Cancel in the replace question
    QStringList failed;     // paths that could not be moved or copied
};

// The replace question for a file `name` that the target folder holds already.
QString replaceQuestion(const QString& name);
inline constexpr char kReplaceCaption[] = "Confirm File Replace";

// Adds each path to the place: a directory is refused with its message; a name the folder
// holds already is replaced only after Yes to the replace question, No leaves it, Cancel
// ends the drop; a file that already lies in the target directory ends it too. A replaced
// file is swapped in whole: the old one goes only once the new copy is complete. A move
// across file systems copies and then removes the source.
DropResult dropFiles(const QStringList& paths, const DropPlace& place, DropMode mode);

// Moves or copies one file to `target`, replacing it atomically. False when it failed; the
// source and any old target are then untouched.
bool transferFile(const QString& from, const QString& to, DropMode mode);

// Copies the record of `name` from `sourceRecords` (or the defaults when `fromSource` is
// false) into `targetRecords`; a move erases the source record.
void copyRecord(const QString& name, const QString& sourceRecords, const QString& targetRecords,
                bool fromSource, DropMode mode);

} // namespace library
