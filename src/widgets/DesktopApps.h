#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The applications this desktop associates with a file type, read from the XDG ".desktop"
// entries and "mimeapps.list" files: the stand-in for the shell's context menu of a file.
namespace desktop {

struct Application {
    QString id;   // "org.gnome.gedit.desktop"
    QString name; // Name= of the entry
    QString exec; // Exec= of the entry
};

// The applications for `mimeType`: the defaults and added associations of mimeapps.list
// first, then every other entry listing the type, without duplicates, hidden and removed
// entries left out. Directories follow XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DATA_DIRS.
QList<Application> applicationsFor(const QString& mimeType);

// The program and arguments an entry's Exec line gives for one file (field codes %f, %F,
// %u, %U become the path; other field codes are dropped; quoting as the desktop entry
// rules say).
QStringList commandFor(const Application& app, const QString& path);

} // namespace desktop
