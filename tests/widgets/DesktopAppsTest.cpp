#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "widgets/DesktopApps.h"

namespace {

TEST(DesktopApps, AssociationsInTheOrderTheDesktopGivesThem) {
    qbtest::TempHome home;
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    struct Restore {
        ~Restore() { qunsetenv("XDG_DATA_DIRS"); }
    } restore;
    qputenv("XDG_DATA_DIRS", (home.root() + "/system").toUtf8());
    const auto entry = [](const QString& name, const QString& exec, const QString& types,
                          const QString& extra = QString()) {
        return QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nMimeType=%3\n%4")
            .arg(name, exec, types, extra)
            .toUtf8();
    };
    qbtest::writeFile(data + "/applications/viewer.desktop",
                      entry("Viewer", "viewer %U", "application/zip;"));
    qbtest::writeFile(home.root() + "/system/applications/archiver.desktop",
                      entry("Archiver", "\"/opt/my app/arc\" --open %f", "application/zip;"));
    qbtest::writeFile(home.root() + "/system/applications/hidden.desktop",
                      entry("Hidden", "h %f", "application/zip;", "NoDisplay=true\n"));
    qbtest::writeFile(home.root() + "/system/applications/gone.desktop",
                      entry("Gone", "g %f", "application/zip;"));
    qbtest::writeFile(home.root() + "/system/applications/text.desktop",
                      entry("Text", "t %f", "text/plain;"));
    // The user's default comes first; a removed association is left out.
    qbtest::writeFile(config + "/mimeapps.list",
                      "[Default Applications]\napplication/zip=archiver.desktop\n"
                      "[Removed Associations]\napplication/zip=gone.desktop;\n");
    QStringList names;
    for (const auto& app : desktop::applicationsFor("application/zip"))
        names << app.name;
    EXPECT_EQ(names, QStringList({"Archiver", "Viewer"}));
}

TEST(DesktopApps, ExecLinesBecomeOneCommandForTheFile) {
    struct Case {
        const char* exec;
        QStringList command;
    } cases[] = {
        {"viewer %U", {"viewer", "/d/a b.zip"}},
        {"\"/opt/my app/arc\" --open %f", {"/opt/my app/arc", "--open", "/d/a b.zip"}},
        {"tool --name %c --icon %i %F", {"tool", "--name", "--icon", "/d/a b.zip"}},
        {"plain", {"plain", "/d/a b.zip"}},
        {"p \"say \\\"hi\\\"\" 100%% %f", {"p", "say \"hi\"", "100%", "/d/a b.zip"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exec);
        EXPECT_EQ(desktop::commandFor({"x.desktop", "X", c.exec}, "/d/a b.zip"), c.command);
    }
}

} // namespace
