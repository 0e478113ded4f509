#include "setup/ConnectionSpeed.h"

#include <cmath>
#include <limits>

namespace setup {

const QList<SpeedPreset>& modemSpeeds() {
    // A "56k" modem is stored as 56,600 bits per second, as it always was.
    static const QList<SpeedPreset> presets = {
        {"14.4 kbps", 14400}, {"28.8 kbps", 28800}, {"33.6 kbps", 33600}, {"56 kbps", 56600}};
    return presets;
}

const QList<SpeedPreset>& cableSpeeds() {
    static const QList<SpeedPreset> presets = {{"128 kbps", 128000},    {"256 kbps", 256000},
                                               {"384 kbps", 384000},    {"768 kbps", 768000},
                                               {"1.5 mbps", 1500000},   {"10 mbps", 10000000},
                                               {"100 mbps", 100000000}, {"1 gbps", 1000000000}};
    return presets;
}

std::optional<double> parseDecimal(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = locale.toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

SpeedChoice choiceForSpeed(qint64 bitsPerSecond, const QLocale& locale) {
    for (int i = 0; i < modemSpeeds().size(); ++i)
        if (modemSpeeds()[i].bitsPerSecond == bitsPerSecond)
            return {SpeedChoice::Modem, i, {}, false};
    for (int i = 0; i < cableSpeeds().size(); ++i)
        if (cableSpeeds()[i].bitsPerSecond == bitsPerSecond)
            return {SpeedChoice::Cable, i, {}, false};
    SpeedChoice choice{SpeedChoice::Other, 0, {}, false};
    if (bitsPerSecond < 1000000) {
        choice.otherText = locale.toString(bitsPerSecond);
    } else {
        choice.megabits = true;
        // Six decimals hold every whole bit per second exactly.
        choice.otherText = locale.toString(double(bitsPerSecond) / 1e6, 'f', 6);
        const QChar point = locale.decimalPoint().at(0);
        while (choice.otherText.endsWith('0'))
            choice.otherText.chop(1);
        if (choice.otherText.endsWith(point))
            choice.otherText.chop(1);
    }
    choice.otherText.remove(locale.groupSeparator());
    return choice;
}

std::optional<qint64> speedOfChoice(const SpeedChoice& choice, const QLocale& locale) {
    switch (choice.line) {
    case SpeedChoice::Modem:
        if (choice.index >= 0 && choice.index < modemSpeeds().size())
            return modemSpeeds()[choice.index].bitsPerSecond;
        return std::nullopt;
    case SpeedChoice::Cable:
        if (choice.index >= 0 && choice.index < cableSpeeds().size())
            return cableSpeeds()[choice.index].bitsPerSecond;
        return std::nullopt;
    case SpeedChoice::Other:
        break;
    }
    const std::optional<double> number = parseDecimal(choice.otherText, locale);
    if (!number)
        return std::nullopt;
    const double bits = std::round(*number * (choice.megabits ? 1e6 : 1.0));
    // Every reader takes the speed as a positive integer of the settings file.
    if (bits < 1 || bits > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return qint64(bits);
}

} // namespace setup
