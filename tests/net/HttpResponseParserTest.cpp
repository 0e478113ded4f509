// The response parser on its own: bytes in, lines, body and verdict out, with
// the input cut into pieces of every size.
#include "net/HttpResponseParser.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

using Result = HttpResponseParser::Result;

struct Outcome {
    QStringList lines;
    QByteArray body;
    bool headerEnd = false;
    Result end = Result::NeedMore; // Complete or Failed once the response is decided
    QString error;
};

// Feeds `bytes` in pieces of `piece` bytes, then (unless the response is
// already decided) ends the connection, with an error when `reset`.
Outcome parse(const QByteArray& bytes, qsizetype piece, bool head = false, bool reset = false,
              const HttpResponseParser::Limits& limits = {}) {
    HttpResponseParser parser(limits);
    parser.start(head);
    Outcome out;
    for (qsizetype at = 0; at < bytes.size() && out.end == Result::NeedMore; at += piece) {
        QByteArrayView input = QByteArrayView(bytes).sliced(at, qMin(piece, bytes.size() - at));
        for (bool more = true; more && out.end == Result::NeedMore;) {
            switch (parser.feed(input)) {
            case Result::NeedMore:
                more = false;
                break;
            case Result::HeaderLine:
                out.lines << parser.line();
                break;
            case Result::HeaderEnd:
                out.headerEnd = true;
                if (parser.completed())
                    out.end = Result::Complete;
                break;
            case Result::Body:
                out.body += parser.body().toByteArray();
                break;
            case Result::Complete:
            case Result::Failed:
                out.end = parser.failed() ? Result::Failed : Result::Complete;
                break;
            }
        }
    }
    if (out.end == Result::NeedMore)
        out.end = parser.finish(reset);
    out.error = parser.errorText();
    return out;
}

// "" expects no error at all.
bool errorMatches(const QString& error, const char* expected) {
    return *expected ? error.startsWith(QLatin1String(expected)) : error.isEmpty();
}

struct Case {
    const char* name;
    QByteArray response;
    bool complete;      // the response is a whole, successful one
    QByteArray body;    // the body delivered
    const char* error;  // start of errorText() for a failure
    bool head = false;  // the request was HEAD
    bool reset = false; // the connection ends with an error
};

TEST(HttpResponseParser, FramingAndEndingsDecideSuccess) {
    const QByteArray big(100000, 'b');
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true, "hello", ""},
        {"bytes beyond the length are not body",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", true, "he", ""},
        {"body shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nhello", false,
         "hello", "Connection closed after 5 of 9 bytes"},
        {"until close", "HTTP/1.0 200 OK\r\n\r\nhello", true, "hello", ""},
        {"until close, reset", "HTTP/1.0 200 OK\r\n\r\nhello", false, "hello",
         "Connection broken during the body", false, true},
        {"length, reset after all of it", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true,
         "hello", "", false, true},
        {"header cut short", "HTTP/1.1 200 OK\r\nContent-Le", false, "",
         "Connection closed by the server inside the response header"},
        {"nothing at all", "", false, "", "Connection closed by the server before"},
        {"bare LF line ends", "HTTP/1.0 200 OK\nContent-Length: 2\n\nhi", true, "hi", ""},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n"
         "1;ext=1\r\n \r\n6\r\nworld!\r\n0\r\nX-Trailer: t\r\n\r\n",
         true, "hello world!", ""},
        {"chunked, upper-case hex and a big chunk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n186A0\r\n" + big +
             "\r\n0\r\n\r\n",
         true, big, ""},
        {"chunked wins over a length",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n"
         "3\r\nabc\r\n0\r\n\r\n",
         true, "abc", ""},
        {"chunked without the last chunk",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", false, "abc",
         "Connection closed before the last chunk"},
        {"chunked, trailer cut", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n",
         false, "", "Connection closed before the last chunk"},
        {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n",
         false, "", "Bad chunk size"},
        {"chunk size overflowing",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n", false, "",
         "Bad chunk size"},
        {"chunk size line without end",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1" + QByteArray(2000, ' '), false,
         "", "Chunk-size line too long"},
        {"chunk data longer than its size",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n", false, "ab",
         "Chunk data not followed by a line end"},
        {"unknown transfer coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nxx", false,
         "", "Unsupported Transfer-Encoding: gzip"},
        {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc",
         false, "", "Two different Content-Length values"},
        {"HEAD ignores the length", "HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n", true, "", "",
         true},
        {"204 has no body", "HTTP/1.1 204 No Content\r\nContent-Length: 3\r\n\r\nabc", true, "",
         ""},
        {"304 has no body", "HTTP/1.1 304 Not Modified\r\n\r\n", true, "", ""},
        {"interim responses are skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>\r\n\r\n"
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         true, "ok", ""},
        {"headerless", "<HTML><body>hi</body>\r\nmore", true, "<HTML><body>hi</body>\r\nmore", ""},
        {"not a status line", "HTTP/1.1 20 OK\r\n\r\n", false, "", "Not an HTTP status line"},
        {"a field first", "Content-Length: 3\r\n\r\nabc", false, "", "Not an HTTP status line"},
    };
    for (const Case& c : cases) {
        for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(1 << 20)}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            const Outcome out = parse(c.response, piece, c.head, c.reset);
            EXPECT_EQ(out.end, c.complete ? Result::Complete : Result::Failed)
                << qPrintable(out.error);
            EXPECT_EQ(out.body, c.body);
            EXPECT_TRUE(errorMatches(out.error, c.error)) << qPrintable(out.error);
        }
    }
}

