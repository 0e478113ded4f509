#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace platform {

// The two requests the browser helper sends to the tray window, by their window-message
// numbers.
enum RequestMessage : quint32 {
    WM_COPYDATA = 0x004A,     // hand-off of a clicked download, with a copy-data record
    WM_CONTENTPROBE = 0x07E8, // content probe through the shared block; no data
};

// The copy-data record of a hand-off: a numeric tag and a block of bytes.
struct CopyData {
    quint64 dwData = 0;
    QByteArray lpData;
};

struct Request {
    quint32 message = 0;
    CopyData copyData; // hand-offs only
};

// On the wire, little-endian:
//   u32 message
//   for WM_COPYDATA: u64 dwData, u32 cbData, cbData bytes
// and the answer, once the request has been handled: i64 message result.
// A record larger than kMaxCopyData, or an unknown message, makes the frame malformed.
inline constexpr qsizetype kMaxCopyData = 64 * 1024;
inline constexpr qsizetype kMaxRequestFrame = 4 + 8 + 4 + kMaxCopyData;
inline constexpr qsizetype kReplySize = 8;

QByteArray encodeRequest(const Request& request);
QByteArray encodeReply(qint64 result);
// The result in an answer of kReplySize bytes; nothing when the size is wrong.
std::optional<qint64> decodeReply(QByteArrayView bytes);

// Collects the bytes of one connection and cuts them into requests. It never holds more
// than kMaxRequestFrame bytes: a peer can neither grow it without bound nor make it wait
// for a frame that can never be complete.
class RequestReader {
public:
    enum Status { NeedMore, Complete, Malformed };

    // Room left in the buffer; a reader gets at most this many bytes at once.
    qsizetype room() const { return kMaxRequestFrame - buffer_.size(); }
    // Appends up to room() bytes; returns false (and appends nothing) for more.
    bool append(QByteArrayView bytes);
    // Takes the next complete request out of the buffer. After Malformed the reader stays
    // malformed: the connection is to be dropped.
    Status next(Request& out);
    bool empty() const { return buffer_.isEmpty(); }

private:
    QByteArray buffer_;
    bool malformed_ = false;
};

} // namespace platform
