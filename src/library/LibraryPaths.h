#pragma once

#include <QString>

// Where the library's files and directories lie. The ini files sit in the user's data folder
// beside dlmain.ini; each section is a directory of its own (its location, ending in "/")
// and each folder a subdirectory of it.
namespace library {

// "Headers.ini" in the data folder: the list of sections.
QString sectionListPath();
// Data folder + section name + ".ini": the folders of one section.
QString sectionFilePath(const QString& section);
// Data folder + section name + "-" + folder name + ".ini": the records of one folder.
QString recordFilePath(const QString& section, const QString& folder);
// root + section name + "/": where a new section's directory goes.
QString sectionDirectory(const QString& root, const QString& section);
// Section location + folder name + "/".
QString folderDirectory(const QString& location, const QString& folder);

// dir with a "/" appended unless it already ends in one (an empty dir stays empty).
QString withTrailingSlash(const QString& dir);

// A section or folder name as one component of a path. Ordinary names are unchanged; a
// hand-edited list can hold names that would reach outside the library, so "/" and NUL
// become "_" and an empty name, "." and ".." get a "_" in front.
QString pathComponent(const QString& name);

} // namespace library
