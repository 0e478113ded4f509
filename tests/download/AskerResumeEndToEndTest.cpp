// An abort part-way and a resume through the dialog against a real vsftpd end in the
// server's file byte for byte, with the dialog's choices in its record.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include "AskerFixture.h"
#include "VsftpdServer.h"
#include "library/FileRecord.h"
#include "net/FtpCli.h"
#include "platform/Dates.h"

namespace {

TEST(AskerResumeEndToEnd, AnAbortAtFortyPercentResumesToTheSameFile) {
    const qint64 size = 4 * 1024 * 1024 + 321;
    const QByteArray content = qbtest::randomBytes(size, 57);
    qbtest::VsftpdServer vsftpd(false, "anon_max_rate=4000000");
    ASSERT_TRUE(vsftpd.isRunning()) << qPrintable(vsftpd.error());
    ASSERT_TRUE(vsftpd.addFile("pub/big.bin", content));
    qbtest::AskerFixture f;
    const QString url = vsftpd.url("pub/big.bin");
    TfrmAsker* dialog = f.open(url);
    ASSERT_EQ(dialog->Protocol, "ftp");
    dialog->edtDesc->setText("Big 2.1");
    dialog->cbAutoDelete->setChecked(true);
    dialog->meDeleteDays->setText("21");
    f.abortAt(size * 4 / 10);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle(30000));
    const QByteArray part = qbtest::readFile(f.path("big.bin"));
    ASSERT_GE(part.size(), size * 4 / 10);
    ASSERT_LT(part.size(), size) << "the transfer ended before the abort";
    EXPECT_EQ(part, content.left(part.size()));
    EXPECT_TRUE(f.boxes.boxes().isEmpty());
    EXPECT_TRUE(f.log().filter(QRegularExpression("^FTP Error#")).isEmpty());
    EXPECT_TRUE(dialog->Button2->isEnabled());

    // The resume ends in the auto-exit: the dialog goes once the handler has returned.
    f.boxes.answer(platform::IDOK);
    dialog->cbClose->setChecked(true);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle(60000));
    EXPECT_TRUE(f.logHas(QString("> REST %1").arg(part.size()))) << qPrintable(f.logText());
    // One RETR per press, each announcing the whole file.
    EXPECT_EQ(f.log().filter(QRegularExpression("^< 150 .*\\(4194625 bytes\\)")).size(), 2);
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(f.path("big.bin"))), qbtest::sha256(content));
    EXPECT_EQ(f.boxes.texts(), QStringList({qbtest::completeNotice("big.bin")}));
    EXPECT_EQ(dialog->stats().value(), size);
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_EQ(dialog->ftp->State(), ftpReady);
    EXPECT_FALSE(dialog->ftp->Connected());
    const library::FileRecord record(f.recordFile(), "big.bin");
    namespace key = library::RecordKey;
    EXPECT_EQ(record.readString(key::Desc), "Big 2.1");
    EXPECT_EQ(record.readString(key::Source), url);
    EXPECT_EQ(record.readString(key::Delete), "1");
    EXPECT_EQ(record.readString(key::DeleteDays), "21");
    EXPECT_EQ(record.readString(key::DateDownloaded), platform::todayStamp());
    EXPECT_EQ(record.readString(key::LastOpened), "Never");
    EXPECT_FALSE(dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.dialog.isNull());
}

} // namespace
