#include "library/LibraryOperations.h"

#include <QDir>
#include <stdexcept>

#include "app/Settings.h"
#include "library/Categories.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"

namespace library {

namespace {

void makeDirectory(const QString& path) {
    if (!QDir().mkpath(path))
        throw std::runtime_error(QString("Unable to create directory %1").arg(path).toStdString());
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

} // namespace

int NewPage(const QString& name, const QString& location) {
    makeDirectory(location);
    return appendSection(name, location);
}

int NewButton(const QString& folder, const QString& section, int icon, int sectionPosition) {
    const QString location = sectionLocation(sectionPosition + 1);
    makeDirectory(folderDirectory(location, folder));
    return appendCategory(section, folder, icon);
}

void CreateDefaultHeader() {
    const QString root = withTrailingSlash(Settings().readString("Main", "DefaultRoot"));
    for (const DefaultSection& section : kDefaultLibrary) {
        const QString name = section.name;
        // The folders belong to the section just created, whatever the list held before.
        const int number = NewPage(name, sectionDirectory(root, name));
        for (const DefaultFolder& folder : section.folders) {
            if (folder.name)
                NewButton(folder.name, name, folder.icon, number - 1);
        }
    }
}

} // namespace library
