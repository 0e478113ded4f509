#include "net/FtpReply.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct ReplyCase {
    const char* name;
    QStringList lines;
    int endsAt; // index of the line that completes the reply, -1 for none
    int code;
};

TEST(FtpReplies, AReplyEndsOnlyWithItsClosingLine) {
    const ReplyCase cases[] = {
        {"single line", {"220 Ready"}, 0, 220},
        {"code alone", {"226"}, 0, 226},
        {"multi-line", {"220-Welcome", "220-more", "220 Ready"}, 2, 220},
        {"text lines inside", {"211-Features:", " MDTM", " REST STREAM", "211 End"}, 3, 211},
        {"other codes inside", {"220-Hello", "230 users max", "220-still", "220 Go"}, 3, 220},
        {"same code without blank inside", {"220-Hello", "220-x", "2201 not it", "220 ok"}, 3, 220},
        {"leading text is no reply", {"hello", "331 Password"}, 1, 331},
        {"a year is no code", {"2023 news", "200 ok"}, 1, 200},
        {"unfinished", {"150-Opening", "150-more"}, -1, -1},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ftp::ReplyAssembler assembler;
        int endsAt = -1;
        for (int i = 0; i < c.lines.size() && endsAt < 0; ++i) {
            if (assembler.addLine(c.lines[i]))
                endsAt = i;
        }
        EXPECT_EQ(endsAt, c.endsAt);
        if (endsAt >= 0) {
            EXPECT_EQ(assembler.code(), c.code);
        }
    }
}

TEST(FtpReplies, ResetDropsAHalfReceivedReply) {
    ftp::ReplyAssembler assembler;
    EXPECT_FALSE(assembler.addLine("220-Welcome"));
    assembler.reset();
    EXPECT_TRUE(assembler.addLine("331 Password"));
    EXPECT_EQ(assembler.code(), 331);
}

TEST(FtpReplies, PassiveRepliesGiveOnlyTheirPort) {
    const std::pair<const char*, int> cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1).", 1025},
        {"227 Entering Passive Mode (10,1,2,3,156,64)", 40000},
        {"227 Entering Passive Mode 192,168,0,1,0,21", 21},
        {"227 =127,0,0,1,255,255", 65535},
        {"227 Entering Passive Mode (127,0,0,1,256,1)", 0},
        {"227 Entering Passive Mode (127,0,0,1,4)", 0},
        {"227 Entering Passive Mode", 0},
        {"200 PASV ok", 0},
    };
    for (const auto& [reply, port] : cases)
        EXPECT_EQ(ftp::passivePort(reply), port) << reply;

    const std::pair<const char*, int> extended[] = {
        {"229 Entering Extended Passive Mode (|||40001|)", 40001},
        {"229 Entering Extended Passive Mode (!!!21!)", 21},
        {"229 Entering Extended Passive Mode (|||70000|)", 0},
        {"229 Entering Extended Passive Mode (|||x|)", 0},
        {"229 Entering Extended Passive Mode (|1|::1|21|)", 0},
    };
    for (const auto& [reply, port] : extended)
        EXPECT_EQ(ftp::extendedPassivePort(reply), port) << reply;
}

TEST(FtpReplies, PortArgumentsNameTheLocalEnd) {
    EXPECT_EQ(ftp::portArgument("127.0.0.1", 1025), QString("127,0,0,1,4,1"));
    EXPECT_EQ(ftp::portArgument("192.168.10.20", 65535), QString("192,168,10,20,255,255"));
    EXPECT_EQ(ftp::portArgument("::1", 1025), QString());
    EXPECT_EQ(ftp::portArgument("300.0.0.1", 1025), QString());
    EXPECT_EQ(ftp::extendedPortArgument("::1", 5000), QString("|2|::1|5000|"));
    EXPECT_EQ(ftp::extendedPortArgument("127.0.0.1", 21), QString("|1|127.0.0.1|21|"));
}

TEST(FtpReplies, TheAnnouncedSizeIsReadFromTheParentheses) {
    const std::pair<const char*, qint64> cases[] = {
        {"150 Opening BINARY mode data connection for a.zip (2048 bytes).", 2048},
        {"150 Opening data connection for a.iso ( 6442450944 bytes)", 6442450944LL},
        {"150 Opening (mode) data connection for a (12 bytes)", 12},
        {"150 Opening data connection for copy (1).bin (300 bytes).", 300},
        {"150 Opening data connection for x(5 bytes).bin (9000 bytes).", 9000},
        {"150 Opening (99999999999999999999999 bytes)", -1},
        {"150 Opening (12ab bytes)", -1},
        {"150 Opening data connection", -1},
        {"150 Opening data connection (2048)", -1},
        {"150 Opening data connection (-5 bytes)", -1},
    };
    for (const auto& [reply, size] : cases)
        EXPECT_EQ(ftp::announcedSize(reply), size) << reply;
}

TEST(FtpReplies, TheSummaryGivesBytesWholeSecondsAndRate) {
    const std::tuple<qint64, qint64, const char*> cases[] = {
        {0, 0, "! 0 bytes received/sent in 0 seconds"},
        {1000, 500, "! 1000 bytes received/sent in 0 seconds (2000 Bytes/sec)"},
        // Below 32768 bytes the count is scaled first; from there on it is divided first.
        {32767, 3000, "! 32767 bytes received/sent in 3 seconds (10922 Bytes/sec)"},
        {32768, 3000, "! 32768 bytes received/sent in 3 seconds (10000 Bytes/sec)"},
        {5368709120LL, 2500,
         "! 5368709120 bytes received/sent in 2 seconds (2147483000 Bytes/sec)"},
    };
    for (const auto& [bytes, ms, text] : cases)
        EXPECT_EQ(ftp::transferSummary(bytes, ms), QString(text));
}

} // namespace
