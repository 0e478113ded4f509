#pragma once

#include <QString>

// The store effects of adding sections and folders; the windows that show the library
// add their pages and buttons on top of these.
namespace library {

// Creates the directory `location` with its missing parents and appends the section
// [Header<n>] Name = name, Location = location. Returns n. Throws std::runtime_error when
// the directory cannot be created (nothing is appended then).
int NewPage(const QString& name, const QString& location);

// Creates the folder's directory under the Location of the section at 0-based position
// `sectionPosition` and appends [Cat<m>] Name = folder, Icon = icon to the section file of
// `section`. Returns m. Throws std::runtime_error when the directory cannot be created.
int NewButton(const QString& folder, const QString& section, int icon, int sectionPosition);

// Lays out the default library under [Main] DefaultRoot (default: the program folder):
// Programs, Research and Internet with their folders.
void CreateDefaultHeader();

} // namespace library
