#pragma once

#include <QMap>
#include <QString>

#include "TestEnvironment.h"
#include "library/FileRecord.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Settings.h"
#include "platform/Clock.h"
#include "platform/Dates.h"

namespace qbtest {

// A library in the test's own program folder: sections under lib/, files and records made
// on demand.
struct TempLibrary {
    TempHome home;

    QString sectionDir(const QString& section) const {
        return home.folder() + "lib/" + section + "/";
    }
    int section(const QString& name) { return library::NewPage(name, sectionDir(name)); }
    void folder(const QString& section, int position, const QString& name, int icon = 0) {
        library::NewButton(name, section, icon, position);
    }
    QString path(const QString& section, const QString& folder, const QString& file) const {
        return library::folderDirectory(sectionDir(section), folder) + file;
    }
    void file(const QString& section, const QString& folder, const QString& name,
              const QByteArray& bytes = "data") {
        writeFile(path(section, folder, name), bytes);
    }
    library::FileRecord record(const QString& section, const QString& folder, const QString& name) {
        return library::FileRecord::of(section, folder, name);
    }
    void writeRecord(const QString& section, const QString& folder, const QString& name,
                     const QMap<QString, QString>& keys) {
        auto r = record(section, folder, name);
        for (auto it = keys.begin(); it != keys.end(); ++it)
            r.writeString(it.key().toUtf8().constData(), it.value());
    }
};

inline QString daysAgo(int days) {
    return platform::formatShortDate(platform::today().addDays(-days));
}

} // namespace qbtest
