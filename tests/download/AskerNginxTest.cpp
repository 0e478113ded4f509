// One whole download from a real web server into the library.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "AskerFixture.h"
#include "NginxServer.h"
#include "library/FileRecord.h"
#include "platform/Dates.h"

namespace {

TEST(AskerNginx, AHandedOffDownloadLandsInTheFolderWithItsRecord) {
    if (qbtest::NginxServer::binary().isEmpty())
        GTEST_SKIP() << "nginx is not installed";
    qbtest::AskerFixture f;
    qbtest::NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error().toStdString();
    const QByteArray body = qbtest::randomBytes(3 * 1024 * 1024 + 17, 11);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/files/setup-2.1.tar.gz", body));

    const QString url = nginx.url("/files/setup-2.1.tar.gz");
    TfrmAsker* dialog = f.open(url);
    dialog->edtDesc->setText("Setup 2.1");
    dialog->cbAutoDelete->setChecked(true);
    dialog->meDeleteDays->setText("21");
    f.boxes.answer(platform::IDOK);
    f.press();

    EXPECT_EQ(qbtest::readFile(f.folderDir() + "setup-2.1.tar.gz"), body);
    EXPECT_EQ(f.boxes.texts().size(), 1);
    EXPECT_TRUE(f.logHas(QString("Received %1 bytes").arg(body.size())));
    EXPECT_EQ(dialog->lblETA->text(), "Complete");
    EXPECT_FALSE(dialog->isDownloading());

    const library::FileRecord record(f.recordFile(), "setup-2.1.tar.gz");
    namespace key = library::RecordKey;
    EXPECT_EQ(record.readString(key::Desc), "Setup 2.1");
    EXPECT_EQ(record.readString(key::Source), url);
    EXPECT_EQ(record.readString(key::OpenWhen), "0");
    EXPECT_EQ(record.readString(key::Prompt), "1");
    EXPECT_EQ(record.readString(key::PromptDays), "10");
    EXPECT_EQ(record.readString(key::Delete), "1");
    EXPECT_EQ(record.readString(key::DeleteDays), "21");
    EXPECT_EQ(record.readString(key::DateDownloaded), platform::todayStamp());
    EXPECT_EQ(record.readString(key::ScanWhenDone), "0");
    EXPECT_EQ(record.readString(key::LastOpened), "Never");
}

} // namespace
