#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/ByteText.h"
#include "platform/Profile.h"

namespace {

TEST(ByteText, TheNotesSeparatorIsOneByteBothWays) {
    const QString text = QString("a") + QChar(0xFF) + QChar(0xFF) + "b";
    EXPECT_EQ(platform::bytesFromText(text), QByteArray("a\xFF\xFF"
                                                        "b"));
    EXPECT_EQ(platform::textFromBytes("a\xFF\xFF"
                                      "b"),
              text);
}

TEST(ByteText, UnicodeIsUtf8AndStrayBytesReadAsLatin1) {
    const QString text = QString::fromUtf8("Grüße ✓ 𝄞 ÿ");
    const QByteArray bytes = platform::bytesFromText(text);
    EXPECT_EQ(bytes, QByteArray("Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x9C\x93 \xF0\x9D\x84\x9E \xFF"));
    EXPECT_EQ(platform::textFromBytes(bytes), text);
    // Bytes that are not UTF-8 (an old Latin-1 file, a cut sequence, an overlong form)
    // are kept as characters rather than dropped.
    EXPECT_EQ(platform::textFromBytes("caf\xE9"), QString::fromUtf8("café"));
    EXPECT_EQ(platform::textFromBytes("\xE2\x9C"), QString::fromUtf8("â\xC2\x9C"));
    EXPECT_EQ(platform::textFromBytes("\xC0\xAF"), QString::fromUtf8("À¯"));
    EXPECT_EQ(platform::textFromBytes("\xED\xA0\x80").size(), 3); // an encoded surrogate
}

TEST(ByteText, ProfileFilesKeepTheSeparatorByte) {
    qbtest::TempHome home;
    const QString path = home.file("Programs-Games.ini");
    const QString notes = QString("first") + QChar(0xFF) + QString::fromUtf8("zweite Zeile ✓") +
                          QChar(0xFF) + QChar(0xFF) + "last";
    platform::IniFile(path).writeString("game.zip", "Notes", notes);
    EXPECT_EQ(qbtest::readFile(path), "[game.zip]\nNotes=first\xFFzweite Zeile \xE2\x9C\x93\xFF"
                                      "\xFFlast\n");
    EXPECT_EQ(platform::IniFile(path).readString("game.zip", "Notes", ""), notes);
}

} // namespace
