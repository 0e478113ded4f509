// The download dialog's FTP side against scripted FTP servers on loopback.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <atomic>
#include <memory>
#include <utility>

#include "AskerFixture.h"
#include "FtpTestServer.h"
#include "net/FtpCli.h"
#include "widgets/TProgressColumn.h"

using ftptest::FtpSession;
using ftptest::FtpTestServer;
using qbtest::AskerFixture;
using qbtest::completeNotice;

namespace {

const QString kRestartQuestion =
    "A partial copy of this file exists on your system already, however this site does not "
    "permit download resuming.  Would you like to restart the download from the beginning?";

// The size a RETR's 150 reply names: the whole file's (as vsftpd does), only what follows
// the REST offset, or none.
enum class Announce { Whole, Rest, None };

// A RETR that sends `file` from the REST offset, which holds for one transfer only.
void serveFile(FtpSession& s, const QByteArray& file, Announce announce = Announce::Whole,
               qint64 holdAfter = 0, std::shared_ptr<std::atomic<bool>> release = {}) {
    const QByteArray rest = file.mid(std::exchange(s.restOffset, 0));
    const qint64 size = announce == Announce::Whole  ? file.size()
                        : announce == Announce::Rest ? rest.size()
                                                     : -2;
    FtpTestServer::sendFile(s, rest, {size, holdAfter, std::move(release)});
}

// A scripted server serving `file` at /pub/tool.bin and a dialog opened on it the way
// an ftp:// hand-off opens one.
struct FtpDialog {
    explicit FtpDialog(const QByteArray& bytes) : file(bytes) {
        server.on("RETR", [this](FtpSession& s, const QByteArray&) { serveFile(s, file); });
    }
    TfrmAsker* open(const QString& path = "pub/tool.bin") {
        server.start();
        TfrmAsker* d = f.open(QString("ftp://127.0.0.1:%1/%2").arg(server.port()).arg(path),
                              QString("tool.bin"));
        // Every count the client reports reaches the dialog through this wrapper.
        auto inner = d->ftp->OnProgress;
        d->ftp->OnProgress = [this, inner](TFtpClient& c, qint64 count, bool& abort) {
            counts << count;
            inner(c, count, abort);
        };
        return d;
    }
    QString local() const { return f.path(); }
    QStringList errorLines() const { return f.log().filter(QRegularExpression("^FTP Error#")); }
    void expectIdle() const {
        ASSERT_TRUE(f.dialog);
        EXPECT_FALSE(f.dialog->isDownloading());
        EXPECT_TRUE(f.dialog->Button2->isEnabled());
        EXPECT_TRUE(f.dialog->edtName->isEnabled());
        EXPECT_EQ(f.dialog->ftp->State(), ftpReady);
    }

