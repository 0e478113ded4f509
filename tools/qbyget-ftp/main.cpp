// qbyget-ftp [--resume] URL FILE: downloads an ftp:// URL into FILE.
#include "FtpGet.h"

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

// A one-line bar with speed and time left, redrawn at most five times a second.
class ProgressBar {
public:
    void update(qint64 done, qint64 total) {
        const qint64 now = platform::tickCount();
        if (start_ < 0) {
            start_ = now;
            first_ = done;
        }
        if (now - shown_ < 200 && done != total)
            return;
        shown_ = now;
        const double seconds = double(now - start_) / 1000.0;
        const double rate = seconds > 0 ? double(done - first_) / seconds : 0;
        QString line = QStringLiteral("%1 MiB").arg(double(done) / 1048576.0, 0, 'f', 1);
        if (total > 0) {
            const int width = 30;
            const int filled = int(qMin<qint64>(width, done * width / total));
            line = QStringLiteral("[%1%2] %3%  ")
                       .arg(QString(filled, QLatin1Char('#')), QString(width - filled, '.'))
                       .arg(done * 100 / total, 3) +
                   line;
        }
        line += QStringLiteral("  %1 MiB/s").arg(rate / 1048576.0, 0, 'f', 1);
        if (total > 0 && rate > 0) {
            const qint64 left = qint64(double(total - done) / rate);
            line += QStringLiteral("  %1:%2 left")
                        .arg(left / 60)
                        .arg(left % 60, 2, 10, QLatin1Char('0'));
        }
        std::fprintf(stderr, "\r%-78s", qPrintable(line));
    }
    void finish() {
        if (start_ >= 0)
            std::fputc('\n', stderr);
    }

private:
    qint64 start_ = -1;
    qint64 first_ = 0;
    qint64 shown_ = -1000;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool resume = args.removeAll(QStringLiteral("--resume")) > 0;
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: qbyget-ftp [--resume] URL FILE\n");
        return 2;
    }
    ProgressBar bar;
    ProgressSink sink;
    if (isatty(STDERR_FILENO))
        sink = [&bar](qint64 done, qint64 total) { bar.update(done, total); };
    const int code = ftpGet(args[0], args[1], resume, sink);
    bar.finish();
    return code;
}
