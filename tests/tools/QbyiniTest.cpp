#include <gtest/gtest.h>

#include <QFile>

#include "TestEnvironment.h"
#include "ToolRun.h"
#include "platform/ByteText.h"

namespace {

using qbtest::ToolRun;

ToolRun qbyini(const QStringList& args) {
    return qbtest::runTool("qbyini", args);
}

class Qbyini : public ::testing::Test {
protected:
    qbtest::TempHome home;
    QString file = home.file("dlMain.ini");
    void SetUp() override {
        ASSERT_TRUE(qbtest::writeFile(file, "[Download]\nSpeed = \"56600\" \nAutoClose=2\n"
                                            "AutoPaste=yes\n[movie [1080p].mkv]\nDesc=film\n"));
    }
};

TEST_F(Qbyini, ReadsAsTheProgramReads) {
    const ToolRun get = qbyini({"get", home.file("dlmain.ini"), "download", "SPEED"});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, "56600\n");
    EXPECT_EQ(qbyini({"get", file, "Download", "Missing", "fallback"}).out, "fallback\n");
    EXPECT_EQ(qbyini({"get", file, "Download", "Missing"}).out, "\n");
    EXPECT_EQ(qbyini({"get-int", file, "Download", "Speed"}).out, "56600\n");
    EXPECT_EQ(qbyini({"get-int", file, "Download", "AutoPaste", "-3"}).out, "-3\n");
    EXPECT_EQ(qbyini({"get-bool", file, "Download", "AutoClose"}).out, "1\n");
    EXPECT_EQ(qbyini({"get-bool", file, "Download", "AutoPaste", "1"}).out, "1\n");
    EXPECT_EQ(qbyini({"get-bool", file, "Download", "AutoPaste"}).out, "0\n");
    EXPECT_EQ(qbyini({"sections", file}).out, "Download\nmovie [1080p].mkv\n");
    EXPECT_EQ(qbyini({"section", file, "download"}).out,
              "Speed=56600\nAutoClose=2\nAutoPaste=yes\n");
    EXPECT_EQ(qbyini({"get", file, "movie [1080p].mkv", "desc"}).out, "film\n");
}

TEST_F(Qbyini, WritesKeepTheRestOfTheFile) {
    EXPECT_EQ(qbyini({"set", file, "download", "AutoClose", "0"}).exitCode, 0);
    EXPECT_EQ(qbyini({"set", file, "Main", "FirstRun", "two\nlines"}).exitCode, 0);
    EXPECT_EQ(qbyini({"delete", file, "Download", "AutoPaste"}).exitCode, 0);
    EXPECT_EQ(qbyini({"erase", file, "MOVIE [1080P].MKV"}).exitCode, 0);
    EXPECT_EQ(qbtest::readFile(file),
              "[Download]\nSpeed = \"56600\" \nAutoClose=0\n[Main]\nFirstRun=two lines\n");
    // The notes separator passes through as the single byte 0xFF; "ÿ" stays a letter.
    EXPECT_EQ(qbyini({"set", file, "game.zip", "Desc", QString::fromUtf8("ÿ")}).exitCode, 0);
    EXPECT_TRUE(qbtest::readFile(file).endsWith("[game.zip]\nDesc=\xC3\xBF\n"));
    EXPECT_EQ(qbyini({"delete", file, "game.zip", "Desc"}).exitCode, 0);
    const ToolRun set = qbyini(
        {"set", file, "game.zip", "Notes", QString("a") + QChar(platform::kNotesSeparator) + "b"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_TRUE(qbtest::readFile(file).endsWith("[game.zip]\nNotes=a\xFF"
                                                "b\n"));
    EXPECT_EQ(qbyini({"get", file, "game.zip", "Notes"}).out, "a\xFF"
                                                              "b\n");
}

TEST_F(Qbyini, ARefusedWriteExitsOneWithTheMessage) {
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner));
    const ToolRun r = qbyini({"set", file, "Download", "Speed", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Unable to write to " + file.toUtf8() + "\n");
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(qbyini({"get", file, "Download", "Speed"}).out, "56600\n");
    const QString nowhere = home.root() + "/missing/folder/x.ini";
    EXPECT_EQ(qbyini({"erase", nowhere, "S"}).exitCode, 0); // nothing to erase
    EXPECT_EQ(qbyini({"set", nowhere, "S", "K", "V"}).exitCode, 1);
}

TEST_F(Qbyini, BadUsageExitsTwo) {
    for (const QStringList& args :
         {QStringList{}, QStringList{"frobnicate", "x"}, QStringList{"get", "f", "s"},
          QStringList{"set", "f", "s", "k"}, QStringList{"sections"},
          QStringList{"section", "f", "s", "extra"},
          QStringList{"get-int", "f", "s", "k", "abc"}}) {
        const ToolRun r = qbyini(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: qbyini get FILE SECTION KEY [DEFAULT]"));
    }
    EXPECT_FALSE(QFile::exists("f"));
}

} // namespace
