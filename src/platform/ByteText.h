#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// Profile files are bytes; their text is UTF-8 with one exception. The byte 0xFF, which
// UTF-8 never produces, stands for the character U+00FF in both directions, so the notes
// separator (character 255) survives a write and a read as one byte. Any other byte that
// is not part of valid UTF-8 reads as its Latin-1 character, so nothing read is dropped.
//
//   bytes -> text: valid UTF-8 sequences decode; 0xFF -> U+00FF; other stray bytes ->
//   U+0080..U+00FE text -> bytes: U+00FF -> 0xFF; everything else -> UTF-8
//
// Hence textFromBytes(bytesFromText(s)) == s for every string without lone surrogates.
QString textFromBytes(QByteArrayView bytes);
QByteArray bytesFromText(const QString& text);

// bytesFromText for text that must stay on one line of a file: carriage returns, line
// feeds and NULs become blanks, so outside text can never start a line of its own.
QByteArray lineBytesFromText(const QString& text);

// The character that separates note lines, stored as the single byte 0xFF.
inline constexpr char16_t kNotesSeparator = 0x00FF;

} // namespace platform
