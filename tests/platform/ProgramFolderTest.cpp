#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include "TestEnvironment.h"
#include "platform/ProgramFolder.h"

#include <sys/stat.h>

namespace {

using platform::DataFolderKind;
using qbtest::writeFile;

void setOrUnset(const char* name, const char* value) {
    if (value)
        qputenv(name, value);
    else
        qunsetenv(name);
}

int modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Placeholders in the expected folders: @ the temporary root, ~ the home.
QString expand(QString text, const qbtest::TempHome& home) {
    text.replace('@', home.root());
    text.replace('~', home.root() + "/home");
    return text;
}

TEST(DataFolder, RulesInTheirOrder) {
    struct Case {
        const char* what;
        const char* quillbayHome;
        const char* xdgDataHome; // "@" stands for the temporary root
        bool portable;
        const char* expected;
        DataFolderKind kind;
    };
    const Case cases[] = {
        {"the home variable wins over everything", "@/mine/", "@/data", true, "@/mine/",
         DataFolderKind::Override},
        {"a relative home variable is made absolute", "rel/../mine", nullptr, false, "/mine/",
         DataFolderKind::Override},
        {"the marker keeps the data beside the executable", nullptr, "@/data", true, "@/exe/",
         DataFolderKind::Portable},
        {"XDG_DATA_HOME", nullptr, "@/data", false, "@/data/quillbay/", DataFolderKind::User},
        {"no XDG_DATA_HOME", nullptr, nullptr, false, "~/.local/share/quillbay/",
         DataFolderKind::User},
        {"an empty XDG_DATA_HOME", nullptr, "", false, "~/.local/share/quillbay/",
         DataFolderKind::User},
        {"a relative XDG_DATA_HOME is ignored", nullptr, "data", false, "~/.local/share/quillbay/",
         DataFolderKind::User},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        const QString exe = home.root() + "/exe";
        QDir().mkpath(exe);
        if (c.portable) {
            ASSERT_TRUE(writeFile(exe + "/portable", ""));
        }
        setOrUnset("QUILLBAY_HOME",
                   c.quillbayHome ? expand(c.quillbayHome, home).toUtf8().constData() : nullptr);
        setOrUnset("XDG_DATA_HOME",
                   c.xdgDataHome ? expand(c.xdgDataHome, home).toUtf8().constData() : nullptr);
        const platform::DataFolderChoice choice = platform::dataFolderFor(exe);
        QString expected = expand(c.expected, home);
        if (c.quillbayHome && QDir::isRelativePath(expand(c.quillbayHome, home)))
            expected = QDir::currentPath() + expected;
        EXPECT_EQ(choice.folder, expected);
        EXPECT_EQ(int(choice.kind), int(c.kind));
    }
}

// The program's own executable folder has no portable marker: its data goes to the user's.
TEST(DataFolder, TheRunningProgramsDataFolder) {
    qbtest::TempHome home;
    EXPECT_EQ(platform::dataFolder(), home.folder());
    EXPECT_EQ(platform::programFile("dlmain.ini"), home.file("dlmain.ini"));
    qunsetenv("QUILLBAY_HOME");
    EXPECT_EQ(platform::dataFile("Headers.ini"),
              home.root() + "/home/.local/share/quillbay/Headers.ini");
}

TEST(DataFolder, MadePrivateOrToldWhyNot) {
    qbtest::TempHome home;
    const QString base = home.root();

    // Missing folders are made, each one private.
    const QString fresh = base + "/a/b/quillbay";
    EXPECT_EQ(platform::makeDataFolder(fresh + "/"), "");
    EXPECT_EQ(modeOf(base + "/a/b"), 0700);
    EXPECT_EQ(modeOf(fresh), 0700);
    // An existing folder keeps the mode its owner gave it.
    QDir().mkpath(base + "/shared");
    ::chmod(QFile::encodeName(base + "/shared").constData(), 0755);
    EXPECT_EQ(platform::makeDataFolder(base + "/shared"), "");
    EXPECT_EQ(modeOf(base + "/shared"), 0755);

    // Folders that cannot be used are an error text naming the place, never a crash.
    ASSERT_TRUE(writeFile(base + "/plain", "a file"));
    const QString unusable[] = {base + "/plain", base + "/plain/quillbay",
                                "/proc/quillbay-cannot-be-here/quillbay"};
    for (const QString& folder : unusable) {
        SCOPED_TRACE(qPrintable(folder));
        const QString error = platform::makeDataFolder(folder);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_TRUE(error.contains(folder.section('/', 0, 2))) << qPrintable(error);
    }
}

// What `xdg-user-dir DOWNLOAD` prints for this home, or an empty text without the tool.
QString xdgUserDir() {
    QProcess tool;
    tool.start("xdg-user-dir", {"DOWNLOAD"});
    if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

TEST(DownloadFolder, FromUserDirsElseDownloadsInTheHome) {
    struct Case {
        const char* userDirs; // line in user-dirs.dirs, nullptr for no file
        const char* expected;
        bool sameAsTool; // xdg-user-dir falls back to the home itself, we to ~/Downloads
    };
    const Case cases[] = {
        {nullptr, "~/Downloads/", false},
        {"XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"", "~/Fetched/", true},
        {"XDG_DOWNLOAD_DIR=\"@/elsewhere/dl\"", "@/elsewhere/dl/", true},
        {"XDG_MUSIC_DIR=\"$HOME/Music\"", "~/Downloads/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.userDirs ? c.userDirs : "no user-dirs.dirs");
        qbtest::TempHome home;
        if (c.userDirs) {
            ASSERT_TRUE(
                writeFile(home.root() + "/home/.config/user-dirs.dirs",
                          "# written by a test\n" + expand(c.userDirs, home).toUtf8() + "\n"));
        }
        const QString expected = expand(c.expected, home);
        EXPECT_EQ(platform::downloadFolder(), expected);
        if (c.sameAsTool) {
            const QString tool = xdgUserDir();
            if (!tool.isEmpty()) {
                EXPECT_EQ(tool + "/", expected);
            }
        }
        EXPECT_EQ(platform::defaultLibraryFolder(), expected + "Quillbay/");
    }
}

TEST(ProgramFiles, BesideTheExecutableOrUnderTheInstallPrefix) {
    qbtest::TempHome home;
    const QString base = home.root();
    QDir().mkpath(base + "/build/bin/resources");
    QDir().mkpath(base + "/usr/bin");
    QDir().mkpath(base + "/usr/lib/quillbay");
    QDir().mkpath(base + "/usr/share/quillbay");
    QDir().mkpath(base + "/bare/bin");
    struct Case {
        QString exe;
        QString libraries;
        QString resources;
        bool installed;
    };
    const Case cases[] = {
        {base + "/build/bin", base + "/build/bin/", base + "/build/bin/resources/", false},
        {base + "/usr/bin/", base + "/usr/lib/quillbay/", base + "/usr/share/quillbay/", true},
        // Neither layout: the files are expected beside the executable, where a missing
        // helper library is then reported.
        {base + "/bare/bin", base + "/bare/bin/", base + "/bare/bin/resources/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.exe));
        const platform::ProgramFiles files = platform::programFilesFor(c.exe);
        EXPECT_EQ(files.libraries, c.libraries);
        EXPECT_EQ(files.resources, c.resources);
        EXPECT_EQ(files.installed, c.installed);
    }

    // The running build: beside the executable, unless another folder is named.
    qunsetenv("QUILLBAY_PROGRAM_FILES");
    EXPECT_EQ(platform::programFilesFolder(), QString(QB_BIN_DIR) + "/");
    EXPECT_EQ(platform::programFiles().resources, QString(QB_BIN_DIR) + "/resources/");
    qputenv("QUILLBAY_PROGRAM_FILES", (base + "/usr/lib/quillbay").toUtf8());
    EXPECT_EQ(platform::programFilesFile("QBYAuto.dll"), base + "/usr/lib/quillbay/QBYAuto.dll");
}

TEST(TempHome, LeavesTheEnvironmentAsItFoundIt) {
    const char* const names[] = {
        "QUILLBAY_HOME",         "QUILLBAY_REGISTRY", "XDG_RUNTIME_DIR",    "HOME",
        "XDG_DATA_HOME",         "XDG_CONFIG_HOME",   "QUILLBAY_SHELL_LOG", "QUILLBAY_PROBE_BLOCK",
        "QUILLBAY_PROGRAM_FILES"};
    const QProcessEnvironment before = QProcessEnvironment::systemEnvironment();
    qputenv("XDG_DATA_HOME", "/sentinel/data");
    qunsetenv("QUILLBAY_PROGRAM_FILES");
    {
        qbtest::TempHome home;
        for (const char* name : names)
            EXPECT_TRUE(qEnvironmentVariableIsSet(name)) << name;
        qputenv("HOME", "/changed/by/the/test");
    }
    EXPECT_EQ(qgetenv("XDG_DATA_HOME"), "/sentinel/data");
    EXPECT_FALSE(qEnvironmentVariableIsSet("QUILLBAY_PROGRAM_FILES"));
    EXPECT_EQ(qgetenv("HOME"), before.value("HOME").toUtf8());
    setOrUnset("XDG_DATA_HOME", before.contains("XDG_DATA_HOME")
                                    ? before.value("XDG_DATA_HOME").toUtf8().constData()
                                    : nullptr);
}

} // namespace
