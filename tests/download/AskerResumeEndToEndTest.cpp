// An abort part-way and a resume through the dialog, against real servers: the file that
// arrives is the server's, byte for byte, the notice comes once, and the record holds the
// dialog's choices.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "AskerFixture.h"
#include "NginxServer.h"
#include "VsftpdServer.h"
#include "library/FileRecord.h"
#include "platform/Dates.h"

namespace {

const qint64 kSize = 4 * 1024 * 1024 + 321;

// Presses Download, aborts once 40 % have arrived, checks the part, presses Download again.
void abortAtFortyPercentAndResume(qbtest::AskerFixture& f, const QString& url,
                                  const QByteArray& content) {
    TfrmAsker* dialog = f.open(url);
    dialog->edtDesc->setText("Big 2.1");
    dialog->cbAutoDelete->setChecked(true);
    dialog->meDeleteDays->setText("21");
    const qint64 abortAt = kSize * 4 / 10;
    f.abortAt(abortAt);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle(30000));
    const QByteArray part = qbtest::readFile(f.folderDir() + "big.bin");
    ASSERT_GE(part.size(), abortAt);
    ASSERT_LT(part.size(), kSize) << "the transfer ended before the abort";
    EXPECT_EQ(part, content.left(part.size()));
    EXPECT_TRUE(f.boxes.texts().isEmpty());

    f.boxes.answer(platform::IDOK);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle(60000));
    EXPECT_TRUE(f.logHas(QString("Quillbay:  Starting download at byte %1").arg(part.size())) ||
                f.log().join('\n').contains(QString("REST %1").arg(part.size())))
        << qPrintable(f.log().join('\n'));
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(f.folderDir() + "big.bin")), qbtest::sha256(content));
    ASSERT_EQ(f.boxes.texts().size(), 1);
    EXPECT_TRUE(f.boxes.texts()[0].startsWith("Download Complete for big.bin"));
    EXPECT_FALSE(dialog->isDownloading());
    const library::FileRecord record(f.recordFile(), "big.bin");
    namespace key = library::RecordKey;
    EXPECT_EQ(record.readString(key::Desc), "Big 2.1");
    EXPECT_EQ(record.readString(key::Source), url);
    EXPECT_EQ(record.readString(key::Delete), "1");
    EXPECT_EQ(record.readString(key::DeleteDays), "21");
    EXPECT_EQ(record.readString(key::DateDownloaded), platform::todayStamp());
    EXPECT_EQ(record.readString(key::LastOpened), "Never");
}

TEST(AskerResumeEndToEnd, AnAbortAtFortyPercentResumesToTheSameFile) {
    const QByteArray content = qbtest::randomBytes(kSize, 57);
    {
        SCOPED_TRACE("nginx");
        if (qbtest::NginxServer::binary().isEmpty())
            GTEST_SKIP() << "nginx is not installed";
        qbtest::NginxServer nginx("location /slow/ { limit_rate 4m; }");
        ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/slow/big.bin", content));
        qbtest::AskerFixture f;
        abortAtFortyPercentAndResume(f, nginx.url("/slow/big.bin"), content);
    }
    {
        SCOPED_TRACE("vsftpd");
        qbtest::VsftpdServer vsftpd(false, "anon_max_rate=4000000");
        ASSERT_TRUE(vsftpd.isRunning()) << qPrintable(vsftpd.error());
        ASSERT_TRUE(vsftpd.addFile("pub/big.bin", content));
        qbtest::AskerFixture f;
        abortAtFortyPercentAndResume(f, vsftpd.url("pub/big.bin"), content);
    }
}

} // namespace