TEST(HttpResponseParser, TheHeaderIsBoundedInLinesAndBytes) {
    HttpResponseParser::Limits limits;
    limits.maxHeaderLines = 50;
    limits.maxHeaderBytes = 4096;
    limits.maxLine = 1000;
    const auto header = [](int lines, int width) {
        QByteArray bytes = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < lines; ++i)
            bytes += "X-Filler: " + QByteArray(width, 'f') + "\r\n";
        return bytes + "\r\n";
    };
    const struct {
        const char* name;
        QByteArray response;
        const char* error;
    } cases[] = {
        {"within bounds", header(40, 40), ""},
        {"too many lines", header(60, 1), "Response header too large: more than 50 lines"},
        {"too many bytes", header(40, 200), "Response header too large: more than 4096 bytes"},
        {"one line too long", header(1, 1500), "HTTP line too long"},
        {"endless interim responses",
         QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(100) + header(0, 0),
         "Response header too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome out = parse(c.response, 100, true, false, limits);
        EXPECT_EQ(out.end, *c.error ? Result::Failed : Result::Complete);
        EXPECT_TRUE(errorMatches(out.error, c.error)) << qPrintable(out.error);
    }
}

TEST(HttpResponseParser, FieldsBelongToTheFinalResponse) {
    HttpResponseParser parser;
    parser.start();
    QByteArrayView input("HTTP/1.1 103 Early Hints\r\nLocation: /hint\r\nContent-Length: 7\r\n\r\n"
                         "HTTP/1.0 301 Moved\r\nLocation: http://b/\r\nContent-Type: Text/HTML\r\n"
                         "Content-Range: bytes 10-19/100\r\nContent-Length: 10\r\n"
                         "WWW-Authenticate: Basic realm=x\r\nX-Odd-Line-Without-Colon\r\n\r\n");
    QStringList lines;
    Result result;
    while ((result = parser.feed(input)) == Result::HeaderLine)
        lines << parser.line();
    ASSERT_EQ(result, Result::HeaderEnd);
    EXPECT_EQ(lines,
              QStringList({"HTTP/1.0 301 Moved", "Location: http://b/", "Content-Type: Text/HTML",
                           "Content-Range: bytes 10-19/100", "Content-Length: 10",
                           "WWW-Authenticate: Basic realm=x", "X-Odd-Line-Without-Colon"}));
    EXPECT_EQ(parser.statusCode(), 301);
    EXPECT_EQ(parser.reasonPhrase(), QString("Moved"));
    EXPECT_EQ(parser.location(), QString("http://b/"));
    EXPECT_EQ(parser.contentType(), QString("text/html"));
    EXPECT_EQ(parser.contentLength(), 10);
    EXPECT_EQ(parser.rangeBegin(), QString("10"));
    EXPECT_EQ(parser.rangeEnd(), QString("19"));
    EXPECT_EQ(parser.rangeTotal(), QString("100"));

    // A new start forgets the last response.
    parser.start();
    EXPECT_EQ(parser.contentLength(), -1);
    EXPECT_FALSE(parser.hasLocation());
    EXPECT_EQ(parser.statusCode(), 0);
}

TEST(HttpResponseParser, StatusLines) {
    const std::pair<const char*, int> cases[] = {
        {"HTTP/1.1 200 OK", 200}, {"HTTP/1.0 404", 404},
        {"HTTP/1.1 599 x", 599},  {"HTTP/1.1 200", 200},
        {"HTTP/1.1 200OK", -1},   {"HTTP/1.1  200 OK", -1},
        {"http/1.1 200 OK", -1},  {"HTTP/1.x 200 OK", -1},
        {"HTTP/11 200 OK", -1},   {"", -1},
        {"HTTP/1.1 -20 OK", -1},  {"HTTP/1.1 20", -1},
        {"HTTP/1.1 2x0 OK", -1},  {"HTTP/1.1 2000 OK", -1},
        {"HTTP 200 OK", -1},      {"HTTP/2 200", -1},
    };
    for (auto [line, code] : cases)
        EXPECT_EQ(HttpResponseParser::parseStatusLine(line), code) << line;
}

} // namespace
