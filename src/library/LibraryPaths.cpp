#include "library/LibraryPaths.h"

#include "platform/ProgramFolder.h"

namespace library {

QString pathComponent(const QString& name) {
    QString part = name;
    part.replace('/', '_').replace(QChar(0), '_');
    if (part.isEmpty() || part == "." || part == "..")
        part.prepend('_');
    return part;
}

QString withTrailingSlash(const QString& dir) {
    return (dir.isEmpty() || dir.endsWith('/')) ? dir : dir + '/';
}

QString sectionListPath() {
    return platform::dataFile("Headers.ini");
}

QString sectionFilePath(const QString& section) {
    return platform::dataFile(pathComponent(section) + ".ini");
}

QString recordFilePath(const QString& section, const QString& folder) {
    return platform::dataFile(pathComponent(section) + '-' + pathComponent(folder) + ".ini");
}

QString sectionDirectory(const QString& root, const QString& section) {
    return withTrailingSlash(root) + pathComponent(section) + '/';
}

QString folderDirectory(const QString& location, const QString& folder) {
    return withTrailingSlash(location) + pathComponent(folder) + '/';
}

} // namespace library
