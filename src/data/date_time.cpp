#include "data/date_time.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace vexora::data {
namespace {

// Day number of 1 January 1970, the origin of the era arithmetic below.
constexpr std::int64_t kDayNumberOf1970 = 719'163;
// Largest day number magnitude whose year still fits an int.
constexpr std::int64_t kMaxDayMagnitude = 780'000'000'000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm:
// 400-year eras starting on 1 March, so the leap day ends the year).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

CivilDate civilFromDays(std::int64_t z) {
    z += 719'468;
    const std::int64_t era = floorDiv(z, 146'097);
    const std::int64_t doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<int>(y), m, d};
}

bool validTime(int hour, int minute, int second, int millisecond) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
           millisecond >= 0 && millisecond < 1000;
}

std::string describeDate(int year, int month, int day) {
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

}  // namespace

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && isLeapYear(year))
        return 29;
    return kDays[month - 1];
}

bool isValidDate(int year, int month, int day) {
    return day >= 1 && day <= daysInMonth(year, month);
}

bool isValidDateTime(const CivilDateTime& dt) {
    return isValidDate(dt.year, dt.month, dt.day) &&
           validTime(dt.hour, dt.minute, dt.second, dt.millisecond);
}

std::int64_t dayNumber(int year, int month, int day) {
    if (!isValidDate(year, month, day)) {
        throw std::out_of_range("not a valid date: " + describeDate(year, month, day));
    }
    return daysFromCivil(year, month, day) + kDayNumberOf1970;
}

CivilDate civilFromDayNumber(std::int64_t day) {
    if (day > kMaxDayMagnitude || day < -kMaxDayMagnitude) {
        throw std::out_of_range("day number out of range: " + std::to_string(day));
    }
    return civilFromDays(day - kDayNumberOf1970);
}

DayAndTime splitDateTime(DateTimeValue value) {
    // Truncating division with the borrow on a negative remainder is floor division.
    std::int64_t day = value.ms / kMsPerDay;
    std::int64_t rest = value.ms % kMsPerDay;
    if (rest < 0) {
        --day;
        rest += kMsPerDay;
    }
    return {day, static_cast<std::int32_t>(rest)};
}

DateTimeValue makeDateTime(const CivilDateTime& dt) {
    if (!validTime(dt.hour, dt.minute, dt.second, dt.millisecond)) {
        throw std::out_of_range("not a valid time of day: " + std::to_string(dt.hour) + ":" +
                                std::to_string(dt.minute) + ":" + std::to_string(dt.second) + "." +
                                std::to_string(dt.millisecond));
    }
    const std::int64_t day = dayNumber(dt.year, dt.month, dt.day);
    const std::int64_t msOfDay =
        ((dt.hour * 60LL + dt.minute) * 60LL + dt.second) * 1000LL + dt.millisecond;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    if (day > (kMax - msOfDay) / kMsPerDay || day < kMin / kMsPerDay) {
        throw std::out_of_range("date out of range: " + describeDate(dt.year, dt.month, dt.day));
    }
    return {day * kMsPerDay + msOfDay};
}

CivilDateTime toCivil(DateTimeValue value) {
    const DayAndTime split = splitDateTime(value);
    const CivilDate date = civilFromDayNumber(split.day);
    std::int32_t ms = split.msOfDay;
    CivilDateTime out;
    out.year = date.year;
    out.month = date.month;
    out.day = date.day;
    out.millisecond = ms % 1000;
    ms /= 1000;
    out.second = ms % 60;
    ms /= 60;
    out.minute = ms % 60;
    out.hour = ms / 60;
    return out;
}

DateValue makeDate(int year, int month, int day) {
    const std::int64_t n = dayNumber(year, month, day);
    if (n > std::numeric_limits<std::int32_t>::max() ||
        n < std::numeric_limits<std::int32_t>::min()) {
        throw std::out_of_range("date out of range: " + describeDate(year, month, day));
    }
    return {static_cast<std::int32_t>(n)};
}

CivilDate toCivil(DateValue value) {
    return civilFromDayNumber(value.day);
}

TimeValue makeTime(int hour, int minute, int second, int millisecond) {
    if (!validTime(hour, minute, second, millisecond)) {
        throw std::out_of_range("not a valid time of day");
    }
    return {((hour * 60 + minute) * 60 + second) * 1000 + millisecond};
}

DateTimeValue fromLocalDateTime(const LocalDateTime& local) {
    return makeDateTime({local.year, local.month, local.day, local.hour, local.minute, local.second,
                         local.millisecond});
}

LocalDateTime toLocalDateTime(DateTimeValue value) {
    const CivilDateTime c = toCivil(value);
    return {c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond};
}

}  // namespace vexora::data
