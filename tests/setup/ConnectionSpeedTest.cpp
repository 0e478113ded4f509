#include <gtest/gtest.h>

#include <QLocale>

#include "setup/ConnectionSpeed.h"

using setup::SpeedChoice;

namespace {

TEST(ConnectionSpeed, ChoicesStoreTheirSpeed) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        SpeedChoice choice;
        QLocale locale;
        std::optional<qint64> stored;
    } cases[] = {
        {{SpeedChoice::Modem, 3, {}, false}, en, 56600},
        {{SpeedChoice::Modem, 0, {}, false}, en, 14400},
        {{SpeedChoice::Cable, 4, {}, false}, en, 1500000},
        {{SpeedChoice::Cable, 5, {}, false}, en, 10000000},
        {{SpeedChoice::Cable, 7, {}, false}, en, 1000000000},
        {{SpeedChoice::Other, 0, "2", true}, en, 2000000},
        {{SpeedChoice::Other, 0, "100", false}, en, 100},
        {{SpeedChoice::Other, 0, "1.5", true}, en, 1500000},
        {{SpeedChoice::Other, 0, "1,5", true}, de, 1500000},
        {{SpeedChoice::Other, 0, "1.5", true}, de, 1500000},
        {{SpeedChoice::Other, 0, " 99.6 ", false}, en, 100},
        {{SpeedChoice::Other, 0, "fast", false}, en, std::nullopt},
        {{SpeedChoice::Other, 0, "", true}, en, std::nullopt},
        {{SpeedChoice::Other, 0, "-3", false}, en, std::nullopt},
        {{SpeedChoice::Other, 0, "0", false}, en, std::nullopt},
        {{SpeedChoice::Other, 0, "5000", true}, en, std::nullopt},
        {{SpeedChoice::Other, 0, "nan", true}, en, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(setup::speedOfChoice(c.choice, c.locale), c.stored)
            << qPrintable(c.choice.otherText) << " line " << c.choice.line << " #"
            << c.choice.index;
}

TEST(ConnectionSpeed, StoredSpeedsShowAsTheyWereAndStoreUnchanged) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    struct Case {
        qint64 stored;
        QLocale locale;
        SpeedChoice shown;
    } cases[] = {
        {33600, en, {SpeedChoice::Modem, 2, {}, false}},
        {56600, en, {SpeedChoice::Modem, 3, {}, false}},
        {1500000, en, {SpeedChoice::Cable, 4, {}, false}},
        {100000000, en, {SpeedChoice::Cable, 6, {}, false}},
        {56000, en, {SpeedChoice::Other, 0, "56000", false}},
        {999999, en, {SpeedChoice::Other, 0, "999999", false}},
        {2000000, en, {SpeedChoice::Other, 0, "2", true}},
        {2500001, en, {SpeedChoice::Other, 0, "2.500001", true}},
        {2500000, de, {SpeedChoice::Other, 0, "2,5", true}},
        {12345678, de, {SpeedChoice::Other, 0, "12,345678", true}},
    };
    for (const Case& c : cases) {
        const SpeedChoice shown = setup::choiceForSpeed(c.stored, c.locale);
        EXPECT_EQ(shown.line, c.shown.line) << c.stored;
        EXPECT_EQ(shown.index, c.shown.index) << c.stored;
        EXPECT_EQ(shown.otherText, c.shown.otherText) << c.stored;
        EXPECT_EQ(shown.megabits, c.shown.megabits) << c.stored;
        EXPECT_EQ(setup::speedOfChoice(shown, c.locale), c.stored);
    }
}

} // namespace
