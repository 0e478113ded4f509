#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The one set of rules for the names of sections and folders, shared by the new-section and
// new-folder dialogs and the in-place rename. No widgets and no store access in the rules
// themselves: the caller says what the name is checked against.
namespace library {

// Where a name is being given; the checks are the same everywhere, only the texts differ.
enum class NameUse { NewSection, RenameSection, NewFolder, RenameFolder };

// What a name is checked against.
struct NameContext {
    // The names it must not repeat: every section, or every folder of the chosen section;
    // for a rename, without the entry being renamed.
    QStringList siblings;
    // The directory the name leads to exists already (not checked for a new folder, which
    // adopts an existing directory).
    bool directoryExists = false;
};

// The longest name, in bytes of its file name, that keeps every record file of the
// library ("<section>-<folder>.ini") within the file system's 255 bytes.
inline constexpr int kMaxNameBytes = 120;

// The name as the library keeps it: ini values are read back without surrounding blanks,
// so the name is stored, compared and put on disk without them too.
QString libraryName(const QString& typed);

// Whether two names lead to one file: the library's ini files are found without regard to
// letter case, so "Games" and "games" would share a section or record file.
bool sameLibraryName(const QString& a, const QString& b);

// The message to show when `typed` cannot be used, nothing when it can. The first failing
// check speaks, in this order: forbidden characters; empty once blanks are removed; control
// characters; "." or ".."; enclosed in quotes; too long; a section named like one of the
// program's own files; the directory or another entry exists already.
std::optional<QString> nameRefusal(NameUse use, const QString& typed,
                                   const NameContext& context = {});

// The library file a new name would give ("<section>.ini" or "<section>-<folder>.ini")
// must not be one that already plays another role: two sections and folders joined by "-"
// can spell the same file ("A-B" + "C" and "A" + "B-C"), and a section named "A-B" would
// take the record file of folder "B" in section "A". The message for such a name, nothing
// when its file is free. `fileName` is the file's base name without ".ini"; the program's
// own files are checked with the name itself (nameRefusal).
std::optional<QString> sharedFileRefusal(const QString& fileName);

// The checks of the new-section dialog against the library as it is now: `location` is
// the directory the section would get.
std::optional<QString> newSectionRefusal(const QString& typed, const QString& location);

// The checks of the new-folder dialog for a folder of `section`.
std::optional<QString> newFolderRefusal(const QString& typed, const QString& section);

} // namespace library
