// Fuzz target for the HTTP response parser: any bytes a server may send, cut
// into pieces at arbitrary points, must give the same verdict, the same lines
// and the same body however they arrive, and stay within the parser's bounds.
#include "net/HttpResponseParser.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Run {
    QStringList lines;
    QByteArray body;
    int verdict = 0; // 0 undecided, 1 complete, 2 failed
    int status = 0;
    qint64 length = -1;
};

Run parse(QByteArrayView bytes, bool head, bool reset, const uint8_t* cuts, size_t cutCount) {
    HttpResponseParser::Limits limits;
    limits.maxHeaderBytes = 2048;
    limits.maxHeaderLines = 40;
    limits.maxLine = 300;
    HttpResponseParser parser(limits);
    parser.start(head);
    Run run;
    qsizetype at = 0;
    size_t cut = 0;
    while (at < bytes.size() && run.verdict == 0) {
        const qsizetype piece =
            cutCount ? qsizetype(cuts[cut++ % cutCount] % 64) + 1 : bytes.size() - at;
        QByteArrayView input = bytes.sliced(at, qMin(piece, bytes.size() - at));
        at += input.size();
        for (bool more = true; more && run.verdict == 0;) {
            switch (parser.feed(input)) {
            case HttpResponseParser::Result::NeedMore:
                require(input.isEmpty());
                more = false;
                break;
            case HttpResponseParser::Result::HeaderLine:
                require(parser.line().size() < limits.maxLine);
                require(!parser.line().contains(QLatin1Char('\n')));
                run.lines << parser.line();
                break;
            case HttpResponseParser::Result::HeaderEnd:
                require(parser.headerDone() || parser.completed());
                if (parser.completed())
                    run.verdict = 1;
                break;
            case HttpResponseParser::Result::Body:
                require(!parser.body().isEmpty());
                run.body += parser.body().toByteArray();
                require(parser.bodyReceived() == run.body.size());
                break;
            case HttpResponseParser::Result::Complete:
                run.verdict = 1;
                break;
            case HttpResponseParser::Result::Failed:
                require(!parser.errorText().isEmpty());
                run.verdict = 2;
                break;
            }
        }
    }
    if (run.verdict == 0)
        run.verdict = parser.finish(reset) == HttpResponseParser::Result::Complete ? 1 : 2;
    run.status = parser.statusCode();
    run.length = parser.contentLength();
    // A complete response with a known length delivered exactly that many bytes.
    if (run.verdict == 1 && !head && run.length >= 0 && !parser.chunked() && run.status != 204 &&
        run.status != 304)
        require(run.body.size() == run.length);
    require(run.status >= 0 && run.status <= 999);
    require(run.lines.size() <= limits.maxHeaderLines);
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const bool head = data[0] & 1;
    const bool reset = data[0] & 2;
    const size_t cutCount = data[1] % 8;
    if (size < 2 + cutCount)
        return 0;
    const uint8_t* cuts = data + 2;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 2 + cutCount),
                               qsizetype(size - 2 - cutCount));
    const Run whole = parse(bytes, head, reset, nullptr, 0);
    const Run pieces = parse(bytes, head, reset, cuts, cutCount);
    require(whole.verdict == pieces.verdict);
    require(whole.lines == pieces.lines);
    require(whole.body == pieces.body);
    require(whole.status == pieces.status);
    return 0;
}
