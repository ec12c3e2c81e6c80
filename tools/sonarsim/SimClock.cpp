#include "tools/sonarsim/SimClock.h"

#include <charconv>

namespace sonarsim {

namespace {

// Civil date of a day count (inverse of DaysFromCivil), after the well-known era algorithm.
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    month = static_cast<int>(m);
    day = static_cast<int>(d);
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int MonthLength(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly `width` digits at `pos`.
bool Digits(std::string_view text, std::size_t pos, std::size_t width, int& out) {
    if (pos + width > text.size())
        return false;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return std::from_chars(text.data() + pos, text.data() + pos + width, out).ec == std::errc();
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = month > 2 ? month - 3 : month + 9;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<std::int64_t> SimClock::ParseStart(std::string_view text) {
    // YYYY-MM-DD HH:MM:SS
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    if (!Digits(text, 0, 4, y) || !Digits(text, 5, 2, mo) || !Digits(text, 8, 2, d) ||
        !Digits(text, 11, 2, h) || !Digits(text, 14, 2, mi) || !Digits(text, 17, 2, s)) {
        return std::nullopt;
    }
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > MonthLength(y, mo) || h > 23 || mi > 59 || s > 59) {
        return std::nullopt;
    }
    return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

ClockFields SimClock::Fields(std::int64_t micros) const {
    const std::int64_t total = start_ * 1000000 + micros;
    const std::int64_t seconds = total / 1000000;
    ClockFields f;
    f.microsecond = static_cast<std::uint32_t>(total % 1000000);
    const std::int64_t days = seconds / 86400;
    const std::int64_t sod = seconds % 86400;
    CivilFromDays(days, f.year, f.month, f.day);
    f.hour = static_cast<int>(sod / 3600);
    f.minute = static_cast<int>(sod / 60 % 60);
    f.second = static_cast<int>(sod % 60);
    return f;
}

double SimClock::EpochOf(const ClockFields& f) {
    const double secondsOfDay = static_cast<double>(f.hour * 3600 + f.minute * 60) +
                                static_cast<double>(f.second) + static_cast<double>(f.microsecond) * 0.000001;
    return static_cast<double>(DaysFromCivil(f.year, f.month, f.day)) * 24 * 3600 + secondsOfDay;
}

}  // namespace sonarsim
