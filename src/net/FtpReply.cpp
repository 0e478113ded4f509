#include "FtpReply.h"

#include <QRegularExpression>
#include <QStringList>

namespace ftp {

int replyCode(const QString& line) {
    if (line.size() < 3)
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < QLatin1Char('0') || line[i] > QLatin1Char('9'))
            return -1;
    }
    return line.left(3).toInt();
}

bool ReplyAssembler::addLine(const QString& line) {
    const int code = replyCode(line);
    const QChar after = line.size() > 3 ? line[3] : QLatin1Char(' ');
    // "2023 news" is text: a code is followed by a blank, "-" or nothing.
    if (code < 0 || (after != QLatin1Char(' ') && after != QLatin1Char('-')))
        return false;
    if (openCode_ < 0) {
        if (after == QLatin1Char('-')) {
            openCode_ = code;
            return false;
        }
        code_ = code;
        return true;
    }
    // Inside a multi-line reply only the closing line with the opening code counts.
    if (code != openCode_ || after != QLatin1Char(' '))
        return false;
    openCode_ = -1;
    code_ = code;
    return true;
}

void ReplyAssembler::reset() {
    openCode_ = -1;
    code_ = -1;
}

quint16 passivePort(const QString& reply) {
    static const QRegularExpression numbers(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch match = numbers.match(reply, 3);
    if (!match.hasMatch())
        return 0;
    int parts[6];
    for (int i = 0; i < 6; ++i) {
        parts[i] = match.captured(i + 1).toInt();
        if (parts[i] > 255)
            return 0;
    }
    return quint16(parts[4] * 256 + parts[5]);
}

quint16 extendedPassivePort(const QString& reply) {
    // The delimiter is the character after "(", "|" by convention.
    static const QRegularExpression form(QStringLiteral("\\(([!-~])\\1\\1(\\d{1,5})\\1\\)"));
    const QRegularExpressionMatch match = form.match(reply, 3);
    if (!match.hasMatch())
        return 0;
    const uint port = match.captured(2).toUInt();
    return port <= 65535 ? quint16(port) : 0;
}

QString portArgument(const QString& address, quint16 port) {
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return {};
    for (const QString& part : parts) {
        bool ok = false;
        if (part.toUInt(&ok) > 255 || !ok)
            return {};
    }
    return QStringLiteral("%1,%2,%3")
        .arg(parts.join(QLatin1Char(',')))
        .arg(port >> 8)
        .arg(port & 0xff);
}

QString extendedPortArgument(const QString& address, quint16 port) {
    const int family = address.contains(QLatin1Char(':')) ? 2 : 1;
    return QStringLiteral("|%1|%2|%3|").arg(family).arg(address).arg(port);
}

qint64 announcedSize(const QString& reply) {
    // The last "(N bytes" wins: a file name may hold parentheses of its own.
    qint64 size = -1;
    for (qsizetype open = reply.indexOf(QLatin1Char('(')); open >= 0;
         open = reply.indexOf(QLatin1Char('('), open + 1)) {
        qsizetype at = open + 1;
        while (at < reply.size() && reply[at].isSpace())
            ++at;
        const qsizetype first = at;
        qint64 value = 0;
        for (; at < reply.size() && reply[at] >= QLatin1Char('0') && reply[at] <= QLatin1Char('9');
             ++at) {
            if (at - first < 18)
                value = value * 10 + (reply[at].unicode() - '0');
        }
        const qsizetype digits = at - first;
        while (at < reply.size() && reply[at].isSpace())
            ++at;
        if (digits == 0 ||
            !QStringView(reply).sliced(at).startsWith(QLatin1String("bytes"), Qt::CaseInsensitive))
            continue;
        size = digits <= 18 ? value : -1; // more digits than any size has: none
    }
    return size;
}

QString transferSummary(qint64 bytes, qint64 elapsedMs) {
    QString text =
        QStringLiteral("! %1 bytes received/sent in %2 seconds").arg(bytes).arg(elapsedMs / 1000);
    if (elapsedMs > 0) {
        // Small counts are scaled before the division so that they keep their precision.
        const qint64 rate = bytes < 32768 ? bytes * 1000 / elapsedMs : bytes / elapsedMs * 1000;
        text += QStringLiteral(" (%1 Bytes/sec)").arg(rate);
    }
    return text;
}

bool breaksCommandLine(const QString& argument) {
    return argument.contains(QLatin1Char('\r')) || argument.contains(QLatin1Char('\n')) ||
           argument.contains(QChar(0));
}

} // namespace ftp
