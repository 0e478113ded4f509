#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

#include "InstalledProgram.h"
#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "platform/Registry.h"
#include "setup/BrowserRegistration.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

using qbinstall::InstalledCopy;
using qbtest::pumpUntil;

// A private X server with a system tray (trayer) on a display number the server picks.
class TrayDisplay {
public:
    TrayDisplay() {
        if (!display_.running())
            return;
        name_ = display_.name().toLatin1();
        connection_ = xcb_connect(name_.constData(), nullptr);
        if (xcb_connection_has_error(connection_))
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromLatin1(name_));
        tray_.setProcessEnvironment(env);
        tray_.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                               "--height", "24"});
        trayReady_ =
            tray_.waitForStarted(10000) &&
            pumpUntil([this] { return selectionOwner("_NET_SYSTEM_TRAY_S0") != 0; }, 20000);
    }
    ~TrayDisplay() {
        if (connection_)
            xcb_disconnect(connection_);
        tray_.terminate();
        tray_.waitForFinished(5000);
    }
    bool ready() const { return trayReady_; }
    QByteArray name() const { return name_; }

    // Windows of the program's class that another client took into a window of its own and
    // shows: the tray icon, docked in the tray.
    int dockedWindowsOf(const QByteArray& instance) {
        int found = 0;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        for (xcb_window_t top : children(root)) {
            QList<xcb_window_t> pending = children(top);
            while (!pending.isEmpty()) {
                const xcb_window_t w = pending.takeFirst();
                pending += children(w);
                if (wmClassInstance(w) == instance && viewable(w))
                    ++found;
            }
        }
        return found;
    }

private:
    xcb_window_t selectionOwner(const char* name) {
        auto* atom = xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        if (!atom)
            return 0;
        auto* owner = xcb_get_selection_owner_reply(
            connection_, xcb_get_selection_owner(connection_, atom->atom), nullptr);
        const xcb_window_t window = owner ? owner->owner : 0;
        std::free(owner);
        std::free(atom);
        return window;
    }
    QList<xcb_window_t> children(xcb_window_t w) {
        QList<xcb_window_t> list;
        auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, w), nullptr);
        if (!tree)
            return list;
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
            list << kids[i];
        std::free(tree);
        return list;
    }
    QByteArray wmClassInstance(xcb_window_t w) {
        auto* reply = xcb_get_property_reply(
            connection_,
            xcb_get_property(connection_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
            nullptr);
        QByteArray instance;
        if (reply) {
            instance = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                                  xcb_get_property_value_length(reply));
            instance.truncate(instance.indexOf('\0') < 0 ? instance.size()
                                                         : instance.indexOf('\0'));
        }
        std::free(reply);
        return instance;
    }
    bool viewable(xcb_window_t w) {
        auto* attributes = xcb_get_window_attributes_reply(
            connection_, xcb_get_window_attributes(connection_, w), nullptr);
        const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        return shown;
    }

    qbtest::XvfbDisplay display_{"800x600x24"};
    QProcess tray_;
    QByteArray name_;
    xcb_connection_t* connection_ = nullptr;
    bool trayReady_ = false;
};

