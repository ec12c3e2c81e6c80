#include "quillfen/LocalTime.h"

#include <cstring>

#include "marivane/acquisition/Records.h"

namespace quillfen {
namespace {

constexpr std::int64_t kLocalShiftHours = 8;

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int64_t DaysInMonth(std::int64_t year, std::int64_t month) {
    static constexpr std::int64_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::string ModelOf(const RawPing& ping) {
    return std::string(ping.model, strnlen(ping.model, sizeof ping.model));
}

int TimeHead::DayOfYear() const {
    return static_cast<int>(DaysFromCivil(year, month, day) - DaysFromCivil(year, 1, 1)) + 1;
}

bool ClockValid(const ClockReading& c) {
    return c.year >= 2000 && c.year <= 2220 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <= DaysInMonth(c.year, c.month) && c.hour >= 0 && c.hour <= 23 && c.minute >= 0 &&
           c.minute <= 59 && c.secondMicros >= 0 && c.secondMicros <= 60'000'000;
}

// Howard Hinnant's algorithms for the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, std::int64_t& year, std::int64_t& month, std::int64_t& day) {
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

double SecondsOfDay(const ClockReading& c) {
    return static_cast<double>(c.hour * 3600 + c.minute * 60) + static_cast<double>(c.secondMicros) * 1e-6;
}

TimeHead ShiftToLocal(const ClockReading& c) {
    std::int64_t days = DaysFromCivil(c.year, c.month, c.day);
    std::int64_t hour = c.hour + kLocalShiftHours;
    if (hour >= 24) {
        hour -= 24;
        ++days;
    }
    std::int64_t year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);

    TimeHead t;
    t.year = static_cast<int>(year);
    t.month = static_cast<int>(month);
    t.day = static_cast<int>(day);
    t.hour = static_cast<int>(hour);
    t.minute = static_cast<int>(c.minute);
    t.secondMicros = c.secondMicros;
    t.secondsOfDay =
        static_cast<double>(hour * 3600 + c.minute * 60) + static_cast<double>(c.secondMicros) * 1e-6;
    t.dayNumber = days;
    t.absolute =
        marivane::SecondsSince1970(static_cast<std::uint32_t>(year), static_cast<std::uint32_t>(month),
                                   static_cast<std::uint32_t>(day), t.secondsOfDay);
    return t;
}

ClockReading PreviousDay(const ClockReading& c) {
    if (c.year < 1 || c.year > 100000 || c.month < 1 || c.month > 12 || c.day < 1 ||
        c.day > DaysInMonth(c.year, c.month))
        return c;
    ClockReading out = c;
    CivilFromDays(DaysFromCivil(c.year, c.month, c.day) - 1, out.year, out.month, out.day);
    return out;
}

}  // namespace quillfen
