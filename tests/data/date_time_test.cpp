#include "data/date_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using namespace vexora::data;

TEST(DateTime, LeapYearsFollowTheGregorianRule) {
    for (int y : {4, 400, 1600, 2000, 2024, 0, -4})
        EXPECT_TRUE(isLeapYear(y)) << y;
    for (int y : {1, 100, 1900, 2023, 2100, -1})
        EXPECT_FALSE(isLeapYear(y)) << y;
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2023, 4), 30);
    EXPECT_EQ(daysInMonth(2023, 12), 31);
    EXPECT_EQ(daysInMonth(2023, 13), 0);
    EXPECT_EQ(daysInMonth(2023, 0), 0);
    EXPECT_TRUE(isValidDate(2024, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 2, 29));
    EXPECT_FALSE(isValidDate(2023, 4, 31));
    EXPECT_FALSE(isValidDate(2023, 1, 0));
}

TEST(DateTime, DayNumbersStartAtOneOnTheFirstOfJanuaryOfYearOne) {
    EXPECT_EQ(dayNumber(1, 1, 1), 1);
    EXPECT_EQ(dayNumber(1, 12, 31), 365);
    EXPECT_EQ(dayNumber(2, 1, 1), 366);
    EXPECT_EQ(dayNumber(4, 12, 31), 4 * 365 + 1);  // year 4 is a leap year
    EXPECT_EQ(dayNumber(1600, 2, 29), 584'082);
    EXPECT_EQ(dayNumber(1900, 3, 1), 693'655);
    EXPECT_EQ(dayNumber(1970, 1, 1), 719'163);
    EXPECT_EQ(dayNumber(2000, 2, 29), 730'179);
    EXPECT_EQ(dayNumber(2024, 3, 3), 738'948);
    EXPECT_EQ(dayNumber(9999, 12, 31), 3'652'059);
    EXPECT_EQ(civilFromDayNumber(1), (CivilDate{1, 1, 1}));
    EXPECT_EQ(civilFromDayNumber(0), (CivilDate{0, 12, 31}));  // the day before year 1
    EXPECT_EQ(civilFromDayNumber(730'179), (CivilDate{2000, 2, 29}));
    EXPECT_THROW(dayNumber(2023, 2, 29), std::out_of_range);
}

TEST(DateTime, ConsecutiveDayNumbersAreConsecutiveDates) {
    // Walks four 400-year cycles around year 1 and checks every step against the
    // month lengths, so the inverse is right for every day, not only samples.
    CivilDate prev = civilFromDayNumber(-146'097);
    EXPECT_EQ(dayNumber(prev), -146'097);
    for (std::int64_t d = -146'096; d <= 3 * 146'097; ++d) {
        const CivilDate cur = civilFromDayNumber(d);
        CivilDate expected = prev;
        if (++expected.day > daysInMonth(expected.year, expected.month)) {
            expected.day = 1;
            if (++expected.month > 12) {
                expected.month = 1;
                ++expected.year;
            }
        }
        ASSERT_EQ(cur, expected) << "day " << d;
        ASSERT_EQ(dayNumber(cur), d);
        prev = cur;
    }
}

TEST(DateTime, SplitBorrowsADayForNegativeRemainders) {
    EXPECT_EQ(splitDateTime({86'400'000}), (DayAndTime{1, 0}));
    EXPECT_EQ(splitDateTime({2 * 86'400'000 - 1}), (DayAndTime{1, 86'399'999}));
    EXPECT_EQ(splitDateTime({0}), (DayAndTime{0, 0}));
    EXPECT_EQ(splitDateTime({-1}), (DayAndTime{-1, 86'399'999}));
    EXPECT_EQ(splitDateTime({-86'400'000}), (DayAndTime{-1, 0}));
    EXPECT_EQ(splitDateTime({-86'400'001}), (DayAndTime{-2, 86'399'999}));
}

TEST(DateTime, CivilDateTimesConvertBothWays) {
    EXPECT_EQ(makeDateTime({1, 1, 1, 0, 0, 0, 0}).ms, 86'400'000);
    EXPECT_EQ(makeDateTime({1, 1, 1, 14, 5, 9, 250}).ms, 86'400'000 + 50'709'250);
    EXPECT_EQ(makeDateTime({2024, 3, 3, 14, 5, 9, 250}).ms, 63'845'157'909'250);
    EXPECT_EQ(toCivil(DateTimeValue{63'845'157'909'250}),
              (CivilDateTime{2024, 3, 3, 14, 5, 9, 250}));
    EXPECT_EQ(toCivil(DateTimeValue{-1}), (CivilDateTime{0, 12, 30, 23, 59, 59, 999}));
    EXPECT_EQ(makeTime(14, 5, 9, 250).ms, 50'709'250);
    EXPECT_EQ(makeTime(23, 59, 59, 999).ms, 86'399'999);
    EXPECT_EQ(makeDate(2024, 3, 3).day, 738'948);
    EXPECT_EQ(toCivil(DateValue{1}), (CivilDate{1, 1, 1}));

    EXPECT_THROW(makeDateTime({2024, 3, 3, 24, 0, 0, 0}), std::out_of_range);
    EXPECT_THROW(makeDateTime({2024, 3, 3, 0, 60, 0, 0}), std::out_of_range);
    EXPECT_THROW(makeDateTime({2024, 3, 3, 0, 0, 0, 1000}), std::out_of_range);
    EXPECT_THROW(makeDateTime({2023, 2, 29, 0, 0, 0, 0}), std::out_of_range);
    EXPECT_THROW(makeTime(-1, 0, 0, 0), std::out_of_range);
    EXPECT_THROW(makeDate(6'000'000, 1, 1), std::out_of_range);  // day number beyond 32 bits
}

TEST(DateTime, ExtremeValuesConvertWithoutOverflow) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (std::int64_t ms : {kMax, kMin, std::int64_t{0}}) {
        EXPECT_TRUE(isValidDateTime(toCivil(DateTimeValue{ms}))) << ms;
    }
    EXPECT_EQ(makeDateTime(toCivil(DateTimeValue{kMax})).ms, kMax);
    // The midnight of the lowest day lies below the range: refused, not wrapped.
    EXPECT_THROW(makeDateTime(toCivil(DateTimeValue{kMin})), std::out_of_range);
    EXPECT_EQ(makeDateTime(toCivil(DateTimeValue{kMin + kMsPerDay})).ms, kMin + kMsPerDay);
}

TEST(DateTime, LocalClockTimesConvertBothWays) {
    const vexora::LocalDateTime local{2024, 2, 29, 23, 59, 59, 999};
    const DateTimeValue v = fromLocalDateTime(local);
    EXPECT_EQ(v.ms, dayNumber(2024, 2, 29) * kMsPerDay + 86'399'999);
    const vexora::LocalDateTime back = toLocalDateTime(v);
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 59);
    EXPECT_EQ(back.millisecond, 999);
    EXPECT_EQ(toLocalDateTime(DateTimeValue{v.ms + 1}).month, 3);
    EXPECT_THROW(fromLocalDateTime({2023, 2, 29, 0, 0, 0, 0}), std::out_of_range);
}
