#include "platform/ByteText.h"

namespace platform {

namespace {

// Length of the valid UTF-8 sequence at p (at most n bytes), or 0 when the bytes there
// are not one; overlong forms, surrogates and code points past U+10FFFF are not valid.
int utf8SequenceLength(const uchar* p, qsizetype n, char32_t& code) {
    const uchar lead = p[0];
    int length;
    uchar low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (n < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const uchar c = p[i];
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return 0;
        code = (code << 6) | (c & 0x3F);
    }
    return length;
}

} // namespace

QString textFromBytes(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n && p[i] < 0x80)
        ++i;
    if (i == n)
        return QString::fromLatin1(bytes.data(), n);

    QString out;
    out.reserve(n);
    out.append(QLatin1StringView(bytes.data(), i));
    while (i < n) {
        const uchar c = p[i];
        if (c < 0x80) {
            out.append(QChar(c));
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = utf8SequenceLength(p + i, n - i, code);
        if (length == 0) {
            // The separator byte, or any other stray byte as its Latin-1 character.
            out.append(c == 0xFF ? QChar(kNotesSeparator) : QChar(c));
            ++i;
        } else if (code > 0xFFFF) {
            out.append(QChar(QChar::highSurrogate(code)));
            out.append(QChar(QChar::lowSurrogate(code)));
            i += length;
        } else {
            out.append(QChar(char16_t(code)));
            i += length;
        }
    }
    return out;
}

QByteArray bytesFromText(const QString& text) {
    qsizetype from = 0;
    qsizetype at = text.indexOf(QChar(kNotesSeparator));
    if (at < 0)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size() + 8);
    while (at >= 0) {
        out.append(QStringView(text).mid(from, at - from).toUtf8());
        out.append('\xFF');
        from = at + 1;
        at = text.indexOf(QChar(kNotesSeparator), from);
    }
    out.append(QStringView(text).mid(from).toUtf8());
    return out;
}

QString withLegacyLetters(QString text) {
    return text.replace(QChar(kNotesSeparator), QChar(0x00FF));
}

QByteArray lineBytesFromText(const QString& text) {
    QByteArray bytes = bytesFromText(text);
    for (char& c : bytes) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return bytes;
}

} // namespace platform
