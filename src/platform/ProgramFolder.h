#pragma once

#include <QString>

namespace platform {

// The program keeps two folders apart: its own files (read-only, beside the executable in a
// build tree, under the install prefix when installed) and the user's data (every ini file).
// Every folder below is returned with a trailing "/".

// ---- the user's data ------------------------------------------------------------------------

// Where the user's data folder comes from.
enum class DataFolderKind {
    Override, // QUILLBAY_HOME (tests, a second profile)
    Portable, // a file named "portable" beside the executable
    User,     // $XDG_DATA_HOME/quillbay, ~/.local/share/quillbay without it
};

struct DataFolderChoice {
    QString folder;
    DataFolderKind kind = DataFolderKind::User;
};

// The name of the marker file that keeps the data beside the executable.
inline constexpr const char* kPortableMarker = "portable";

// The data folder for an executable lying in `executableFolder`, by the rules above.
DataFolderChoice dataFolderFor(const QString& executableFolder);

// The running program's data folder, and a file in it.
QString dataFolder();
QString dataFile(const QString& name);

// Creates `folder` (and any missing parent) with mode 0700 when it does not exist, and checks
// that it can be written. Returns why it cannot be used, or an empty text.
QString makeDataFolder(const QString& folder = dataFolder());

// The user's download folder: XDG_DOWNLOAD_DIR of user-dirs.dirs, else ~/Downloads.
QString downloadFolder();

// The root under which the default library's sections are made: downloadFolder() + "Quillbay/".
QString defaultLibraryFolder();

// ---- the program's own files ------------------------------------------------------------------

// The folder that holds the running executable.
QString executableFolder();

struct ProgramFiles {
    QString libraries; // the helper library QBYAuto.dll and other loadable files
    QString resources; // help pages, icons, desktop entry
    bool installed = false;
};

// Where the files shipped with an executable in `executableFolder` lie: beside it when its
// "resources" folder is there (a build tree or a copied folder), else in the install prefix's
// lib/quillbay and share/quillbay when those exist.
ProgramFiles programFilesFor(const QString& executableFolder);

// The running program's shipped files. QUILLBAY_PROGRAM_FILES names another folder for the
// libraries (its "resources" subfolder, when present, for the resources).
ProgramFiles programFiles();

// programFiles().libraries, and a file in it.
QString programFilesFolder();
QString programFilesFile(const QString& name);

// The earlier names, kept for the many callers that mean the user's data: dataFolder() and
// dataFile(name).
QString programFolder();
QString programFile(const QString& name);

} // namespace platform