    const QByteArray file;
    FtpTestServer server;
    AskerFixture f;
    QList<qint64> counts;
};

// The completion runs once, after 226, for the whole file, whatever size the 150 reply names
// (the data waits past where a rest-only size would "end"); no size shows activity.
TEST(AskerFtp, DownloadsOrResumesTheFileAndRunsTheCompletionOnce) {
    struct Case {
        const char* name;
        qint64 size;
        qint64 local; // bytes of the file already on disk; -1: no local file
        Announce announce = Announce::Whole;
    };
    const Case cases[] = {
        {"no local file", 2048, -1},
        {"1000 bytes on disk", 5000, 1000},
        {"empty local file", 3000, 0},
        {"150 counts the rest", 60000, 10000, Announce::Rest},
        {"no size named", 40000, -1, Announce::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtpDialog t(qbtest::randomBytes(c.size, 3));
        const qint64 local = std::max<qint64>(c.local, 0);
        auto release = std::make_shared<std::atomic<bool>>(false);
        t.server.on("RETR", [&](FtpSession& s, const QByteArray&) {
            serveFile(s, t.file, c.announce, c.size - local - 1000, release);
        });
        t.f.boxes.answer(platform::IDOK);
        if (c.local >= 0) {
            ASSERT_TRUE(qbtest::writeFile(t.local(), t.file.left(c.local)));
        }
        TfrmAsker* dialog = t.open();
        qint64 sizeAtNotice = -1;
        t.f.boxes.onBox([&](const auto&) { sizeAtNotice = QFileInfo(t.local()).size(); });
        bool activity = false;
        bool sizeKnown = false;
        qbtest::whenTrue(
            dialog, [&] { return dialog->stats().value() >= c.size - 1000; },
            [&] {
                activity = dialog->dg->isIndeterminate();
                sizeKnown = dialog->stats().sizeKnown();
                QTimer::singleShot(300, dialog, [release] { *release = true; });
            });
        t.f.press();

        EXPECT_EQ(qbtest::readFile(t.local()), t.file);
        QList<QByteArray> expected = {"USER anonymous", "PASS quillbay@localhost", "CWD pub",
                                      "TYPE I", "PASV"};
        if (c.local > 0)
            expected << "REST " + QByteArray::number(c.local);
        expected << "RETR tool.bin"
                 << "QUIT";
        EXPECT_EQ(t.server.commands(), expected);
        EXPECT_EQ(activity, c.announce == Announce::None);
        EXPECT_EQ(sizeKnown, c.announce != Announce::None);
        ASSERT_FALSE(t.counts.isEmpty());
        EXPECT_GT(t.counts.first(), local);
        EXPECT_EQ(t.counts.last(), c.size);
        EXPECT_EQ(dialog->stats().maximum(), c.size);
        EXPECT_FALSE(dialog->dg->isIndeterminate());
        EXPECT_EQ(dialog->lblFileSize->text(), QString("%1 bytes").arg(c.size));
        EXPECT_EQ(dialog->lbldlbytes->text(), QString::number(c.size));
        EXPECT_EQ(dialog->lblETA->text(), "Complete");
        EXPECT_EQ(t.f.boxes.texts(), QStringList({completeNotice()}));
        EXPECT_EQ(sizeAtNotice, c.size);
        EXPECT_TRUE(t.f.logHas("< 226 Transfer complete."));
        EXPECT_TRUE(t.f.log().filter(QRegularExpression("^Received")).isEmpty());
        EXPECT_TRUE(t.errorLines().isEmpty());
        t.expectIdle();
    }
}

// A REST answered 504 asks to restart: Yes restarts on a new connection, No keeps the part;
// other refusals show their error line. The part stays until the server really sends.
TEST(AskerFtp, ARefusedResumeAsksAndRestartsFromTheStartOrKeepsThePartialFile) {
    const QByteArray notHere = "504 Command not implemented for that parameter.";
    const QByteArray missing = "550 Failed to open file.";
    struct Case {
        const char* name;
        QByteArray rest;  // REST's reply; empty: accepted
        QByteArray retr;  // RETR's reply; empty: the file is sent
        bool local;       // a part of 1000 bytes on disk
        int answer;       // to the restart question; 0: none asked
        bool retrSent;    // a RETR reached the server
        QByteArray error; // the reply the error line names
    };
    const Case cases[] = {
        {"restart", notHere, {}, true, platform::IDYES, true, {}},
        {"keep the partial file", notHere, {}, true, platform::IDNO, false, {}},
        {"restart refused by the server", notHere, missing, true, platform::IDYES, true, missing},
        {"REST not implemented",
         "502 Command not implemented.",
         {},
         true,
         0,
         false,
         "502 Command not implemented."},
        {"missing file", {}, missing, false, 0, true, missing},
    };
    const QByteArray partial(1000, 'p');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtpDialog t(qbtest::randomBytes(6000, 9));
        if (!c.rest.isEmpty())
            t.server.on("REST", [&c](FtpSession& s, const QByteArray&) { s.reply(c.rest); });
        if (!c.retr.isEmpty())
            t.server.on("RETR", [&c](FtpSession& s, const QByteArray&) { s.reply(c.retr); });
        if (c.local) {
            ASSERT_TRUE(qbtest::writeFile(t.local(), partial));
        }
        const bool completes = c.error.isEmpty() && c.answer == platform::IDYES;
        if (c.answer)
            t.f.boxes.answer(c.answer);
        if (completes)
            t.f.boxes.answer(platform::IDOK);
        t.open();
        t.f.press();

        ASSERT_EQ(t.f.boxes.boxes().size(), (c.answer ? 1 : 0) + (completes ? 1 : 0));
        if (c.answer) {
            EXPECT_EQ(t.f.boxes.boxes().first().text, kRestartQuestion);
            EXPECT_EQ(t.f.boxes.boxes().first().caption, "Can't resume download");
            EXPECT_TRUE(t.f.logHas("Site does not permit download resuming."));
        }
        const QList<QByteArray> verbs = t.server.verbs();
        EXPECT_EQ(verbs.count("REST"), c.local ? 1 : 0);
        EXPECT_EQ(verbs.contains("RETR"), c.retrSent);
        EXPECT_EQ(t.errorLines(), c.error.isEmpty()
                                      ? QStringList()
                                      : QStringList({"FTP Error#" + c.error.left(3) +
                                                     " - last Response was: '" + c.error + "'"}));
        if (completes) {
            EXPECT_EQ(t.f.boxes.texts().value(1), completeNotice());
            EXPECT_EQ(verbs.mid(verbs.indexOf("REST") + 1),
                      QList<QByteArray>({"USER", "PASS", "CWD", "TYPE", "PASV", "RETR", "QUIT"}));
            EXPECT_EQ(qbtest::readFile(t.local()), t.file);
        } else if (c.local) {
            EXPECT_EQ(qbtest::readFile(t.local()), partial);
        } else {
            EXPECT_FALSE(QFileInfo::exists(t.local()));
        }
        t.expectIdle();
    }
}

// An ftp URL's path is relative to where the login leaves the client (here not the root, so
// "CWD /" would leave it); only "%2F" names the root.
TEST(AskerSoundFtp, PathsAreRelativeToTheLoginDirectory) {
    struct Case {
        const char* path;
        QList<QByteArray> cwds;
        QByteArray dir; // where the file is
    };
    const Case cases[] = {
        {"tool.bin", {}, "/home/u"},
        {"a/b/tool.bin", {"CWD a/b"}, "/home/u/a/b"},
        {"%2Fpub/tool.bin", {"CWD /pub"}, "/pub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FtpDialog t(qbtest::randomBytes(5000, 31));
        auto cwd = std::make_shared<QByteArray>("/home/u");
        t.server.on("CWD", [cwd](FtpSession& s, const QByteArray& arg) {
            *cwd = arg.startsWith('/') ? arg : *cwd + "/" + arg;
            s.reply("250 Directory successfully changed.");
        });
        t.server.on("RETR", [&, cwd](FtpSession& s, const QByteArray&) {
            if (*cwd == c.dir)
                serveFile(s, t.file);
            else
                s.reply("550 Failed to open file.");
        });
        t.f.boxes.answer(platform::IDOK);
        t.open(c.path);
        t.f.press();
        ASSERT_TRUE(t.f.waitUntilIdle(20000));

        QList<QByteArray> cwds = t.server.commands();
        cwds.removeIf([](const QByteArray& command) { return !command.startsWith("CWD"); });
        EXPECT_EQ(cwds, c.cwds);
        EXPECT_EQ(qbtest::readFile(t.local()), t.file);
        EXPECT_EQ(t.f.boxes.texts(), QStringList({completeNotice()}));
    }
}

} // namespace
