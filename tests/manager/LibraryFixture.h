#pragma once

#include <gtest/gtest.h>

#include <QMap>
#include <QString>

#include <memory>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/FileRecord.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Settings.h"
#include "manager/TfrmManager.h"
#include "platform/Clock.h"
#include "platform/Dates.h"
#include "platform/MessageLoop.h"

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

inline void settle() {
    for (int i = 0; i < 5; ++i)
        platform::processMessages();
}

// A later start (no first run, a speed set); makeLibrary(): Programs (Games with alpha, beta
// and gamma.zip; Tools empty) and Notes (no folders, one loose file).
class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings().writeBool("Main", "FirstRun", false);
        Settings().writeInteger("Download", "Speed", 28800);
    }
    void makeLibrary() {
        lib.section("Programs");
        lib.folder("Programs", 0, "Games", 46);
        lib.folder("Programs", 0, "Tools", 1);
        lib.section("Notes");
        for (const QString name : {"alpha.zip", "beta.zip", "gamma.zip"})
            lib.file("Programs", "Games", name, name.toUtf8());
        writeFile(lib.sectionDir("Notes") + "loose.txt", "x");
    }
    std::unique_ptr<TfrmManager> create(bool shown = false) {
        auto m = std::make_unique<TfrmManager>();
        m->FormCreate();
        settle();
        if (shown) {
            m->show();
            settle();
        }
        return m;
    }

    TempLibrary lib;
    DialogAnswerer boxes;
};

} // namespace qbtest
