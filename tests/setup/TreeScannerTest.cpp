#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "setup/TTreeScanner.h"

namespace {

// Every event as "kind path size", in the order fired.
struct Recorder {
    QStringList events;
    void attach(TTreeScanner& scanner) {
        auto note = [this](const char* kind) {
            return [this, kind](TTreeScanner* s) {
                events << QString("%1 %2 %3").arg(kind, s->FileFound()).arg(s->FileSize());
            };
        };
        scanner.OnFileFound = note("file");
        scanner.OnDirectoryFound = note("dir");
        scanner.OnDirectoryDone = note("done");
        scanner.OnSearchDone = note("end");
    }
    QStringList of(const QString& kind) const {
        QStringList out;
        for (const QString& e : events)
            if (e.startsWith(kind + ' '))
                out << e.section(' ', 1, 1);
        return out;
    }
};

class TreeScannerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString root() const { return dir.path() + '/'; }
    void file(const QString& relative, const QByteArray& bytes = "x") {
        ASSERT_TRUE(qbtest::writeFile(root() + relative, bytes)) << qPrintable(relative);
    }
    void folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(root() + relative)); }
    Recorder walk(TTreeScanner& scanner) {
        Recorder recorder;
        recorder.attach(scanner);
        scanner.setInitialDirectory(dir.path());
        scanner.Execute();
        return recorder;
    }
};

TEST(TreeScannerMasks, CommaTextIsSortedWithoutDuplicatesAndQuotesWhatNeedsIt) {
    struct Case {
        QString text;
        QStringList masks;
        QString first;
    } cases[] = {
        {"B.EXE,A.EXE,A.EXE", {"A.EXE", "B.EXE"}, "A.EXE"},
        {"b.exe,A.EXE,a.exe", {"A.EXE", "b.exe"}, "A.EXE"},
        {"\"my scan.exe\",\"x,y\",z", {"my scan.exe", "x,y", "z"}, "my scan.exe"},
        {"", {}, ""},
    };
    for (const Case& c : cases) {
        TTreeScanner scanner;
        scanner.setFileMaskCommaText(c.text);
        EXPECT_EQ(scanner.masks(), c.masks) << qPrintable(c.text);
        EXPECT_EQ(scanner.FileMask(), c.first) << qPrintable(c.text);
    }
    TTreeScanner scanner;
    scanner.setFileMaskCommaText("\"my scan.exe\",z");
    EXPECT_EQ(scanner.FileMaskCommaText(), "\"my scan.exe\",z");
    scanner.setFileMask("one.exe");
    EXPECT_EQ(scanner.masks(), QStringList{"one.exe"});
}

TEST(TreeScannerMasks, StartFolderEndsInExactlyOneSlash) {
    const std::pair<QString, QString> cases[] = {
        {"/", "/"}, {"/opt/tools", "/opt/tools/"}, {"/opt/tools/", "/opt/tools/"}};
    for (const auto& [given, wanted] : cases)
        EXPECT_EQ(TTreeScanner::normalisedDirectory(given), wanted) << qPrintable(given);

    QTemporaryDir dir;
    TTreeScanner scanner;
    scanner.setInitialDirectory(dir.path());
    scanner.Execute();
    EXPECT_EQ(scanner.InitialDirectory(), dir.path() + '/');
    EXPECT_FALSE(scanner.SearchInProgress());
}

TEST_F(TreeScannerTest, WalksSortedDepthFirstAndReportsEachFileOnce) {
    file("b.exe", "12345");
    file("A.EXE", "1");
    file("notes.txt");
    file("sub/Zed.exe", "123");
    file("Another/c.exe");
    TTreeScanner scanner;
    scanner.setFileMaskCommaText("*.exe,?.exe,*.EXE");
    const Recorder r = walk(scanner);
    const QString R = root();
    EXPECT_EQ(r.events,
              (QStringList{"dir " + R + " 0", "file " + R + "A.EXE 1", "file " + R + "b.exe 5",
                           "dir " + R + "Another/ 0", "file " + R + "Another/c.exe 1",
                           "done " + R + "Another/c.exe 0", "dir " + R + "sub/ 0",
                           "file " + R + "sub/Zed.exe 3", "done " + R + "sub/Zed.exe 0",
                           "done " + R + "sub/Zed.exe 0", "end " + R + "sub/Zed.exe 0"}));
}

TEST_F(TreeScannerTest, NonRecursiveWalkReportsSubfoldersWithoutEnteringThem) {
    file("top.exe");
    file("inner/deep.exe");
    folder("inner/deeper");
    TTreeScanner scanner;
    scanner.Recursive = false;
    scanner.setFileMask("*.exe");
    const Recorder r = walk(scanner);
    EXPECT_EQ(r.of("file"), QStringList{root() + "top.exe"});
    EXPECT_EQ(r.of("dir"), (QStringList{root(), root() + "inner/"}));
}

