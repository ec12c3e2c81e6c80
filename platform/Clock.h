#pragma once
// The computer's local clock, behind an interface so that code that stamps or names things by the
// local time can be tested at any chosen moment.

#include <cstdint>

namespace platform {

struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime LocalNow() const = 0;
};

// The real clock (local time zone of the process).
const Clock& SystemClock();

// Seconds since midnight of a local time, 0..86399.
inline std::uint32_t SecondsOfDay(const LocalDateTime& t) {
    return static_cast<std::uint32_t>(t.hour * 3600 + t.minute * 60 + t.second);
}

// A clock that reports a set time, for tests.
class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime t = {}) : now_(t) {}
    void Set(const LocalDateTime& t) { now_ = t; }
    LocalDateTime LocalNow() const override { return now_; }

private:
    LocalDateTime now_;
};

}  // namespace platform
