// Fuzz target for what a browser sends the native-messaging host: the whole input is the
// host's standard input, read in pieces of varying size; every reply must be a framed JSON
// object, and only well-formed requests may reach the program.
#include "NativeMessaging.h"
#include "handoff/HandOff.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool plainUrl(const QString& url) {
    if (url.isEmpty())
        return false;
    for (const QChar c : url)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

// Checks every request that gets through and answers from the input's own bytes.
struct CheckingProgram : nativehost::Program {
    unsigned seed = 0;
    nativehost::Outcome answer() {
        nativehost::Outcome outcome;
        outcome.status = nativehost::Outcome::Status(seed++ % 3);
        outcome.verdict = int(seed % 2);
        outcome.reachable = seed % 5 == 0;
        outcome.error = QStringLiteral("failed \"quoted\"");
        return outcome;
    }
    nativehost::Outcome status() override { return answer(); }
    nativehost::Outcome probe(const QString& url) override {
        require(plainUrl(url) && url.toUtf8().size() <= nativehost::kMaxProbeUrlBytes);
        return answer();
    }
    nativehost::Outcome handOff(const QByteArray& record) override {
        // The record reads back as a hand-off with a URL and one of the two sources.
        require(!record.isEmpty() && uchar(record[0]) == record.size() - 1);
        const HandOffRequest request = parseHandOff(record);
        require(request.source == "http" || request.source == "ftp");
        require(plainUrl(request.url));
        require(!request.description.contains('\r') && !request.description.contains('\n'));
        return answer();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckingProgram program;
    size_t at = 0;
    qint64 step = 1;
    QByteArray output;
    nativehost::serve(
        [&](char* buffer, qint64 wanted) -> qint64 {
            const qint64 n = std::min<qint64>({wanted, step, qint64(size - at)});
            step = step % 977 + 1;
            std::memcpy(buffer, data + at, size_t(n));
            at += size_t(n);
            return n;
        },
        [&](QByteArrayView bytes) {
            output.append(bytes.data(), bytes.size());
            return true;
        },
        program);

    // Every reply is whole, small and a JSON object with its verdict.
    while (!output.isEmpty()) {
        require(output.size() >= 4);
        quint32 length;
        std::memcpy(&length, output.constData(), sizeof length);
        require(length < 64 * 1024 && output.size() >= 4 + qsizetype(length));
        const QJsonDocument reply = QJsonDocument::fromJson(output.mid(4, length));
        require(reply.isObject() && reply.object().value("ok").isBool());
        output.remove(0, 4 + qsizetype(length));
    }
    return 0;
}
