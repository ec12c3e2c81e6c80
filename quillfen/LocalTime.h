#pragma once
// Dates and times as packets and text records carry them, their checks, and the shift to the local
// time of the outputs (the sonar's clock plus 8 hours, with the calendar rolling over).

#include <cstdint>

#include "quillfen/Samples.h"

namespace quillfen {

// A date and time as read from a file, before any check. Wide integers, so that no value from a file
// can overflow on the way.
struct ClockReading {
    std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::int64_t secondMicros = 0;  // whole seconds * 1e6 + microseconds
};

// The checks the acquisition program's ping decoder makes before it accepts a time: year 2000 to
// 2220, month 1 to 12, day 1 to 31 and present in that month, hour at most 23, minute at most 59,
// seconds (with the fraction) from 0 to 60 inclusive. Applied to every sample before the duplicate
// rule, so that one sample with an absurd date cannot hide the rest of its list.
bool ClockValid(const ClockReading& clock);

// Days from 1970-01-01 to a valid date, and back.
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day);
void CivilFromDays(std::int64_t days, std::int64_t& year, std::int64_t& month, std::int64_t& day);

// The time head of a valid clock shifted 8 hours ahead: past midnight the date moves to the next
// day, month or year (Gregorian leap years).
TimeHead ShiftToLocal(const ClockReading& clock);

// The date one day earlier (for the midnight rule of text records); an invalid date is returned as
// it is.
ClockReading PreviousDay(const ClockReading& clock);

// Seconds of day of a reading (no checks).
double SecondsOfDay(const ClockReading& clock);

}  // namespace quillfen
