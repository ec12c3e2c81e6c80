#pragma once
// The simulated sonar's clock. Every event of a survey happens at a whole number of microseconds after
// the start, which is a UTC date-time in whole seconds. The packets carry the civil fields of that
// instant; the receiving side turns them back into an epoch time (seconds since 1970 as a double), and
// the simulator computes that double exactly the same way, so that interpolation fractions agree.

#include <cstdint>
#include <optional>
#include <string_view>

namespace sonarsim {

struct ClockFields {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::uint32_t microsecond = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day);

class SimClock {
  public:
    // Start at `startSeconds` since 1970-01-01 00:00:00 (UTC).
    explicit SimClock(std::int64_t startSeconds = 0) : start_(startSeconds) {}

    // "YYYY-MM-DD HH:MM:SS" (a 'T' in place of the blank is accepted); nothing when malformed or out of
    // range (years 1970 to 9999).
    static std::optional<std::int64_t> ParseStart(std::string_view text);

    // Civil fields of the instant `micros` after the start.
    ClockFields Fields(std::int64_t micros) const;

    // The epoch time that a receiver computes from the fields: whole days × 86400 + the seconds of day,
    // the latter summed as hour × 3600 + minute × 60 + second + microseconds × 0.000001.
    static double EpochOf(const ClockFields& f);
    double Epoch(std::int64_t micros) const { return EpochOf(Fields(micros)); }

  private:
    std::int64_t start_;
};

}  // namespace sonarsim
