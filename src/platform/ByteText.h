#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// Profile files are bytes; their text is UTF-8 with one exception. The byte 0xFF, which
// UTF-8 never produces, is the notes separator, held in memory as kNotesSeparator, so it
// survives a write and a read as one byte while a typed "ÿ" (U+00FF) is written as its
// UTF-8 bytes and stays a letter. Any other byte that is not part of valid UTF-8 reads as
// its Latin-1 character, so nothing read is dropped.
//
//   bytes -> text: valid UTF-8 sequences decode; 0xFF -> kNotesSeparator; other stray
//   bytes -> U+0080..U+00FE
//   text -> bytes: kNotesSeparator -> 0xFF; everything else -> UTF-8
//
// Hence textFromBytes(bytesFromText(s)) == s for every string without lone surrogates.
QString textFromBytes(QByteArrayView bytes);
QByteArray bytesFromText(const QString& text);

// bytesFromText for text that must stay on one line of a file: carriage returns, line
// feeds and NULs become blanks, so outside text can never start a line of its own.
QByteArray lineBytesFromText(const QString& text);

// The value of one hexadecimal digit, or -1 for any other character.
inline int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The character that separates note lines, stored as the single byte 0xFF. In memory it
// is a noncharacter, which no user types, so it can never be confused with "ÿ".
inline constexpr char16_t kNotesSeparator = 0xFDD0;

// Earlier versions wrote "ÿ" as the byte 0xFF in every value: a value that is not a
// multi-line notes text reads such a byte back as the letter it was.
QString withLegacyLetters(QString text);

} // namespace platform
