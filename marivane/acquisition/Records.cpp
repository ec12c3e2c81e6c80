#include "marivane/acquisition/Records.h"

#include <cstdint>

#include "platform/Clock.h"

namespace marivane {
namespace {

bool IsLeapYear(std::uint32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::uint32_t DaysInMonth(std::uint32_t year, std::uint32_t month) {
    static constexpr std::uint32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given (valid) Gregorian date, in closed form so that any 32-bit year
// costs the same.
std::int64_t DaysFromEpoch(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = y / 400;  // y >= 1969, never negative
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t m = month;
    const std::int64_t dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

double SecondsSince1970(std::uint32_t year, std::uint32_t month, std::uint32_t day, double secondsOfDay) {
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return 0.0;
    return static_cast<double>(DaysFromEpoch(year, month, day)) * 24.0 * 3600.0 + secondsOfDay;
}

std::uint32_t LocalSecondsOfDay(const platform::Clock& clock) {
    return platform::SecondsOfDay(clock.LocalNow());
}

std::uint32_t LocalSecondsOfDay() {
    return LocalSecondsOfDay(platform::SystemClock());
}

}  // namespace marivane
