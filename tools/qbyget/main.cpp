// qbyget [--resume] [--timeout=SECONDS] [--ca-file=PEM] URL FILE
// Downloads URL into FILE with the program's own clients, as its download
// dialog does; for scripts and for the throughput benchmark.
#include "Download.h"
#include "ProgressBar.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

void printError(const QString& text) {
    std::fprintf(stderr, "qbyget: %s\n", text.toLocal8Bit().constData());
}

namespace {

// A day: longer silences are no timeout, and seconds stay far from overflowing.
constexpr int kMaxTimeout = 86400;

int usage() {
    std::fprintf(stderr,
                 "usage: qbyget [--resume] [--timeout=SECONDS] [--ca-file=PEM] URL FILE\n"
                 "  --resume          continue a partial FILE instead of downloading it anew\n"
                 "  --timeout=SECONDS fail after so long without data from the server (default "
                 "300, 0 = never, at most 86400)\n"
                 "  --ca-file=PEM     https: trust these certificate authorities instead of the "
                 "system's\n");
    return ExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    DownloadRequest request;
    QStringList positional;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (const QString& arg : args) {
        if (arg == QLatin1String("--resume")) {
            request.resume = true;
        } else if (arg.startsWith(QLatin1String("--timeout="))) {
            bool ok = false;
            request.timeout = arg.mid(10).toInt(&ok);
            if (!ok || request.timeout < 0 || request.timeout > kMaxTimeout) {
                printError(QStringLiteral("--timeout takes whole seconds from 0 to %1: %2")
                               .arg(kMaxTimeout)
                               .arg(arg.mid(10)));
                return usage();
            }
        } else if (arg.startsWith(QLatin1String("--ca-file="))) {
            request.caFile = arg.mid(10);
            if (request.caFile.isEmpty())
                return usage();
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usage();
        } else {
            positional << arg;
        }
    }
    if (positional.size() != 2)
        return usage();
    request.url = positional[0];
    request.file = positional[1];

    ProgressBar progress(isatty(STDERR_FILENO) == 1);
    const QString scheme = request.url.section(QLatin1String("://"), 0, 0).toLower();
    if (request.url.contains(QLatin1String("://")) && scheme != QLatin1String("ftp") &&
        scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        printError(QStringLiteral("unsupported protocol: %1://").arg(scheme));
        return ExitFailed;
    }
    return runDownload(request, progress);
}
