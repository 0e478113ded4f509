#include <gtest/gtest.h>

#include <QLocale>

#include "TestEnvironment.h"
#include "library/FileRecord.h"
#include "library/LibraryPaths.h"
#include "library/Notes.h"
#include "platform/ByteText.h"
#include "platform/Clock.h"

namespace {

using namespace library;

const QChar k255(platform::kNotesSeparator);

TEST(Notes, LinesAndTheSeparator) {
    EXPECT_EQ(NotesToString(QStringList({"a", "", "b"})), QString("a") + k255 + k255 + "b");
    EXPECT_EQ(NotesToString(QString("a\r\n\r\nb")), QString("a") + k255 + k255 + "b");
    EXPECT_EQ(NotesToString(QString("a\n\nb")), QString("a") + k255 + k255 + "b");
    EXPECT_EQ(notesLines(QString("a") + k255 + k255 + "b"), QStringList({"a", "", "b"}));
    EXPECT_EQ(notesLines(QString("x") + k255), QStringList({"x"}));
    EXPECT_EQ(notesLines(QString("x") + k255 + k255), QStringList({"x", ""}));
    EXPECT_EQ(notesLines("one line"), QStringList({"one line"}));
    EXPECT_TRUE(notesLines("").isEmpty());
}

TEST(Notes, RoundTripThroughTheRecordFileAsOneByte) {
    qbtest::TempHome home;
    FileRecord record = FileRecord::of("Programs", "Games", "game.zip");
    record.writeNotes({"a", "", "b"});
    EXPECT_EQ(qbtest::readFile(home.file("Programs-Games.ini")), "[game.zip]\nNotes=a\xFF\xFF"
                                                                 "b\n");
    EXPECT_EQ(record.notes(), QStringList({"a", "", "b"}));
    EXPECT_EQ(ReadNotes(recordFilePath("Programs", "Games"), "game.zip"),
              QStringList({"a", "", "b"}));
    ASSERT_TRUE(qbtest::writeFile(home.file("Programs-Games.ini"), "[game.zip]\nNotes=x\xFF\n"));
    EXPECT_EQ(record.notes(), QStringList({"x"}));
    // Any character can be in the notes, only the separator splits them.
    record.writeNotes({QString::fromUtf8("naïve ✓ ÿ"), "=[x]"});
    EXPECT_EQ(record.notes(), QStringList({QString::fromUtf8("naïve ✓ ÿ"), "=[x]"}));
}

TEST(FileRecord, MissingKeysReadAsThePlaceholders) {
    qbtest::TempHome home;
    const FileRecord record = FileRecord::of("Programs", "Games", "setup.exe");
    EXPECT_EQ(record.readString(RecordKey::Desc), "Click here to edit");
    EXPECT_EQ(record.readString(RecordKey::Source), "Click here to edit");
    EXPECT_EQ(record.notes(), QStringList({"Click here to edit"}));
    EXPECT_EQ(record.readString(RecordKey::LastOpened), "Never");
    EXPECT_EQ(record.readString(RecordKey::LastScanned), "Never");
    EXPECT_EQ(record.readString(RecordKey::DateDownloaded), "");
    EXPECT_EQ(record.readString(RecordKey::DateDownloaded, kNoData), "NODATA");
    EXPECT_EQ(record.readInteger(RecordKey::DeleteDays), 30);
    EXPECT_EQ(record.readString(RecordKey::DeleteDays, "00"), "00");
    EXPECT_FALSE(record.readBool(RecordKey::Delete));
    EXPECT_TRUE(record.readBool(RecordKey::OpenPrompt));
    EXPECT_EQ(record.readString(RecordKey::OpenWhen), "0");
    EXPECT_FALSE(record.exists());
}

TEST(FileRecord, WritesStampsListsAndErases) {
    qbtest::TempHome home;
    QLocale::setDefault(QLocale("en_US"));
    platform::setClockOverride(QDateTime(QDate(2026, 5, 12), QTime(9, 30)));
    FileRecord movie = FileRecord::of("Video", "Films", "movie [1080p].mkv");
    movie.writeString(RecordKey::Desc, "A film\r\nwith a second line");
    movie.stampToday(RecordKey::DateDownloaded);
    movie.writeBool(RecordKey::Delete, true);
    movie.writeInteger(RecordKey::OpenWhen, 1);
    FileRecord other = FileRecord::of("Video", "Films", "trailer.mp4");
    other.stampToday(RecordKey::LastOpened);
    platform::setClockOverride(QDateTime());

    EXPECT_EQ(qbtest::readFile(home.file("Video-Films.ini")),
              "[movie [1080p].mkv]\nDesc=A film  with a second line\nDateDownloaded=5/12/2026\n"
              "Delete=1\nOpenWhen=1\n[trailer.mp4]\nLastOpened=5/12/2026\n");
    EXPECT_EQ(FileRecord::fileNames(recordFilePath("Video", "Films")),
              QStringList({"movie [1080p].mkv", "trailer.mp4"}));
    EXPECT_TRUE(movie.exists());
    EXPECT_EQ(movie.keyValueLines(),
              QStringList({"Desc=A film  with a second line", "DateDownloaded=5/12/2026",
                           "Delete=1", "OpenWhen=1"}));
    movie.erase();
    EXPECT_FALSE(movie.exists());
    EXPECT_EQ(movie.readString(RecordKey::Desc), "Click here to edit");
    EXPECT_EQ(FileRecord::fileNames(movie.recordFile()), QStringList({"trailer.mp4"}));
}

} // namespace
