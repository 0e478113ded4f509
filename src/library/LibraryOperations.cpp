#include "library/LibraryOperations.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

#include "library/Categories.h"
#include "library/LibraryPaths.h"
#include "library/NameValidation.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/ProgramFolder.h"

namespace library {

namespace {

[[noreturn]] void fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}

// A relative directory would land wherever the program happens to run from.
void makeDirectory(const QString& path) {
    if (path.isEmpty() || QDir::isRelativePath(path))
        fail(QString("Unable to create directory \"%1\": it is not a full path.").arg(path));
    if (!QDir().mkpath(path))
        fail(QString("Unable to create directory \"%1\".").arg(path));
}

struct DefaultFolder {
    const char* name;
    int icon;
};

struct DefaultSection {
    const char* name;
    DefaultFolder folders[4];
};

const DefaultSection kDefaultLibrary[] = {
    {"Programs", {{"Productivity", 39}, {"Games", 46}, {"Utilities", 1}, {"Applications", 21}}},
    {"Research", {{"School", 15}, {"Office", 30}, {"Home", 32}, {nullptr, 0}}},
    {"Internet", {{"FTP Files", 3}, {"E-Mail Files", 44}, {"Web Files", 43}, {nullptr, 0}}},
};

bool listsSection(const QStringList& names, const QString& name) {
    for (const QString& listed : names) {
        if (sameLibraryName(listed, name))
            return true;
    }
    return false;
}

} // namespace

QString rootDirectory(const QString& configured) {
    const QString root = configured.trimmed();
    if (root.isEmpty())
        return platform::programFolder();
    if (QDir::isRelativePath(root))
        return withTrailingSlash(platform::programFolder() + root);
    return withTrailingSlash(root);
}

QString newSectionRoot() {
    return rootDirectory(Settings().readString("Management", "DefaultRoot"));
}

QString defaultLibraryRoot() {
    return rootDirectory(Settings().readString("Main", "DefaultRoot"));
}

QString newSectionLocation(const QString& root, const QString& typed) {
    const QString name = libraryName(typed);
    return name.isEmpty() ? withTrailingSlash(root) : sectionDirectory(root, name);
}

int NewPage(const QString& name, const QString& location) {
    makeDirectory(location);
    return appendSection(name, location);
}

int NewButton(const QString& folder, const QString& section, int icon, int sectionPosition) {
    const QString location = sectionLocation(sectionPosition + 1);
    if (location.isEmpty() || QDir::isRelativePath(location))
        fail(QString("The section \"%1\" has no location on disk, so no folder can be "
                     "created in it.")
                 .arg(section));
    makeDirectory(folderDirectory(location, folder));
    return appendCategory(section, folder, icon);
}

void CreateDefaultHeader() {
    const QString root = defaultLibraryRoot();
    const QStringList existing = sectionNames();
    for (const DefaultSection& section : kDefaultLibrary) {
        const QString name = section.name;
        if (listsSection(existing, name))
            continue;
        // The folders belong to the section just created, whatever the list held before.
        const int number = NewPage(name, sectionDirectory(root, name));
        for (const DefaultFolder& folder : section.folders) {
            if (folder.name)
                NewButton(folder.name, name, folder.icon, number - 1);
        }
    }
}

} // namespace library
