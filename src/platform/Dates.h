#pragma once

#include <QDate>
#include <QString>
#include <stdexcept>

namespace platform {

// A stored date text that the locale's short-date parser does not accept.
class DateError : public std::runtime_error {
public:
    explicit DateError(const QString& text);
    QString text;
};

// The locale's short date format with its year widened to four digits
// ("M/d/yyyy" in en_US, "dd.MM.yyyy" in de_DE): the "ddddd" form of stored dates.
QString shortDateFormat();

// date in the "ddddd" form.
QString formatShortDate(const QDate& date);

// Parses a text written by formatShortDate under the same locale; throws DateError.
QDate parseShortDate(const QString& text);

// The same, without throwing: an invalid date when the text does not parse.
QDate tryParseShortDate(const QString& text);

// Today's date stamp, as every record writes it.
QString todayStamp();

} // namespace platform
