#pragma once

#include <QString>

// The store effects of adding sections and folders; the windows that show the library
// add their pages and buttons on top of these. Failures throw std::runtime_error (a refused
// ini write throws platform::ProfileWriteError, one of them) with the text to show.
namespace library {

// Creates the directory `location` with its missing parents and appends the section
// [Header<n>] Name = name, Location = location. Returns n. Nothing is appended when the
// directory cannot be created or `location` is not an absolute path.
int NewPage(const QString& name, const QString& location);

// Creates the folder's directory under the Location of the section at 0-based position
// `sectionPosition` and appends [Cat<m>] Name = folder, Icon = icon to the section file of
// `section`. Returns m. Nothing is appended when that section has no absolute Location or
// the directory cannot be created.
int NewButton(const QString& folder, const QString& section, int icon, int sectionPosition);

// Lays out the default library under [Main] DefaultRoot (default: the user's download folder
// + "Quillbay/"):
// Programs, Research and Internet with their folders, each folder in the section just
// created. A default section whose name the list holds already is left as it is, so a
// second run adds nothing twice.
void CreateDefaultHeader();

// The directory new sections go under: [Management] DefaultRoot, ending in "/".
QString newSectionRoot();
// The directory the default library goes under: [Main] DefaultRoot, ending in "/".
QString defaultLibraryRoot();
// A configured root as a directory: empty means the default library folder (download folder +
// "Quillbay/"), a relative path lies in it; always ends in "/".
QString rootDirectory(const QString& configured);

// The directory a new section typed as `typed` gets under `root`: root + name + "/", just
// the root while the name is blank.
QString newSectionLocation(const QString& root, const QString& typed);

} // namespace library
