// The download dialog fetching from a real vsftpd: an ftp:// hand-off, a resume and the
// auto-exit.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QRegularExpression>

#include "AskerFixture.h"
#include "VsftpdServer.h"
#include "library/FileRecord.h"
#include "net/FtpCli.h"

using qbtest::AskerFixture;
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

} // namespace
