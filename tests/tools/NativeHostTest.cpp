#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstring>

#include "NativeMessaging.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "platform/ProbeBlock.h"
#include "platform/RequestServer.h"
#include "setup/NativeHostManifests.h"

namespace {

using nativehost::Outcome;

QByteArray framed(const QList<QByteArray>& messages) {
    QByteArray bytes;
    for (const QByteArray& message : messages)
        bytes += nativehost::frame(message);
    return bytes;
}

// Cuts the host's output into its replies; a reply that breaks off is left out.
QList<QJsonObject> replies(QByteArray output) {
    QList<QJsonObject> result;
    while (output.size() >= 4) {
        quint32 length;
        std::memcpy(&length, output.constData(), 4);
        if (output.size() < 4 + qsizetype(length))
            break;
        result << QJsonDocument::fromJson(output.mid(4, length)).object();
        output.remove(0, 4 + length);
    }
    return result;
}

// Stands in for the program: records what reaches it and answers as told.
struct FakeProgram : nativehost::Program {
    int calls = 0;
    QList<QByteArray> records;
    Outcome answer{Outcome::Done, 1, true, true, {}};
    Outcome status() override { return ++calls, answer; }
    Outcome probe(const QString&) override { return ++calls, answer; }
    Outcome handOff(const QByteArray& record) override {
        records << record;
        return ++calls, answer;
    }
};

// Runs serve() over `input`, handed over `chunk` bytes at a time.
struct Served {
    int code = -1;
    QList<QJsonObject> replies;
};
Served serveBytes(const QByteArray& input, FakeProgram& program, qint64 chunk = 1 << 20) {
    qsizetype at = 0;
    QByteArray output;
    Served served;
    served.code = nativehost::serve(
        [&](char* buffer, qint64 size) {
            const qint64 n = std::min({size, chunk, qint64(input.size() - at)});
            std::memcpy(buffer, input.constData() + at, size_t(n));
            at += n;
            return n;
        },
        [&](QByteArrayView bytes) {
            output.append(bytes.data(), bytes.size());
            return true;
        },
        program);
    served.replies = replies(output);
    return served;
}

QByteArray record(const QByteArray& counted) {
    return char(counted.size()) + counted;
}

TEST(NativeHostMessages, EveryMalformedRequestGetsAnErrorAndReachesNothing) {
    const QByteArray longUrl = "http://h/" + QByteArray(1100, 'x') + ".zip";
    const QByteArray handOffTooLong = "http://h/" + QByteArray(250, 'x');
    struct Case {
        QByteArray json;
        const char* error;
    };
    const Case cases[] = {
        {"", "bad-request"},
        {"not json", "bad-request"},
        {"[1,2]", "bad-request"},
        {"\"probe\"", "bad-request"},
        {R"({"url":"http://h/a.zip"})", "bad-request"},
        {R"({"type":7})", "bad-request"},
        {R"({"type":"delete","url":"http://h/a.zip"})", "bad-request"},
        {R"({"type":"probe"})", "bad-request"},
        {R"({"type":"probe","url":""})", "bad-request"},
        {R"({"type":"probe","url":["http://h/a.zip"]})", "bad-request"},
        {R"({"type":"probe","url":"http://h/a\r\nb.zip"})", "bad-request"},
        {R"x({"type":"probe","url":"javascript:alert(1)"})x", "bad-request"},
        {R"({"type":"probe","url":"file:///etc/passwd"})", "bad-request"},
        {R"({"type":"probe","url":")" + longUrl + R"("})", "too-long"},
        {R"({"type":"handoff","url":"http://h/a.zip"})", "bad-request"},
        {R"({"type":"handoff","source":"ftp","url":"http://h/a.zip"})", "bad-request"},
        {R"({"type":"handoff","source":"IE","url":"http://h/a.zip"})", "bad-request"},
        {R"({"type":"handoff","source":"http","url":"http://h/a.zip","description":5})",
         "bad-request"},
        {R"({"type":"handoff","source":"http","url":")" + handOffTooLong + R"("})", "too-long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.left(80).constData());
        FakeProgram program;
        const Served served = serveBytes(framed({c.json}), program);
        EXPECT_EQ(served.code, 0);
        ASSERT_EQ(served.replies.size(), 1);
        EXPECT_EQ(served.replies[0]["ok"], false);
        EXPECT_EQ(served.replies[0]["error"].toString(), c.error);
        EXPECT_FALSE(served.replies[0]["message"].toString().isEmpty());
        EXPECT_EQ(program.calls, 0);
    }
}

TEST(NativeHostMessages, RequestsReachTheProgramAsTheRecordsItReads) {
    FakeProgram program;
    const Served served = serveBytes(
        framed(
            {R"({"type":"handoff","source":"http","url":"http://h/d/a.zip","description":"A\r\nB","id":1})",
             R"({"type":"handoff","source":"http","url":"HTTPS://h/b.zip","id":"two"})",
             R"({"type":"handoff","source":"ftp","url":"ftp://h/pub/c.iso","description":null})"}),
        program);
    ASSERT_EQ(served.replies.size(), 3);
    for (const QJsonObject& reply : served.replies)
        EXPECT_EQ(reply["ok"], true);
    EXPECT_EQ(served.replies[0]["id"], 1);
    EXPECT_EQ(served.replies[1]["id"], "two");
    EXPECT_FALSE(served.replies[2].contains("id"));
    // A title is one line in the dialog: its line breaks become blanks.
    EXPECT_EQ(program.records, QList<QByteArray>({record("http\rhttp://h/d/a.zip\rA  B"),
                                                  record("http\rHTTPS://h/b.zip\r"),
                                                  record("ftp\rftp://h/pub/c.iso\r")}));

    // A request the program did not answer is an error the extension sees.
    program.answer = {Outcome::Failed, 0, false, false, "The receiver did not answer"};
    const Served failed =
        serveBytes(framed({R"({"type":"probe","url":"http://h/a.zip"})"}), program);
    ASSERT_EQ(failed.replies.size(), 1);
    EXPECT_EQ(failed.replies[0], QJsonObject({{"ok", false},
                                              {"error", "failed"},
                                              {"message", "The receiver did not answer"}}));
}

TEST(NativeHostMessages, FramingIsBoundedAndStaysInStep) {
    const QByteArray status = R"({"type":"status"})";
    FakeProgram program;
    // An oversized message is skipped unread; the one after it is answered as usual, however
    // the bytes arrive.
    QByteArray input = nativehost::frame(QByteArray(nativehost::kMaxRequestBytes + 1, ' '));
    input += framed({status});
    for (const qint64 chunk : {qint64(1), qint64(7), qint64(1 << 20)}) {
        const Served served = serveBytes(input, program, chunk);
        EXPECT_EQ(served.code, 0);
        ASSERT_EQ(served.replies.size(), 2);
        EXPECT_EQ(served.replies[0]["error"], "too-long");
        EXPECT_EQ(served.replies[1]["ok"], true);
    }

    // A message that breaks off is answered with an error and ends the host; so does a length
    // that breaks off, silently.
    Served served = serveBytes(framed({status}) + framed({status}).left(10), program);
    EXPECT_EQ(served.code, 1);
    ASSERT_EQ(served.replies.size(), 2);
    EXPECT_EQ(served.replies[1]["error"], "bad-request");
    served = serveBytes(framed({status}) + QByteArray(2, '\0'), program);
    EXPECT_EQ(served.code, 1);
    EXPECT_EQ(served.replies.size(), 1);
    // A length announcing more than will ever come is never waited for beyond the input's end.
    QByteArray huge(4, '\xff');
    served = serveBytes(huge + "{}", program);
    EXPECT_EQ(served.code, 1);
    EXPECT_TRUE(served.replies.isEmpty());
}

// The host executable as Firefox starts it (the manifest's path and the extension's ID as
// arguments), talking to a receiver in this process that stands in for the tray window.
class NativeHostProcess : public ::testing::Test {
protected:
    // Runs the host on `messages` to its end while this thread serves the receivers.
    QList<QJsonObject> exchange(const QList<QByteArray>& messages) {
        QProcess host;
        host.start(QStringLiteral(QB_BIN_DIR "/") + setup::kNativeHostFileName,
                   {home.folder() + "example.verrin.quillbay.json", setup::kFirefoxExtensionId});
        if (!host.waitForStarted(10000))
            return {};
        host.write(framed(messages));
        host.closeWriteChannel();
        const bool ended =
            qbtest::pumpUntil([&] { return host.state() == QProcess::NotRunning; }, 60000);
        EXPECT_TRUE(ended);
        EXPECT_EQ(host.exitCode(), 0) << host.readAllStandardError().constData();
        return replies(host.readAllStandardOutput());
    }

    qbtest::TempHome home;
};

// Not running, running with interception off (reachable, but no request reaches it), and
// running and intercepting.
TEST_F(NativeHostProcess, AnswersAFirefoxShapedExchangeOnlyForAnInterceptingProgram) {
    const QList<QByteArray> messages = {
        R"({"type":"status"})", R"({"type":"probe","url":"http://h/a.zip"})",
        R"({"type":"handoff","source":"http","url":"http://h/a.zip"})"};
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running);
        int served = 0;
        platform::RequestServer disabled(
            [&](const platform::Request&) { return qint64(++served); });
        ASSERT_TRUE(!running || disabled.listen("QBY - Download Detect Disabled"));
        const QList<QJsonObject> answers = exchange(messages);
        ASSERT_EQ(answers.size(), 3);
        EXPECT_EQ(answers[0],
                  QJsonObject({{"ok", true}, {"reachable", running}, {"intercepting", false}}));
        EXPECT_EQ(answers[1]["error"], "not-running");
        EXPECT_EQ(answers[2]["error"], "not-running");
        EXPECT_EQ(served, 0);
    }

    QList<platform::Request> handedOff;
    QList<QByteArray> probed;
    platform::RequestServer tray([&](const platform::Request& request) {
        if (request.message == platform::WM_COPYDATA) {
            handedOff << request;
        } else {
            platform::ProbeBlock block;
            if (block.openExisting() == platform::ProbeBlock::Opened) {
                probed << block.field(0);
                block.setAnswer(block.field(0).endsWith(".zip") ? 1 : 0);
            }
        }
        return qint64(0);
    });
    ASSERT_TRUE(tray.listen("QBY"));
    const QList<QJsonObject> answers = exchange(
        {R"({"type":"status","id":1})", R"({"type":"probe","url":"http://h/a.zip","id":2})",
         R"({"type":"probe","url":"http://h/notes.txt","id":3})",
         R"({"type":"handoff","source":"http","url":"http://h/a.zip","description":"Files","id":4})"});
    ASSERT_EQ(answers.size(), 4);
    EXPECT_EQ(answers[0],
              QJsonObject({{"ok", true}, {"reachable", true}, {"intercepting", true}, {"id", 1}}));
    EXPECT_EQ(answers[1], QJsonObject({{"ok", true}, {"verdict", 1}, {"id", 2}}));
    EXPECT_EQ(answers[2], QJsonObject({{"ok", true}, {"verdict", 0}, {"id", 3}}));
    EXPECT_EQ(answers[3], QJsonObject({{"ok", true}, {"id", 4}}));
    EXPECT_EQ(probed, QList<QByteArray>({"http://h/a.zip", "http://h/notes.txt"}));
    ASSERT_EQ(handedOff.size(), 1);
    EXPECT_EQ(handedOff[0].copyData.lpData, record("http\rhttp://h/a.zip\rFiles"));
}

} // namespace