TEST_F(TreeScannerTest, HiddenAndSystemRules) {
    file(".hidden.exe");
    file(".cache/in-hidden.exe");
    file("plain.exe");
    // A socket is a system entry: reported as a file when its name matches.
    const QByteArray socketPath = QFile::encodeName(root() + "pipe.exe");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), int(sizeof(address.sun_path)));
    std::memcpy(address.sun_path, socketPath.constData(), socketPath.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    struct Case {
        bool hiddenFiles, hiddenFolders;
        QStringList files;
    } cases[] = {
        {false, false, {root() + "pipe.exe", root() + "plain.exe"}},
        {true, false, {root() + ".hidden.exe", root() + "pipe.exe", root() + "plain.exe"}},
        {false, true, {root() + "pipe.exe", root() + "plain.exe", root() + ".cache/in-hidden.exe"}},
        {true,
         true,
         {root() + ".hidden.exe", root() + "pipe.exe", root() + "plain.exe",
          root() + ".cache/in-hidden.exe"}},
    };
    for (const Case& c : cases) {
        TTreeScanner scanner;
        scanner.FindHiddenFiles = c.hiddenFiles;
        scanner.FindHiddenFolders = c.hiddenFolders;
        scanner.setFileMask("*.exe");
        const Recorder r = walk(scanner);
        EXPECT_EQ(r.of("file"), c.files) << c.hiddenFiles << c.hiddenFolders;
        EXPECT_EQ(r.of("dir").contains(root() + ".cache/"), c.hiddenFolders);
    }
    ::close(fd);
}

TEST_F(TreeScannerTest, SymbolicLinkLoopEnds) {
    file("a/tool.exe");
    ASSERT_EQ(::symlink("..", QFile::encodeName(root() + "a/up").constData()), 0);
    ASSERT_EQ(::symlink(".", QFile::encodeName(root() + "a/self").constData()), 0);
    TTreeScanner scanner;
    scanner.setFileMask("tool.exe");
    const Recorder r = walk(scanner);
    EXPECT_EQ(r.of("file"), QStringList{root() + "a/tool.exe"});
    EXPECT_EQ(r.of("dir"), (QStringList{root(), root() + "a/"}));
}

TEST_F(TreeScannerTest, MasksCannotChangeDuringAWalkAndUnreadableFoldersAreSkipped) {
    file("x.exe");
    file("locked/y.exe");
    file("z/y.exe");
    ::chmod(QFile::encodeName(root() + "locked").constData(), 0);
    TTreeScanner scanner;
    scanner.setFileMask("*.exe");
    scanner.OnDirectoryFound = [](TTreeScanner* s) {
        s->setFileMask("none");
        s->setFileMaskCommaText("none,other");
    };
    QStringList files;
    scanner.OnFileFound = [&](TTreeScanner* s) { files << s->FileFound(); };
    scanner.setInitialDirectory(root());
    scanner.Execute();
    ::chmod(QFile::encodeName(root() + "locked").constData(), 0700);
    EXPECT_EQ(scanner.masks(), QStringList{"*.exe"});
    QStringList wanted{root() + "x.exe", root() + "z/y.exe"};
    if (::geteuid() == 0) // root reads every folder
        wanted.insert(1, root() + "locked/y.exe");
    EXPECT_EQ(files, wanted);
}

TEST_F(TreeScannerTest, PendingEventsRunOncePerDirectory) {
    folder("one/two");
    folder("three");
    TTreeScanner scanner;
    int posted = 0, ran = 0;
    QStringList missed;
    scanner.OnDirectoryFound = [&](TTreeScanner* s) {
        // The event posted at the previous directory has run before this one is reported.
        if (ran != posted)
            missed << s->FileFound();
        ++posted;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { ++ran; }, Qt::QueuedConnection);
    };
    scanner.setInitialDirectory(root());
    scanner.Execute();
    EXPECT_EQ(posted, 4);
    EXPECT_TRUE(missed.isEmpty()) << qPrintable(missed.join(' '));
    QCoreApplication::processEvents();
}

TEST(TreeScannerMounts, PseudoAndRemoteFileSystemsAreLeftOut) {
    QTemporaryDir dir;
    const QString table = dir.path() + "/mounts";
    ASSERT_TRUE(qbtest::writeFile(table, "/dev/sda1 / ext4 rw 0 0\n"
                                         "proc /proc proc rw 0 0\n"
                                         "server:/x /mnt/my\\040share nfs4 rw 0 0\n"
                                         "/dev/sdb1 /home ext4 rw 0 0\n"
                                         "tmpfs /run tmpfs rw 0 0\n"));
    EXPECT_EQ(TTreeScanner::unsearchableMounts(table),
              (QSet<QString>{"/proc/", "/mnt/my share/", "/run/"}));
}

} // namespace
