#include "HttpResponseParser.h"

#include <cstring>
#include <utility>

#include "platform/ByteText.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal of at most 18 digits (no sign, no blanks), or -1.
qint64 decimal(const QString& text) {
    if (text.isEmpty() || text.size() > 18)
        return -1;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

int HttpResponseParser::parseStatusLine(QByteArrayView line, QString* reason) {
    // "HTTP/1.1 200" is 12 characters.
    if (line.size() < 12 || !line.startsWith("HTTP/") || !isDigit(line[5]) || line[6] != '.' ||
        !isDigit(line[7]) || line[8] != ' ' || !isDigit(line[9]) || !isDigit(line[10]) ||
        !isDigit(line[11]))
        return -1;
    if (line.size() > 12 && line[12] != ' ')
        return -1;
    if (reason)
        *reason = QString::fromLatin1(line.sliced(qMin<qsizetype>(13, line.size())));
    return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

void HttpResponseParser::start(bool noBody) {
    state_ = State::StatusLine;
    framing_ = Framing::None;
    noBody_ = noBody;
    interim_ = false;
    headerless_ = false;
    lineBuffer_.clear();
    pending_.clear();
    line_.clear();
    body_ = {};
    errorText_.clear();
    note_.clear();
    headerBytes_ = 0;
    headerLines_ = 0;
    remaining_ = 0;
    bodyReceived_ = 0;
    resetFields();
}

void HttpResponseParser::resetFields() {
    statusCode_ = 0;
    reasonPhrase_.clear();
    contentLength_ = -1;
    lengthSeen_ = false;
    contentType_.clear();
    location_.clear();
    hasLocation_ = false;
    rangeBegin_.clear();
    rangeEnd_.clear();
    rangeTotal_.clear();
    wwwAuthenticate_.clear();
    chunked_ = false;
    transferEncoding_.clear();
}

HttpResponseParser::Result HttpResponseParser::fail(const QString& text) {
    state_ = State::Failed;
    errorText_ = text;
    lineBuffer_.clear();
    pending_.clear();
    return Result::Failed;
}

bool HttpResponseParser::takeLine(QByteArrayView& input, int maxLine, const char* what,
                                  Result& failure) {
    const auto* lf =
        static_cast<const char*>(std::memchr(input.data(), '\n', size_t(input.size())));
    const qsizetype take = lf ? lf - input.data() + 1 : input.size();
    if (lineBuffer_.size() + take > maxLine) {
        failure = fail(QString::fromLatin1(what));
        return false;
    }
    lineBuffer_.append(input.data(), take);
    input = input.sliced(take);
    return lf != nullptr;
}

HttpResponseParser::Result HttpResponseParser::feed(QByteArrayView& input) {
    note_.clear();
    body_ = {};
    for (;;) {
        switch (state_) {
        case State::Complete:
        case State::Failed:
            input = {};
            return Result::NeedMore;
        case State::StatusLine:
        case State::HeaderLines:
        case State::Trailer: {
            if (input.isEmpty())
                return Result::NeedMore;
            Result failure = Result::Failed;
            const qsizetype before = lineBuffer_.size();
            const bool whole = takeLine(input, limits_.maxLine, "HTTP line too long", failure);
            if (state_ == State::Failed)
                return failure;
            headerBytes_ += lineBuffer_.size() - before;
            if (headerBytes_ > limits_.maxHeaderBytes)
                return fail(QStringLiteral("Response header too large: more than %1 bytes")
                                .arg(limits_.maxHeaderBytes));
            if (!whole)
                return Result::NeedMore;
            const QByteArray raw = lineBuffer_;
            lineBuffer_.clear();
            if (++headerLines_ > limits_.maxHeaderLines)
                return fail(QStringLiteral("Response header too large: more than %1 lines")
                                .arg(limits_.maxHeaderLines));
            const Result result = headerLine(raw);
            if (result != Result::NeedMore)
                return result;
            break;
        }
        case State::Body:
            if (!pending_.isEmpty()) {
                // The first line of a headerless response, kept until the next
                // call so that the view stays valid.
                delivered_ = std::exchange(pending_, QByteArray());
                body_ = QByteArrayView(delivered_);
                bodyReceived_ += delivered_.size();
                return Result::Body;
            }
            if (framing_ == Framing::Length && remaining_ == 0) {
                state_ = State::Complete;
                return Result::Complete;
            }
            if (input.isEmpty())
                return Result::NeedMore;
            if (framing_ == Framing::Length) {
                const qsizetype take = qsizetype(qMin<qint64>(remaining_, input.size()));
                body_ = input.first(take);
                input = input.sliced(take);
                remaining_ -= take;
            } else {
                body_ = input;
                input = {};
            }
            bodyReceived_ += body_.size();
            return Result::Body;
        case State::ChunkSize: {
            if (input.isEmpty())
                return Result::NeedMore;
            Result failure = Result::Failed;
            if (!takeLine(input, limits_.maxChunkLine, "Chunk-size line too long", failure))
                return state_ == State::Failed ? failure : Result::NeedMore;
            const QByteArray raw = lineBuffer_;
            lineBuffer_.clear();
            const Result result = chunkSizeLine(raw);
            if (result != Result::NeedMore)
                return result;
            break;
        }
        case State::ChunkData: {
            if (input.isEmpty())
                return Result::NeedMore;
            const qsizetype take = qsizetype(qMin<qint64>(remaining_, input.size()));
            body_ = input.first(take);
            input = input.sliced(take);
            remaining_ -= take;
            bodyReceived_ += take;
            if (remaining_ == 0)
                state_ = State::ChunkDataEnd;
            return Result::Body;
        }
        case State::ChunkDataEnd: {
            // The CR LF that closes each chunk's data.
            if (input.isEmpty())
                return Result::NeedMore;
            Result failure = Result::Failed;
            if (!takeLine(input, 2, "Chunk data not followed by a line end", failure))
                return state_ == State::Failed ? failure : Result::NeedMore;
            const QByteArray raw = lineBuffer_;
            lineBuffer_.clear();
            if (raw != "\r\n" && raw != "\n")
                return fail(QStringLiteral("Chunk data not followed by a line end"));
            state_ = State::ChunkSize;
            break;
        }
        }
    }
}

HttpResponseParser::Result HttpResponseParser::headerLine(const QByteArray& raw) {
    QByteArray bytes = raw;
    bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (state_ == State::Trailer) {
        // Trailer fields are read and dropped; the empty line ends the response.
        if (bytes.isEmpty()) {
            state_ = State::Complete;
            return Result::Complete;
        }
        return Result::NeedMore;
    }
    if (state_ == State::StatusLine) {
        if (bytes.left(6).toUpper() == "<HTML>" && !interim_) {
            // No header at all: this line is already the document.
            headerless_ = true;
            if (contentType_.isEmpty())
                contentType_ = QStringLiteral("text/html");
            pending_ = raw;
            framing_ = Framing::UntilClose;
            state_ = State::Body;
            return Result::HeaderEnd;
        }
        if (bytes.isEmpty() && interim_)
            return Result::NeedMore; // blank lines between responses
        QString reason;
        const int code = parseStatusLine(bytes, &reason);
        if (code < 0)
            return fail(QStringLiteral("Not an HTTP status line: \"%1\"")
                            .arg(QString::fromLatin1(bytes.left(80))));
        resetFields();
        statusCode_ = code;
        reasonPhrase_ = reason;
        interim_ = code >= 100 && code < 200;
        state_ = State::HeaderLines;
        if (interim_)
            return Result::NeedMore; // 100 Continue, 103 Early Hints: not the answer
        line_ = QString::fromLatin1(bytes);
        return Result::HeaderLine;
    }
    // Header lines.
    if (bytes.isEmpty()) {
        if (interim_) {
            resetFields();
            state_ = State::StatusLine;
            return Result::NeedMore;
        }
        return endOfHeader();
    }
    if (interim_)
        return Result::NeedMore;
    line_ = QString::fromLatin1(bytes);
    const int colon = line_.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const Result result =
            field(line_.left(colon).trimmed().toLower(), line_.mid(colon + 1).trimmed());
        if (result == Result::Failed)
            return result;
    }
    return Result::HeaderLine;
}

HttpResponseParser::Result HttpResponseParser::field(const QString& name, const QString& value) {
    if (name == QLatin1String("content-length")) {
        const qint64 length = decimal(value);
        if (length < 0) {
            note_ = QStringLiteral("Content-Length is not a decimal number: \"%1\"; the length "
                                   "is unknown")
                        .arg(value.left(80));
        } else if (lengthSeen_ && contentLength_ >= 0 && length != contentLength_) {
            return fail(QStringLiteral("Two different Content-Length values: %1 and %2")
                            .arg(contentLength_)
                            .arg(length));
        }
        lengthSeen_ = true;
        if (length >= 0)
            contentLength_ = length;
    } else if (name == QLatin1String("transfer-encoding")) {
        transferEncoding_ = transferEncoding_.isEmpty() ? value : transferEncoding_ + ", " + value;
    } else if (name == QLatin1String("location")) {
        location_ = value;
        hasLocation_ = true;
    } else if (name == QLatin1String("content-range")) {
        QString range = value;
        if (range.startsWith(QLatin1String("bytes"), Qt::CaseInsensitive))
            range = range.mid(5).trimmed();
        const int dash = range.indexOf(QLatin1Char('-'));
        const int slash = range.indexOf(QLatin1Char('/'));
        if (dash >= 0) {
            rangeBegin_ = range.left(dash).trimmed();
            rangeEnd_ = range.mid(dash + 1, slash < 0 ? -1 : slash - dash - 1).trimmed();
        }
        rangeTotal_ = slash < 0 ? QString() : range.mid(slash + 1).trimmed();
    } else if (name == QLatin1String("content-type")) {
        contentType_ = value.toLower();
    } else if (name == QLatin1String("www-authenticate")) {
        wwwAuthenticate_ << value;
    }
    return Result::NeedMore;
}

HttpResponseParser::Result HttpResponseParser::endOfHeader() {
    if (!transferEncoding_.isEmpty()) {
        // Only chunked is understood; it must be the last coding applied.
        const QString last = transferEncoding_.section(QLatin1Char(','), -1).trimmed().toLower();
        if (last != QLatin1String("chunked"))
            return fail(QStringLiteral("Unsupported Transfer-Encoding: %1")
                            .arg(transferEncoding_.left(80)));
        chunked_ = true;
        contentLength_ = -1; // the chunks say how long the body is
    }
    if (noBody_ || statusCode_ == 204 || statusCode_ == 304) {
        framing_ = Framing::None;
        state_ = State::Complete;
        return Result::HeaderEnd;
    }
    if (chunked_) {
        framing_ = Framing::Chunked;
        state_ = State::ChunkSize;
    } else if (contentLength_ >= 0) {
        framing_ = Framing::Length;
        remaining_ = contentLength_;
        state_ = State::Body;
    } else {
        framing_ = Framing::UntilClose;
        state_ = State::Body;
    }
    return Result::HeaderEnd;
}

HttpResponseParser::Result HttpResponseParser::chunkSizeLine(const QByteArray& raw) {
    QByteArray bytes = raw;
    bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    // Extensions after ";" are allowed and ignored.
    const int semicolon = bytes.indexOf(';');
    const QByteArray digits = (semicolon < 0 ? bytes : bytes.left(semicolon)).trimmed();
    if (digits.isEmpty() || digits.size() > 15)
        return fail(
            QStringLiteral("Bad chunk size: \"%1\"").arg(QString::fromLatin1(bytes.left(40))));
    qint64 size = 0;
    for (const char c : digits) {
        const int v = platform::hexDigit(c);
        if (v < 0)
            return fail(
                QStringLiteral("Bad chunk size: \"%1\"").arg(QString::fromLatin1(bytes.left(40))));
        size = size * 16 + v;
    }
    if (size == 0) {
        state_ = State::Trailer;
        return Result::NeedMore;
    }
    remaining_ = size;
    state_ = State::ChunkData;
    return Result::NeedMore;
}

HttpResponseParser::Result HttpResponseParser::finish(bool error) {
    switch (state_) {
    case State::Complete:
        return Result::Complete;
    case State::Failed:
        return Result::Failed;
    case State::StatusLine:
    case State::HeaderLines:
        return fail(headerLines_ == 0 && lineBuffer_.isEmpty()
                        ? QStringLiteral("Connection closed by the server before the response "
                                         "header")
                        : QStringLiteral("Connection closed by the server inside the response "
                                         "header"));
    case State::Body:
        if (framing_ == Framing::UntilClose && pending_.isEmpty()) {
            if (error)
                return fail(QStringLiteral("Connection broken during the body, after %1 bytes")
                                .arg(bodyReceived_));
            state_ = State::Complete;
            return Result::Complete;
        }
        if (framing_ == Framing::Length && remaining_ == 0) {
            state_ = State::Complete;
            return Result::Complete;
        }
        if (framing_ == Framing::Length)
            return fail(QStringLiteral("Connection closed after %1 of %2 bytes")
                            .arg(bodyReceived_)
                            .arg(contentLength_));
        return fail(QStringLiteral("Connection closed during the body"));
    case State::ChunkSize:
    case State::ChunkData:
    case State::ChunkDataEnd:
    case State::Trailer:
        return fail(QStringLiteral("Connection closed before the last chunk, after %1 bytes")
                        .arg(bodyReceived_));
    }
    return Result::Failed;
}
