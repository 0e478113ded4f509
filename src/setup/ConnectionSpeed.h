#pragma once

#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

// The connection speed as [Download] Speed stores it, in bits per second, and the three
// ways the options dialog and the wizard let the user give it.
namespace setup {

struct SpeedPreset {
    QString label;
    qint64 bitsPerSecond;
};

// The modem list and the cable/T1 list, in their shown order.
const QList<SpeedPreset>& modemSpeeds();
const QList<SpeedPreset>& cableSpeeds();

struct SpeedChoice {
    enum Line { Modem, Cable, Other };
    Line line = Modem;
    int index = 0;         // entry of the modem or cable list
    QString otherText;     // the number typed for "Other"
    bool megabits = false; // "Other" in mbps rather than kbps

    bool operator==(const SpeedChoice&) const = default;
};

// What shows a stored speed: its preset where one matches, else "Other" with the number
// in kbps below 1,000,000 and in mbps from there, so that showing and storing again never
// changes the value.
SpeedChoice choiceForSpeed(qint64 bitsPerSecond, const QLocale& locale = QLocale());

// The speed a choice stores; nothing when "Other" holds no usable number (decimal in the
// user's locale or with "."; positive, and small enough for the settings' integers).
std::optional<qint64> speedOfChoice(const SpeedChoice& choice, const QLocale& locale = QLocale());

// A typed decimal number in the user's locale or with "." as the separator.
std::optional<double> parseDecimal(const QString& text, const QLocale& locale = QLocale());

} // namespace setup
