#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace platform {
namespace {

class RealClock final : public Clock {
public:
    LocalDateTime LocalNow() const override {
        const auto now = std::chrono::system_clock::now();
        const std::time_t secs = std::chrono::system_clock::to_time_t(now);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm tm{};
        localtime_r(&secs, &tm);
        LocalDateTime t;
        t.year = tm.tm_year + 1900;
        t.month = tm.tm_mon + 1;
        t.day = tm.tm_mday;
        t.hour = tm.tm_hour;
        t.minute = tm.tm_min;
        t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second counts as the last second
        t.millisecond = static_cast<int>(ms < 0 ? 0 : ms);
        return t;
    }
};

}  // namespace

const Clock& SystemClock() {
    static const RealClock clock;
    return clock;
}

}  // namespace platform
