#include <gtest/gtest.h>

#include <QList>

#include "PlatformFakes.h"
#include "platform/RequestFrame.h"

using platform::Request;
using platform::RequestReader;
using qbtest::handOffRequest;
using qbtest::probeRequest;

namespace {

// Feeds `bytes` in pieces of `piece` bytes and collects what comes out.
QList<Request> readAll(const QByteArray& bytes, qsizetype piece, RequestReader::Status* last) {
    RequestReader reader;
    QList<Request> out;
    *last = RequestReader::NeedMore;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        EXPECT_TRUE(reader.append(bytes.mid(at, piece)));
        Request r;
        while ((*last = reader.next(r)) == RequestReader::Complete)
            out << r;
        if (*last == RequestReader::Malformed)
            break;
    }
    return out;
}

TEST(RequestFrame, RequestsComeOutWholeHoweverTheBytesArrive) {
    const QByteArray stream =
        platform::encodeRequest(handOffRequest("\x05hello", 1)) +
        platform::encodeRequest(probeRequest()) +
        platform::encodeRequest(handOffRequest(QByteArray(), 0xFFFFFFFFFFull)) +
        platform::encodeRequest(handOffRequest(QByteArray(3000, 'x')));
    for (qsizetype piece : {qsizetype(1), qsizetype(3), qsizetype(16), stream.size()}) {
        SCOPED_TRACE(piece);
        RequestReader::Status last;
        const QList<Request> got = readAll(stream, piece, &last);
        EXPECT_EQ(last, RequestReader::NeedMore);
        ASSERT_EQ(got.size(), 4);
        EXPECT_EQ(got[0].message, platform::WM_COPYDATA);
        EXPECT_EQ(got[0].copyData.dwData, 1u);
        EXPECT_EQ(got[0].copyData.lpData, "\x05hello");
        EXPECT_EQ(got[1].message, platform::WM_CONTENTPROBE);
        EXPECT_EQ(got[2].copyData.dwData, 0xFFFFFFFFFFull);
        EXPECT_TRUE(got[2].copyData.lpData.isEmpty());
        EXPECT_EQ(got[3].copyData.lpData, QByteArray(3000, 'x'));
    }
}

TEST(RequestFrame, WireLayoutIsLittleEndian) {
    EXPECT_EQ(platform::encodeRequest(probeRequest()), QByteArray("\xE8\x07\x00\x00", 4));
    EXPECT_EQ(platform::encodeRequest(handOffRequest("ab", 0x0102)),
              QByteArray("\x4A\x00\x00\x00"
                         "\x02\x01\x00\x00\x00\x00\x00\x00"
                         "\x02\x00\x00\x00"
                         "ab",
                         18));
    EXPECT_EQ(platform::decodeReply(platform::encodeReply(-5)), -5);
    EXPECT_EQ(platform::decodeReply(platform::encodeReply(0)), 0);
    EXPECT_FALSE(platform::decodeReply("1234567").has_value());
}

TEST(RequestFrame, BadFramesAreMalformedAndStaySo) {
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    QByteArray oversized("\x4A\x00\x00\x00"
                         "\x00\x00\x00\x00\x00\x00\x00\x00",
                         12);
    const quint32 tooBig = quint32(platform::kMaxCopyData + 1);
    oversized.append(reinterpret_cast<const char*>(&tooBig), 4);
    const Case cases[] = {
        {"unknown message", QByteArray("\x11\x00\x00\x00", 4)},
        {"record larger than allowed", oversized},
        {"garbage after a good request",
         platform::encodeRequest(probeRequest()) + QByteArray("GET / HTTP/1.0\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RequestReader reader;
        ASSERT_TRUE(reader.append(c.bytes));
        Request r;
        RequestReader::Status status;
        while ((status = reader.next(r)) == RequestReader::Complete) {
        }
        EXPECT_EQ(status, RequestReader::Malformed);
        // More bytes, even a good request, do not revive it.
        reader.append(platform::encodeRequest(probeRequest()));
        EXPECT_EQ(reader.next(r), RequestReader::Malformed);
    }
}

TEST(RequestFrame, TheBufferNeverGrowsPastOneLargestFrame) {
    RequestReader reader;
    const QByteArray largest =
        platform::encodeRequest(handOffRequest(QByteArray(platform::kMaxCopyData, 'z')));
    ASSERT_EQ(largest.size(), platform::kMaxRequestFrame);
    EXPECT_FALSE(reader.append(largest + "x"));
    EXPECT_TRUE(reader.empty());
    ASSERT_TRUE(reader.append(largest));
    EXPECT_EQ(reader.room(), 0);
    Request r;
    ASSERT_EQ(reader.next(r), RequestReader::Complete);
    EXPECT_EQ(r.copyData.lpData.size(), platform::kMaxCopyData);
    EXPECT_EQ(reader.room(), platform::kMaxRequestFrame);
}

} // namespace
