// The download dialog fetching from a real vsftpd: an ftp:// hand-off, a resume, the
// auto-exit, and an HTTP redirect that hands the download over to FTP.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "AskerFixture.h"
#include "VsftpdServer.h"
#include "library/FileRecord.h"
#include "net/FtpCli.h"
#include "platform/MessageLoop.h"

using qbtest::AskerFixture;
using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;
using qbtest::VsftpdServer;

namespace {

const QByteArray kFile = qbtest::randomBytes(700000, 21);

struct HandOffCase {
    const char* name;
    qint64 local; // bytes already on disk; -1: none
    bool autoExit;
};

TEST(AskerFtpVsftpd, AnFtpHandOffLandsByteIdenticalWithItsRecord) {
    const HandOffCase cases[] = {
        {"fresh", -1, false},
        {"resumed after 1000 bytes", 1000, false},
        {"auto-exit", -1, true},
    };
    VsftpdServer server;
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.error());
    ASSERT_TRUE(server.addFile("pub/tool.bin", kFile));
    for (const HandOffCase& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        f.boxes.answer(platform::IDOK);
        const QString local = f.folderDir() + "tool.bin";
        if (c.local >= 0) {
            ASSERT_TRUE(qbtest::writeFile(local, kFile.left(c.local)));
        }
        const QString url = server.url("pub/tool.bin");
        TfrmAsker* dialog = f.open(url);
        ASSERT_EQ(dialog->Protocol, "ftp");
        dialog->cbClose->setChecked(c.autoExit);
        f.press();

        EXPECT_EQ(qbtest::readFile(local), kFile);
        const library::FileRecord record(f.recordFile(), "tool.bin");
        EXPECT_EQ(record.readString(library::RecordKey::Source), url);
        EXPECT_EQ(record.readString(library::RecordKey::Desc), "A test download");
        if (c.autoExit) {
            // The dialog closes itself and goes once the handler has returned.
            ASSERT_FALSE(f.dialog.isNull());
            EXPECT_FALSE(dialog->isVisible());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(f.dialog.isNull());
            continue;
        }
        ASSERT_TRUE(f.dialog);
        EXPECT_EQ(f.log().contains(QString("> REST %1").arg(c.local)), c.local > 0);
        EXPECT_TRUE(f.log().filter(QRegularExpression("^< 150 .*\\(700000 bytes\\)")).size() == 1)
            << qPrintable(f.log().join('\n'));
        EXPECT_EQ(dialog->stats().value(), kFile.size());
        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_EQ(dialog->ftp->State(), ftpReady);
        EXPECT_FALSE(dialog->ftp->Connected());
    }
}

TEST(AskerFtpVsftpd, AnHttpRedirectToFtpDownloadsIntoTheLibrary) {
    VsftpdServer ftpServer;
    ASSERT_TRUE(ftpServer.isRunning()) << qPrintable(ftpServer.error());
    ASSERT_TRUE(ftpServer.addFile("pub/file", kFile));
    const QByteArray target =
        QString("ftp://127.0.0.1:%1/pub/file").arg(ftpServer.port()).toLatin1();
    ScriptedServer web([target](ScriptedConnection& c) {
        if (!c.readRequestHeader().isEmpty())
            c.send("HTTP/1.0 302 Found\r\nLocation: " + target + "\r\n\r\n");
    });
    AskerFixture f;
    f.boxes.answer(platform::IDOK);
    TfrmAsker* dialog = f.open(web.url("/get/tool.bin"));
    f.press();

    EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kFile);
    EXPECT_TRUE(f.logHas("Quillbay is redirecting to: " + target))
        << qPrintable(f.log().join('\n'));
    EXPECT_EQ(dialog->edtSource->currentText(), target);
    const library::FileRecord record(f.recordFile(), "tool.bin");
    EXPECT_EQ(record.readString(library::RecordKey::Source), target);
    // Only the probe went to the web server: the file came over FTP.
    EXPECT_EQ(web.connectionCount(), 1);
    EXPECT_TRUE(f.logHas("> RETR file"));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->Button2->isEnabled());
}

// In a chrooted anonymous area the login directory is the top: a file there downloads
// without any CWD, and one in a folder with a CWD relative to it.
TEST(AskerFtpVsftpd, PathsStartWhereTheLoginLeavesTheClient) {
    VsftpdServer server;
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.error());
    ASSERT_TRUE(server.addFile("tool.bin", kFile));
    ASSERT_TRUE(server.addFile("a/b/tool.bin", kFile));
    for (const char* path : {"tool.bin", "a/b/tool.bin", "%2Fa/b/tool.bin"}) {
        SCOPED_TRACE(path);
        AskerFixture f;
        f.boxes.answer(platform::IDOK);
        f.open(server.url(path), QString("tool.bin"));
        f.press();
        ASSERT_TRUE(f.waitUntilIdle(20000));
        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kFile);
        const QStringList cwds = f.log().filter(QRegularExpression("^> CWD"));
        EXPECT_EQ(cwds.isEmpty(), QString(path) == "tool.bin") << qPrintable(cwds.join('|'));
    }
}

} // namespace
