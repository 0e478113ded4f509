#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Reads one HTTP/1.x response as its bytes arrive, without any socket: the
// status line, the header fields and the framing of the body (Content-Length,
// chunked, or up to the end of the connection). Everything it keeps is bounded.
//
// Use: start() before each response, then feed() the received bytes in a loop
// until it returns NeedMore, acting on each result; when the connection ends,
// finish() says whether that ending completes the response.
//
//   HttpResponseParser parser;
//   parser.start(isHeadRequest);
//   QByteArrayView in(bytes);
//   for (;;) {
//       switch (parser.feed(in)) {
//       case Result::NeedMore: return;                 // all of `in` is taken
//       case Result::HeaderLine: use(parser.line()); break;
//       case Result::HeaderEnd: break;                  // the fields are complete
//       case Result::Body: save(parser.body()); break;  // decoded body bytes
//       case Result::Complete: return;                  // the whole body has arrived
//       case Result::Failed: report(parser.errorText()); return;
//       }
//   }
//
// Interim responses (1xx) are read and dropped whole: the lines reported are
// those of the final response. A first line starting with "<html>" (any case)
// means the server sent no header: HeaderEnd comes at once and that line is
// the first body data. After Complete or Failed, feed() takes nothing more.
class HttpResponseParser {
public:
    enum class Result { NeedMore, HeaderLine, HeaderEnd, Body, Complete, Failed };

    // Bounds on what a server may send before the body.
    struct Limits {
        int maxLine = 8192;                 // one header line, line end included
        qint64 maxHeaderBytes = 256 * 1024; // all header lines, interim responses included
        int maxHeaderLines = 1000;
        int maxChunkLine = 1024; // a chunk-size line with its extensions
    };

    HttpResponseParser() = default;
    explicit HttpResponseParser(const Limits& limits) : limits_(limits) {}

    // Prepares for a new response. `noBody`: the request was HEAD, so the
    // response ends with its header whatever its fields say.
    void start(bool noBody = false);

    // Takes bytes from the front of `input` (advancing it) up to the next thing
    // to report. NeedMore means `input` is used up.
    Result feed(QByteArrayView& input);

    // The connection ended (`error`: by a reset or another failure). Complete
    // when this ends the response properly (a body delimited by the end of the
    // connection, cut by no error), Failed otherwise with errorText() saying why.
    // Also Complete when the response had already completed.
    Result finish(bool error = false);

    // After HeaderLine: the line, without its line end.
    const QString& line() const { return line_; }
    // After Body: the decoded bytes (a view into the input or the parser; valid
    // until the next call).
    QByteArrayView body() const { return body_; }
    // After Failed.
    const QString& errorText() const { return errorText_; }
    // A remark on the last line that is not an error (a Content-Length that is
    // no number...); empty when none.
    const QString& note() const { return note_; }

    bool headerDone() const { return state_ >= State::Body; }
    bool completed() const { return state_ == State::Complete; }
    bool failed() const { return state_ == State::Failed; }
    // True when the response had no header at all (it began with "<html>").
    bool headerless() const { return headerless_; }

    // Fields of the final response, valid from the line that carried them.
    int statusCode() const { return statusCode_; }
    const QString& reasonPhrase() const { return reasonPhrase_; }
    // -1 when no usable Content-Length came (absent, or not a decimal number).
    qint64 contentLength() const { return contentLength_; }
    // Lower-cased.
    const QString& contentType() const { return contentType_; }
    // The last Location value; hasLocation() tells an empty value from none.
    const QString& location() const { return location_; }
    bool hasLocation() const { return hasLocation_; }
    // The parts of "Content-Range: bytes B-E/T" as text; empty when none came.
    const QString& rangeBegin() const { return rangeBegin_; }
    const QString& rangeEnd() const { return rangeEnd_; }
    const QString& rangeTotal() const { return rangeTotal_; }
    const QStringList& wwwAuthenticate() const { return wwwAuthenticate_; }
    bool chunked() const { return chunked_; }
    // Body bytes delivered so far (decoded).
    qint64 bodyReceived() const { return bodyReceived_; }

    // "HTTP/d.d ddd" followed by the end of the line or a blank: the status
    // code, or -1 for a line that is not a status line.
    static int parseStatusLine(QByteArrayView line, QString* reason = nullptr);

private:
    enum class State {
        StatusLine,
        HeaderLines,
        Body, // states from here on: the header is done
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Trailer,
        Complete,
        Failed,
    };
    enum class Framing { None, Length, Chunked, UntilClose };

    Result fail(const QString& text);
    // Collects one line ending in LF into lineBuffer_; false when more bytes are needed.
    bool takeLine(QByteArrayView& input, int maxLine, const char* what, Result& failure);
    Result headerLine(const QByteArray& raw);
    Result field(const QString& name, const QString& value);
    Result endOfHeader();
    Result chunkSizeLine(const QByteArray& raw);
    void resetFields();

    Limits limits_;
    State state_ = State::StatusLine;
    Framing framing_ = Framing::None;
    bool noBody_ = false;
    bool interim_ = false;
    bool headerless_ = false;
    QByteArray lineBuffer_;
    QByteArray pending_;   // a headerless response's first line, delivered as body
    QByteArray delivered_; // holds it while body() views it
    QString line_;
    QByteArrayView body_;
    QString errorText_;
    QString note_;
    qint64 headerBytes_ = 0;
    int headerLines_ = 0;

    int statusCode_ = 0;
    QString reasonPhrase_;
    qint64 contentLength_ = -1;
    bool lengthSeen_ = false;
    QString contentType_;
    QString location_;
    bool hasLocation_ = false;
    QString rangeBegin_;
    QString rangeEnd_;
    QString rangeTotal_;
    QStringList wwwAuthenticate_;
    bool chunked_ = false;
    QString transferEncoding_;
    qint64 remaining_ = 0; // of the Content-Length body or of the current chunk
    qint64 bodyReceived_ = 0;
};
