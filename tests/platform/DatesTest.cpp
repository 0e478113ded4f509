#include <gtest/gtest.h>

#include <QLocale>

#include "platform/Clock.h"
#include "platform/Dates.h"

namespace {

struct LocaleCase {
    const char* locale;
    QDate date;
    const char* text;
};

class DatesByLocale : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(GetParam().locale));
    }
    void TearDown() override { QLocale::setDefault(saved_); }
    QLocale saved_;
};

TEST_P(DatesByLocale, WritesFourDigitYearsAndReadsThemBack) {
    const LocaleCase& c = GetParam();
    EXPECT_EQ(platform::formatShortDate(c.date), QString(c.text));
    EXPECT_EQ(platform::parseShortDate(c.text), c.date);
}

INSTANTIATE_TEST_SUITE_P(Locales, DatesByLocale,
                         ::testing::Values(LocaleCase{"en_US", QDate(2026, 5, 12), "5/12/2026"},
                                           LocaleCase{"en_US", QDate(1999, 12, 31), "12/31/1999"},
                                           LocaleCase{"de_DE", QDate(2026, 5, 12), "12.05.2026"},
                                           LocaleCase{"de_DE", QDate(2031, 1, 2), "02.01.2031"}));

TEST(Dates, TextThatDoesNotParseIsAnErrorTheCallerSees) {
    QLocale::setDefault(QLocale("en_US"));
    for (const char* bad : {"NODATA", "", "Never", "13/45/2026", "12.05.2026"}) {
        EXPECT_THROW(platform::parseShortDate(bad), platform::DateError) << bad;
        EXPECT_FALSE(platform::tryParseShortDate(bad).isValid()) << bad;
    }
}

TEST(Dates, TodayStampFollowsThePinnedClock) {
    QLocale::setDefault(QLocale("en_US"));
    platform::setClockOverride(QDateTime(QDate(2026, 2, 3), QTime(10, 0)));
    EXPECT_EQ(platform::todayStamp(), "2/3/2026");
    platform::setClockOverride(QDateTime());
    EXPECT_EQ(platform::today(), QDate::currentDate());
}

} // namespace
