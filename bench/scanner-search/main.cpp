// The first-run wizard's scanner search over this machine's whole file system, printed in
// milliseconds: the walk from "/" with the scanners' masks (pseudo and remote file systems
// are not entered), run twice (the second walk finds the directories in the kernel's cache),
// with the number of directories entered, the scanners found and the longest time between
// two directories (how long the windows wait for their events at most).
// An optional argument names another start directory.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "setup/ScannerDetection.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/");
    for (const char* run : {"first", "second"}) {
        QElapsedTimer total;
        QElapsedTimer gap;
        qint64 longestGap = 0;
        long directories = 0;
        total.start();
        gap.start();
        const QStringList found = setup::findScanners(root, [&] {
            ++directories;
            longestGap = std::max(longestGap, gap.nsecsElapsed());
            gap.restart();
        });
        const double ms = total.nsecsElapsed() / 1e6;
        std::printf("%-6s walk from %s: %9.0f ms, %ld directories, longest gap %.1f ms, "
                    "%lld scanner(s)\n",
                    run, qPrintable(root), ms, directories, longestGap / 1e6,
                    static_cast<long long>(found.size()));
        for (const QString& entry : found)
            std::printf("    %s\n", qPrintable(setup::entryPath(entry)));
    }
    return 0;
}