// Every file named `name` under `folder`.
QStringList filesNamed(const QString& folder, const QString& name) {
    QStringList found;
    QDirIterator it(folder, {name}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// A user's first start of the installed program on a desktop with a tray: the icon docks,
// the helper library is found where it was installed, the default library is laid out in the
// download folder, and a download handed over by the installed qbyauto lands in it.
TEST(InstalledProgram, StartsInTheTrayAndTakesAHandOffIntoTheDownloadFolder) {
    for (const char* tool : {"Xvfb", "trayer", "xdotool"})
        ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " is missing";
    InstalledCopy copy;
    ASSERT_TRUE(copy.installed()) << qPrintable(copy.error());
    TrayDisplay display;
    ASSERT_TRUE(display.ready()) << "no X server with a tray";
    qbtest::NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    QByteArray content;
    for (int i = 0; i < 200000; ++i)
        content.append(char('a' + (i * 13) % 26));
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/files/file.bin", content));

    QProcessEnvironment env = copy.environment("xcb");
    env.insert("DISPLAY", QString::fromLatin1(display.name()));
    QProcess program;
    ASSERT_TRUE(copy.start(program, env)) << program.readAllStandardError().constData();
    EXPECT_TRUE(pumpUntil([&] { return display.dockedWindowsOf("quillbay") == 1; }, 20000))
        << "the tray icon did not dock";

    // The helper library was found under the prefix and registered itself from there, so no
    // "Missing QBYAuto.dll" box held up the start.
    {
        qbtest::TempHome reader;
        qputenv("QUILLBAY_REGISTRY", (copy.home() + ".config/quillbay/registry").toUtf8());
        const platform::Registry classes(platform::Registry::ClassesRoot);
        EXPECT_EQ(classes.readValue(setup::kPluginClassKey, ""),
                  copy.prefix() + "lib/quillbay/QBYAuto.dll");
    }
    // The first run lays out the default library in the download folder, then records that
    // it ran.
    EXPECT_TRUE(pumpUntil(
        [&] { return qbtest::readFile(copy.dataFolder() + "dlmain.ini").contains("FirstRun=0"); },
        20000));
    for (const char* section : {"Programs", "Research", "Internet"})
        EXPECT_TRUE(QFileInfo(copy.libraryRoot() + section).isDir()) << section;
    EXPECT_TRUE(QFileInfo::exists(copy.dataFolder() + "Headers.ini"));

    QProcessEnvironment x = QProcessEnvironment::systemEnvironment();
    x.insert("DISPLAY", QString::fromLatin1(display.name()));
    // The first visible window titled `title` (a regular expression), focused, or empty.
    const auto focusWindow = [&](const QString& title) {
        QByteArray found;
        pumpUntil(
            [&] {
                found = qbinstall::run("xdotool", {"search", "--onlyvisible", "--name", title}, x)
                            .out.trimmed();
                return !found.isEmpty();
            },
            20000);
        const QString window = QString::fromLatin1(found.split('\n').first());
        if (!window.isEmpty()) {
            EXPECT_EQ(qbinstall::run("xdotool", {"windowfocus", "--sync", window}, x).exitCode, 0);
        }
        return window;
    };
    // The configuration wizard comes first; the user leaves it (Escape, then Yes to its
    // question) and the manager window follows.
    ASSERT_FALSE(focusWindow("^Quillbay Configuration Wizard$").isEmpty()) << "no wizard";
    EXPECT_EQ(qbinstall::run("xdotool", {"key", "Escape"}, x).exitCode, 0);
    ASSERT_FALSE(focusWindow("^Confirm Exit$").isEmpty()) << "the wizard did not ask";
    EXPECT_EQ(qbinstall::run("xdotool", {"key", "Return"}, x).exitCode, 0);
    EXPECT_FALSE(focusWindow("^Quillbay$").isEmpty()) << "no manager window";

    const qbinstall::Run send = qbinstall::run(
        copy.prefix() + "bin/qbyauto", {"send", nginx.url("/files/file.bin"), "A file"}, env);
    ASSERT_EQ(send.exitCode, 0) << send.err.constData();
    // The download dialog opens; Alt+D presses its Download button.
    ASSERT_FALSE(focusWindow("^Download a File$").isEmpty()) << "no download dialog";
    EXPECT_EQ(qbinstall::run("xdotool", {"key", "alt+d"}, x).exitCode, 0);

    QString downloaded;
    EXPECT_TRUE(pumpUntil(
        [&] {
            const QStringList found = filesNamed(copy.libraryRoot(), "file.bin");
            downloaded = found.value(0);
            return found.size() == 1 && QFileInfo(downloaded).size() == content.size();
        },
        30000))
        << "nothing arrived under " << qPrintable(copy.libraryRoot());
    EXPECT_EQ(qbtest::readFile(downloaded), content);
    EXPECT_TRUE(downloaded.startsWith(copy.libraryRoot() + "Programs/")) << qPrintable(downloaded);

    const QByteArray said = copy.stop(program);
    EXPECT_FALSE(said.contains("Missing")) << said.constData();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
}

} // namespace
