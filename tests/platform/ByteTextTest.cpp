#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ByteText.h"
#include "platform/Profile.h"

namespace {

const QChar kSep(platform::kNotesSeparator);

TEST(ByteText, TheNotesSeparatorIsOneByteBothWays) {
    const QString text = QString("a") + kSep + kSep + "b";
    EXPECT_EQ(platform::bytesFromText(text), QByteArray("a\xFF\xFF"
                                                        "b"));
    EXPECT_EQ(platform::textFromBytes("a\xFF\xFF"
                                      "b"),
              text);
}

TEST(ByteText, UnicodeIsUtf8AndStrayBytesReadAsLatin1) {
    const QString text = QString::fromUtf8("Grüße ✓ 𝄞 ÿ");
    const QByteArray bytes = platform::bytesFromText(text);
    // "ÿ" is a letter like any other: its UTF-8 bytes, never the separator byte.
    EXPECT_EQ(bytes, QByteArray("Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x9C\x93 \xF0\x9D\x84\x9E \xC3\xBF"));
    EXPECT_EQ(platform::textFromBytes(bytes), text);
    // Bytes that are not UTF-8 (an old Latin-1 file, a cut sequence, an overlong form)
    // are kept as characters rather than dropped.
    EXPECT_EQ(platform::textFromBytes("caf\xE9"), QString::fromUtf8("café"));
    EXPECT_EQ(platform::textFromBytes("\xE2\x9C"), QString::fromUtf8("â\xC2\x9C"));
    EXPECT_EQ(platform::textFromBytes("\xC0\xAF"), QString::fromUtf8("À¯"));
    EXPECT_EQ(platform::textFromBytes("\xED\xA0\x80").size(), 3); // an encoded surrogate
}

TEST(ByteText, ProfileFilesKeepTheSeparatorByteAndTheLetterApart) {
    qbtest::TempHome home;
    const QString path = home.file("Programs-Games.ini");
    const QString y = QString::fromUtf8("ÿ");
    const QString notes =
        QString("first") + kSep + QString::fromUtf8("zweite Zeile ✓ ÿ") + kSep + kSep + "last";
    platform::IniFile file(path);
    file.writeString("game.zip", "Notes", notes);
    file.writeString("game.zip", "Desc", y);
    EXPECT_EQ(qbtest::readFile(path),
              "[game.zip]\nNotes=first\xFFzweite Zeile \xE2\x9C\x93 \xC3\xBF\xFF"
              "\xFFlast\nDesc=\xC3\xBF\n");
    EXPECT_EQ(file.readLines("game.zip", "Notes", ""), notes);
    EXPECT_EQ(file.readString("game.zip", "Desc", ""), y);

    // A file of an earlier version: its notes still split at the byte, and a "ÿ" that it
    // wrote as that byte in any other value still reads as the letter.
    ASSERT_TRUE(qbtest::writeFile(path, "[game.zip]\nNotes=a\xFF"
                                        "b\nDesc=M\xFFller\n"));
    EXPECT_EQ(file.readLines("game.zip", "Notes", ""), QString("a") + kSep + "b");
    EXPECT_EQ(file.readString("game.zip", "Desc", ""), QString::fromUtf8("Mÿller"));
}

} // namespace
