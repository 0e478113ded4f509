// qbyauto: the browser side of Quillbay on this platform. A browser extension, a script or
// a desktop "open with" entry hands a clicked download to the running program with "send",
// and asks whether a link names a binary download with "probe".
#include "handoff/HandOff.h"
#include "platform/ProbeBlock.h"
#include "platform/RequestClient.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

// The receiver: the tray window while it intercepts clicked downloads.
const char* const kReceiverTitle = "QBY";

enum ExitCode { kOk = 0, kError = 1, kNoReceiver = 2 };

int usage() {
    std::fputs("usage: qbyauto send URL [DESCRIPTION] [--source IE|http|ftp]\n"
               "       qbyauto probe URL\n",
               stderr);
    return kError;
}

int fail(const QString& text) {
    std::fprintf(stderr, "qbyauto: %s\n", qPrintable(text));
    return kError;
}

// Exit code for a request that was not answered.
int unanswered(const platform::SendResult& sent) {
    if (sent.status == platform::SendResult::NoReceiver) {
        std::fputs("Quillbay is not running or interception is off\n", stderr);
        return kNoReceiver;
    }
    return fail(sent.error);
}

int send(const QStringList& args) {
    QString source;
    QStringList plain;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--source") {
            if (++i >= args.size())
                return usage();
            source = args[i];
            if (source != "IE" && source != "http" && source != "ftp")
                return fail(
                    QStringLiteral("the source is IE, http or ftp, not \"%1\"").arg(source));
        } else {
            plain << args[i];
        }
    }
    if (plain.isEmpty() || plain.size() > 2 || plain[0].isEmpty())
        return usage();
    const QString url = plain[0];
    // Without a source the URL's protocol family goes, as the download dialog reads it.
    if (source.isEmpty()) {
        source = handOffSourceOf(url);
        if (source.isEmpty())
            return fail(
                QStringLiteral("only http, https and ftp URLs can be sent, not \"%1\"").arg(url));
    }
    const auto record = encodeHandOff(source, url, plain.value(1));
    if (!record)
        return fail("the URL is too long for a hand-off (255 bytes with its source)");

    platform::Request request;
    request.message = platform::WM_COPYDATA;
    request.copyData.lpData = *record;
    const platform::SendResult sent = platform::sendRequest(kReceiverTitle, request);
    return sent.status == platform::SendResult::Answered ? kOk : unanswered(sent);
}

int probe(const QStringList& args) {
    if (args.size() != 1 || args[0].isEmpty())
        return usage();
    const QByteArray url = args[0].toUtf8();
    if (url.size() > platform::ProbeBlock::kFieldSize)
        return fail("the URL is too long for a probe (1025 bytes)");
    platform::ProbeBlock block;
    if (!block.create())
        return fail(block.errorString());
    block.setField(0, url);
    platform::Request request;
    request.message = platform::WM_CONTENTPROBE;
    const platform::SendResult sent = platform::sendRequest(kReceiverTitle, request);
    const char answer = block.answer();
    block.unlink();
    if (sent.status != platform::SendResult::Answered)
        return unanswered(sent);
    std::printf("%d\n", answer ? 1 : 0);
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == "send")
        return send(args);
    if (command == "probe")
        return probe(args);
    return usage();
}
