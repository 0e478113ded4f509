// Manager figures, printed in milliseconds beside a plain listing of the same files:
//  (a) the event scan over 10,000 records in 50 folders with nothing due, and the longest
//      gap of a 100 ms timer while it runs (the window must stay responsive);
//  (b) a folder of 5,000 files read into the file list in details view and shown.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "library/FileRecord.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Settings.h"
#include "manager/EventScanner.h"
#include "platform/Dates.h"
#include "platform/MessageLoop.h"
#include "widgets/TFileList.h"

namespace {

constexpr int kFolders = 50;
constexpr int kPerFolder = 200;
constexpr int kBigFolder = 5000;

void touch(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// One record file written whole, shaped like the ones the program writes.
void writeRecords(const QString& recordFile, const QString& dir, const QString& today) {
    QByteArray out;
    for (int i = 0; i < kPerFolder; ++i) {
        const QString name = QString("file-%1.zip").arg(i, 4, 10, QChar('0'));
        touch(dir + name);
        out += "[" + name.toUtf8() + "]\r\nDesc=Some tool\r\nSource=http://example.org/" +
               name.toUtf8() + "\r\nDateDownloaded=" + today.toUtf8() +
               "\r\nLastOpened=" + today.toUtf8() +
               "\r\nLastScanned=Never\r\nDelete=0\r\nDeleteDays=30\r\n"
               "OpenPrompt=1\r\n";
    }
    QFile f(recordFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(recordFile));
}

double timeCommand(const QString& shell) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start("sh", {"-c", shell});
    p.waitForFinished(-1);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("QUILLBAY_HOME", home.path().toUtf8());
    qputenv("QUILLBAY_SHELL_LOG", (home.path() + "/shell.log").toUtf8());
    QApplication app(argc, argv);
    Settings().writeBool("Management", "ConfirmDelete", true);

    const QString root = home.path() + "/lib/";
    const QString today = platform::todayStamp();
    for (int s = 0; s < 5; ++s) {
        const QString section = QString("Section%1").arg(s);
        library::NewPage(section, root + section + "/");
        for (int f = 0; f < kFolders / 5; ++f) {
            const QString folder = QString("Folder%1").arg(f);
            library::NewButton(folder, section, 0, s);
            writeRecords(library::recordFilePath(section, folder),
                         library::folderDirectory(root + section + "/", folder), today);
        }
    }

    QElapsedTimer ticks;
    qint64 last = 0, worstGap = 0;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        worstGap = qMax(worstGap, ticks.elapsed() - last);
        last = ticks.elapsed();
    });
    timer.start();
    ticks.start();
    QElapsedTimer t;
    t.start();
    manager::scanforevents();
    const double scanMs = t.nsecsElapsed() / 1e6;
    worstGap = qMax(worstGap, ticks.elapsed() - last);
    const double findMs = timeCommand("find '" + root + "' -type f | wc -l > /dev/null");
    std::printf(
        "event scan, %d records in %d folders: %.1f ms (longest 100 ms timer gap %lld ms)\n",
        kFolders * kPerFolder, kFolders, scanMs, static_cast<long long>(worstGap));
    std::printf("  find over the same tree:                %.1f ms\n", findMs);

    const QString big = home.path() + "/big/";
    QDir().mkpath(big);
    for (int i = 0; i < kBigFolder; ++i)
        touch(big + QString("item-%1.bin").arg(i, 5, 10, QChar('0')));
    TFileList list;
    list.resize(800, 600);
    list.setViewStyle(TFileList::Details);
    list.show();
    platform::processMessages();
    t.restart();
    list.setFolder(big);
    list.selectFirst();
    platform::processMessages();
    const double listMs = t.nsecsElapsed() / 1e6;
    const double lsMs = timeCommand("ls -la '" + big + "' > /dev/null");
    std::printf("folder of %d files in details view: %.1f ms (%d listed)\n", kBigFolder, listMs,
                list.itemCount());
    std::printf("  ls -la of the same folder:            %.1f ms\n", lsMs);
    return 0;
}
