#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QString>

#include <functional>

// The browsers' native-messaging exchange as the Quillbay extension speaks it: each message
// is a 32-bit length in the machine's byte order followed by that many bytes of UTF-8 JSON.
//
// Requests (an optional "id" of any JSON kind is echoed in the reply):
//   {"type":"status"}
//   {"type":"probe","url":URL}
//   {"type":"handoff","source":"http"|"ftp","url":URL,"description":TEXT}
// Replies: {"ok":true,...} or {"ok":false,"error":CODE,"message":TEXT}.
namespace nativehost {

// The largest request read; a longer one is skipped unread and answered with an error.
inline constexpr quint32 kMaxRequestBytes = 64 * 1024;
// The longest URL a probe can carry: the probe block's URL field.
inline constexpr qsizetype kMaxProbeUrlBytes = 1025;

struct HostRequest {
    enum Kind { Invalid, Status, Probe, HandOff };
    Kind kind = Invalid;
    QString url;
    QString source;
    QString description;
    QJsonValue id;     // undefined when the request had none
    QString errorCode; // Invalid only: "bad-request" or "too-long"
    QString error;     // Invalid only: what is wrong, for people
};

// Reads one request; anything that is not a well-formed request of a known type is Invalid
// with the reason. Never throws, never reads past `json`.
HostRequest parseRequest(QByteArrayView json);

// What the program said to a request.
struct Outcome {
    enum Status { Done, NotRunning, Failed };
    Status status = Failed;
    int verdict = 0;           // probe: 1 = binary download, 0 = leave it to the browser
    bool reachable = false;    // status: the program runs
    bool intercepting = false; // status: and takes clicked downloads
    QString error;
};

// Carries requests to the program: the request transport in the host, a stand-in in tests.
class Program {
public:
    virtual ~Program() = default;
    virtual Outcome status() = 0;
    virtual Outcome probe(const QString& url) = 0;
    // `record` is the hand-off's copy-data record, ready to send.
    virtual Outcome handOff(const QByteArray& record) = 0;
};

// The JSON reply to one request (compact, always far below the browsers' reply limit).
QByteArray replyTo(const HostRequest& request, Program& program);
QByteArray errorReply(const QString& code, const QString& message,
                      const QJsonValue& id = QJsonValue(QJsonValue::Undefined));

// One message as it goes over the pipe.
QByteArray frame(QByteArrayView json);

// Reads up to `size` bytes into `buffer`: the count, 0 at the end of input, < 0 on error.
using ReadFunction = std::function<qint64(char* buffer, qint64 size)>;
// Writes all of `bytes`; false when the other side is gone.
using WriteFunction = std::function<bool(QByteArrayView bytes)>;

// Answers every request on `read` through `write` until the input ends or breaks off.
// Returns 0 when the input ended between messages, 1 when it broke off inside one or the
// output failed.
int serve(const ReadFunction& read, const WriteFunction& write, Program& program);

} // namespace nativehost
