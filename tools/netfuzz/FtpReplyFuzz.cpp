// Fuzz target for the FTP control replies: the reply assembler, the reply code,
// the passive-mode ports and the announced size, on any line a server may send.
#include "net/FtpReply.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    ftp::ReplyAssembler replies;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const int code = ftp::replyCode(line);
        require(code == -1 || (code >= 0 && code <= 999));
        if (replies.addLine(line)) {
            // Only a line that starts with its three digits completes a reply.
            require(replies.code() == code);
            require(line.size() == 3 || line[3] == QLatin1Char(' '));
        }
        const qint64 announced = ftp::announcedSize(line);
        require(announced >= -1 && announced < 1000000000000000000LL);
        if (announced >= 0)
            require(line.contains(QLatin1Char('(')));
        (void)ftp::passivePort(line);
        (void)ftp::extendedPassivePort(line);
        const QString summary = ftp::transferSummary(qint64(line.size()) << 20, line.size());
        require(summary.startsWith(QLatin1String("! ")));
        require(ftp::breaksCommandLine(line + QLatin1Char('\r')));
    }
    return 0;
}
