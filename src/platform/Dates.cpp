#include "platform/Dates.h"

#include <QLocale>
#include <QRegularExpression>

#include "platform/Clock.h"

namespace platform {

DateError::DateError(const QString& t)
    : std::runtime_error(QString("'%1' is not a valid date").arg(t).toStdString()), text(t) {}

QString shortDateFormat() {
    // Qt's short formats carry two-digit years, which parse back as 19yy.
    static const QRegularExpression shortYear("(?<!y)y{1,3}(?!y)");
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    format.replace(shortYear, "yyyy");
    return format;
}

QString formatShortDate(const QDate& date) {
    return QLocale().toString(date, shortDateFormat());
}

QDate tryParseShortDate(const QString& text) {
    const QString trimmed = text.trimmed();
    QDate date = QLocale().toDate(trimmed, shortDateFormat());
    if (!date.isValid()) {
        // Dates written with a two-digit year by other tools still mean this century.
        date = QLocale().toDate(trimmed, QLocale().dateFormat(QLocale::ShortFormat));
        if (date.isValid() && date.year() < 1950)
            date = date.addYears(100);
    }
    return date;
}

QDate parseShortDate(const QString& text) {
    const QDate date = tryParseShortDate(text);
    if (!date.isValid())
        throw DateError(text);
    return date;
}

QString todayStamp() {
    return formatShortDate(today());
}

} // namespace platform
