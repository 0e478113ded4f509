#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// ---- "open" and "properties" -------------------------------------------------------------

// The shell's "open" verb on a whole string: a URL ("http://...", "mailto:..."), an existing
// file or folder (its associated program), an executable file (started), or a command line
// whose first word names an executable (started with the rest as its arguments). With
// `parameters`, the target is the program and the parameters its argument string, as a
// virus scanner is started with a quoted file path. A failure is not reported: whatever
// cannot be opened is ignored, as the shell would do with a missing association.
//
// With QUILLBAY_SHELL_LOG=<file> nothing is launched: each request is appended to that file
// as one line "verb<TAB>target", or "verb<TAB>target<TAB>parameters" when parameters are
// given (tabs and line breaks inside the texts become blanks), for tests and scripted checks.
void shellOpen(const QString& target, const QString& parameters = QString());

// Starts the program a command line names (an executable path, or a program and its own
// arguments) with `arguments` added, each passed on as one argument exactly as given:
// quotes and blanks in a file name never split it. Logged like shellOpen, with each
// argument in double quotation marks. A failure is not reported.
void shellStart(const QString& commandLine, const QStringList& arguments);

// The stand-in for a file's properties sheet: opens the folder that holds the file in the
// file manager. Logged as verb "properties" with the file's path.
void shellProperties(const QString& path);

// The file named by QUILLBAY_SHELL_LOG, or empty when shell requests really run.
QString shellLogFile();

// ---- silent file operations ----------------------------------------------------------------

// Deletes one path, or every entry matching a wildcard pattern in its last component
// ("/dir/A-*.ini", "/dir/*.*"), silently: to the trash when `toTrash`, else for good
// (folders with their contents; a symbolic link is removed itself, never followed).
// Wildcards "*" and "?" match without regard to case and "*.*" matches every name, as the
// Windows shell does; other characters, "[" included, stand for themselves. Returns true
// when at least one entry matched and every matched entry is gone. An entry that cannot be
// trashed stays where it is (it is never deleted for good instead).
bool shellDelete(const QString& pathOrPattern, bool toTrash);

// Deletes exactly `path` (no wildcards: a name with "*" stays one name), as shellDelete does
// with one entry. True when it is gone afterwards.
bool deletePath(const QString& path, bool toTrash);

// The program a command line starts (its first word, by path or on PATH); empty when none.
QString programOf(const QString& commandLine);

// Moves one path, or every entry matching a pattern as above, into `targetFolder` (created
// when missing), silently. A file of the same name in the target is replaced; a folder of
// the same name receives the moved folder's contents. Works across file systems. Returns
// true when at least one entry matched and every matched entry was moved.
bool shellMove(const QString& pathOrPattern, const QString& targetFolder);

// The existing entries a path or pattern names, in name order (full paths).
QStringList shellMatches(const QString& pathOrPattern);

// ---- start with the desktop ------------------------------------------------------------------

// The XDG autostart entry that starts the program with the desktop session:
// $XDG_CONFIG_HOME/autostart/Quillbay.desktop (~/.config when the variable is unset).
QString autostartEntryPath();

// Writes the entry, starting `executable` (default: the running program). When QUILLBAY_HOME
// is set, the entry starts the program with the same data folder. False when it cannot
// be written.
bool createAutostartEntry(const QString& executable = QString());

// Removes the entry; a missing entry is no error. False only when it exists and stays.
bool removeAutostartEntry();

bool autostartEntryExists();

} // namespace platform
