#pragma once

#include <cstdint>

#include "core/platform.h"
#include "data/table_data.h"

namespace vexora::data {

// Milliseconds in one day.
inline constexpr std::int64_t kMsPerDay = 86'400'000;

// A calendar date of the proleptic Gregorian calendar (year 0 and negative years
// continue the count backwards: year 0 is 1 BC).
struct CivilDate {
    int year = 1;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// A calendar date with a time of day.
struct CivilDateTime {
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;         // 0..23
    int minute = 0;       // 0..59
    int second = 0;       // 0..59
    int millisecond = 0;  // 0..999
    friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

// A date-time split into its day number and the milliseconds since that midnight.
struct DayAndTime {
    std::int64_t day = 0;
    std::int32_t msOfDay = 0;  // 0 .. kMsPerDay - 1
    friend bool operator==(const DayAndTime&, const DayAndTime&) = default;
};

// True for years divisible by 4, except centuries not divisible by 400.
bool isLeapYear(std::int64_t year);

// Days of the month (28..31), or 0 for a month outside 1..12.
int daysInMonth(std::int64_t year, int month);

// True when month and day name a real day of that year.
bool isValidDate(int year, int month, int day);

// True when the date is real and the time lies in 00:00:00.000 .. 23:59:59.999.
bool isValidDateTime(const CivilDateTime& dt);

// Day number of a date: 1 for 1 January of year 1. Throws std::out_of_range for a
// date that does not exist.
std::int64_t dayNumber(int year, int month, int day);
inline std::int64_t dayNumber(const CivilDate& d) {
    return dayNumber(d.year, d.month, d.day);
}

// The date of a day number (inverse of dayNumber). Valid for every day number whose
// year fits an int (|day| below about 7.8e11).
CivilDate civilFromDayNumber(std::int64_t day);

// Splits a date-time into day number and time of day. The day is the count divided
// by 86 400 000 rounded toward zero; a negative remainder borrows one day, so the
// time of day is never negative.
DayAndTime splitDateTime(DateTimeValue value);

// Date-time of a civil date and time. Throws std::out_of_range when it is not valid.
DateTimeValue makeDateTime(const CivilDateTime& dt);

// Civil date and time of a date-time (any value).
CivilDateTime toCivil(DateTimeValue value);

// Date column value of a civil date; throws std::out_of_range when the date is not
// valid or its day number does not fit 32 bits.
DateValue makeDate(int year, int month, int day);

// Civil date of a date column value.
CivilDate toCivil(DateValue value);

// Time column value; throws std::out_of_range outside 00:00:00.000 .. 23:59:59.999.
TimeValue makeTime(int hour, int minute, int second, int millisecond);

// Date-time of the platform clock's local time; throws std::out_of_range when the
// fields do not name a valid moment.
DateTimeValue fromLocalDateTime(const LocalDateTime& local);

// The local date-time fields of a date-time.
LocalDateTime toLocalDateTime(DateTimeValue value);

}  // namespace vexora::data
