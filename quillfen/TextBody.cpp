#include "quillfen/TextBody.h"

#include <cmath>
#include <vector>

#include "marivane/acquisition/BeamAngleTables.h"
#include "platform/Binary.h"
#include "platform/NumberText.h"

namespace quillfen {
namespace {

using platform::LeadingDouble;
using platform::LeadingInt;

constexpr std::string_view kMarker = "$MARKTIME";
constexpr double kDegrees = 180.0 / 3.14159265358979323846;
constexpr double kRadians = 3.14159265358979323846 / 180.0;

// Comma fields; field 0 is the sentence name.
std::vector<std::string_view> SplitFields(std::string_view text, char separator = ',') {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string_view FieldOr(const std::vector<std::string_view>& fields, std::size_t k) {
    return k < fields.size() ? fields[k] : std::string_view();
}

std::size_t CountOf(std::string_view text, char c) {
    std::size_t n = 0;
    for (const char ch : text) n += ch == c ? 1 : 0;
    return n;
}

// The text from `anchor` to the end, or nothing when the anchor is absent.
bool From(std::string_view payload, std::string_view anchor, std::string_view& out) {
    const std::size_t at = payload.find(anchor);
    if (at == std::string_view::npos)
        return false;
    out = payload.substr(at);
    return true;
}

// The five-character integer at `at`.
double Column(std::string_view text, std::size_t at) {
    return LeadingInt(text.substr(at, 5)) * 0.01;
}

// Half the swath of an angle table, u = (2i - 511) / 511.
double TableU(std::size_t i) {
    return (2.0 * static_cast<double>(i) - 511.0) / 511.0;
}

void EquiAngleTable(double halfOpeningDegrees, std::array<float, kBeamSlots>& out) {
    for (std::size_t i = 0; i < kBeamSlots; ++i) out[i] = static_cast<float>(halfOpeningDegrees * TableU(i));
}

void EquiDistantTable(double halfOpeningDegrees, std::array<float, kBeamSlots>& out) {
    const double t = std::tan(halfOpeningDegrees * kRadians);
    for (std::size_t i = 0; i < kBeamSlots; ++i)
        out[i] = static_cast<float>(std::atan(t * TableU(i)) * kDegrees);
}

// One-way travel times of the beams of a sonar record from its hexadecimal beam data.
void DecodeBeams(std::string_view data, std::size_t beams, double rate, double velocity, double halfWidth,
                 PingBeams& ping) {
    const double offset = std::trunc(rate * (40.0 / velocity + halfWidth)) + 18.0;
    for (std::size_t i = 0; i < beams; ++i) {
        const int v = HexBeam(data.substr(4 * i, 4));
        if (v < 0 || static_cast<double>(v) < offset)
            continue;  // stays 0
        ping.travelTime[i] = FiniteFloat((v - offset) * 0.5 / (rate * 1000.0));
    }
}

void SetModel(RawPing& ping, std::string_view model) {
    for (std::size_t i = 0; i < model.size() && i < 7; ++i) ping.model[i] = model[i];
}

bool UsableRateAndVelocity(double rate, double velocity) {
    return rate > 0.0 && std::isfinite(rate) && velocity > 0.0 && std::isfinite(velocity);
}

}  // namespace

InputSettings ReadInputSettings(std::span<const std::uint8_t, 512> block) {
    const auto at = [&](std::size_t offset) {
        return platform::LoadLE<std::int32_t>(block.data() + kInputSettingsOffset + offset);
    };
    InputSettings s;
    s.gnssPort = at(0);
    s.gnssFormat = at(4);
    s.motionPort = at(12);
    s.motionFormat = at(16);
    s.headingSource = at(24);
    s.headingFormat = at(28);
    s.velocityPort = at(36);
    s.velocityFormat = at(40);
    return s;
}

Marker ParseMarker(std::string_view line) {
    const std::vector<std::string_view> f = SplitFields(line);
    Marker m;
    m.tag = FieldOr(f, 1);
    m.clock.year = LeadingInt(FieldOr(f, 2));
    m.clock.month = LeadingInt(FieldOr(f, 3));
    m.clock.day = LeadingInt(FieldOr(f, 4));
    m.clock.hour = LeadingInt(FieldOr(f, 5));
    m.clock.minute = LeadingInt(FieldOr(f, 6));
    m.clock.secondMicros =
        static_cast<std::int64_t>(LeadingInt(FieldOr(f, 7))) * 1000000 + LeadingInt(FieldOr(f, 8));
    return m;
}

void ParseTimeOfDay(std::string_view field, ClockReading& clock) {
    const double v = LeadingDouble(field);
    if (!(v >= 0.0 && v < 1e6)) {
        clock.hour = 99;
        return;
    }
    const auto micros = static_cast<std::int64_t>(std::llround(v * 1e6));
    const std::int64_t hhmmss = micros / 1000000;
    clock.hour = hhmmss / 10000;
    clock.minute = hhmmss / 100 % 100;
    clock.secondMicros = hhmmss % 100 * 1000000 + micros % 1000000;
}

ClockReading SentenceClock(std::string_view timeField, const ClockReading& marker) {
    ClockReading c = marker;
    ParseTimeOfDay(timeField, c);
    const bool sentenceBeforeMidnight =
        c.hour == 23 && c.minute == 59 && c.secondMicros > 54'000'000 && c.secondMicros < 60'000'000;
    const bool markerAfterMidnight =
        marker.hour == 0 && marker.minute == 0 && marker.secondMicros < 5'000'000;
    if (sentenceBeforeMidnight && markerAfterMidnight &&
        std::fabs(SecondsOfDay(c) - SecondsOfDay(marker)) > 10.0) {
        const ClockReading before = PreviousDay(marker);
        c.year = before.year;
        c.month = before.month;
        c.day = before.day;
    }
    return c;
}

double DegreesMinutes(std::string_view field) {
    const double v = LeadingDouble(field);
    const double degrees = std::trunc(v / 100.0);
    return degrees + (v - degrees * 100.0) / 60.0;
}

int HexBeam(std::string_view digits) {
    if (digits.size() != 4)
        return -1;
    int v = 0;
    for (const char c : digits) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else {
            return -1;
        }
        v = v * 16 + d;
    }
    return v;
}

void TextBodyReader::Feed(std::string_view piece) {
    text_.append(piece);
    std::size_t begin = 0;
    for (;;) {
        const std::string_view rest(text_.data() + begin, text_.size() - begin);
        const std::size_t marker = rest.find(kMarker);
        if (marker == std::string_view::npos) {
            if (rest.size() > kMaxTextWithoutMarker) {
                bytesDropped_ += rest.size();
                begin = text_.size();
            }
            break;
        }
        const std::size_t lineFeed = rest.find('\n', marker);
        if (lineFeed == std::string_view::npos) {
            if (rest.size() - marker > kMaxOpenMarker) {
                bytesDropped_ += rest.size();
                begin = text_.size();
            }
            break;
        }
        HandleRecord(rest.substr(0, marker), ParseMarker(rest.substr(marker, lineFeed - marker)));
        begin += lineFeed + 1;
    }
    text_.erase(0, begin);
}

void TextBodyReader::Finish() {
    // Line ends and blanks after the last record are no loss.
    std::size_t meaningful = 0;
    for (const char c : text_)
        meaningful += (c == '\r' || c == '\n' || c == ' ' || c == '\t' || c == '\0') ? 0 : 1;
    if (meaningful > 0)
        trailingBytes_ += text_.size();
    text_.clear();
}

void TextBodyReader::HandleRecord(std::string_view payload, const Marker& marker) {
    ++records_;
    const std::string_view tag = marker.tag;
    const auto has = [&](std::string_view what) { return payload.find(what) != std::string_view::npos; };

    if (tag == "GPSI" && settings_.gnssPort == 0) {
        if (settings_.gnssFormat == 0 && has("GGA"))
            Position(payload, marker);
        return;
    }
    if (tag == "GPSO" && settings_.gnssPort == 1) {
        if (has("GGA"))
            Position(payload, marker);
        return;
    }
    if ((tag == "SVPO" || tag == "SVPI") && settings_.velocityPort == 1) {
        if (settings_.velocityFormat == 0 && has("$"))
            SoundVelocity(payload, marker);
        return;
    }
    if (tag == "ATTI" && settings_.motionPort == 0) {
        if (has(":"))
            MotionWithHeading(payload, marker);
        return;
    }
    if (tag == "ATTO" && settings_.motionPort == 1) {
        switch (settings_.motionFormat) {
            case 0:
                MotionColumns(payload, marker);
                break;
            case 1:
                MotionWithHeading(payload, marker);
                break;
            case 2:
                if (has(":")) {
                    MotionColumns(payload, marker);
                } else if (has("HDT")) {
                    HeadingSentence(payload, marker);
                }
                break;
            case 3:
                Heapp(payload, marker);
                break;
            case 4:
                Pashr(payload, marker);
                break;
            default:
                break;
        }
        return;
    }
    if (tag == "HEADO" && settings_.headingSource == 3) {
        if (settings_.headingFormat == 0 && has("HDT"))
            HeadingSentence(payload, marker);
        return;
    }
    if (tag == "DEPTH") {
        std::string_view record;
        if (From(payload, "$TR2400", record))
            Tr2400(record);
        if (From(payload, "$TR1200", record))
            Tr1200(record, false);
        if (From(payload, "$TR2401", record))
            Tr1200(record, true);
    }
}

void TextBodyReader::Position(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, "GGA", s) || CountOf(s, ',') < 14)
        return;
    const std::vector<std::string_view> f = SplitFields(s);
    const std::string_view ns = f[3], ew = f[5];
    if (f[2].empty() || f[4].empty() || ns.empty() || ew.empty())
        return;
    if ((ns[0] != 'N' && ns[0] != 'S') || (ew[0] != 'E' && ew[0] != 'W'))
        return;
    FixReading fix;
    fix.latitude = DegreesMinutes(f[2]) * (ns[0] == 'S' ? -1.0 : 1.0);
    fix.longitude = DegreesMinutes(f[4]) * (ew[0] == 'W' ? -1.0 : 1.0);
    if (std::fabs(fix.latitude) < 1e-7 && std::fabs(fix.longitude) < 1e-7)
        return;
    fix.quality = LeadingInt(f[6]);
    fix.satellites = LeadingInt(f[7]);
    fix.hdop = FiniteFloat(LeadingDouble(f[8]));
    fix.height = LeadingDouble(f[9]) + LeadingDouble(f[11]);
    lists_.AddFix(SentenceClock(f[1], marker.clock), fix);
}

void TextBodyReader::SoundVelocity(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, "$", s))
        return;
    const std::size_t first = s.find(' ');
    if (first == std::string_view::npos)
        return;
    const std::size_t second = s.find(' ', first + 1);
    const std::string_view value =
        second == std::string_view::npos ? s.substr(first + 1) : s.substr(first + 1, second - first - 1);
    const double v = LeadingDouble(value);
    if (v >= 1300.0 && v <= 1700.0)
        lists_.AddSoundVelocity(marker.clock, v);
}

void TextBodyReader::MotionColumns(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, ":", s) || s.size() < 25)
        return;
    lists_.AddAttitude(marker.clock, Column(s, 20), Column(s, 14), Column(s, 8));
}

void TextBodyReader::MotionWithHeading(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, ":", s) || s.size() < 24)
        return;
    lists_.AddAttitudeAndHeading(marker.clock, Column(s, 19), Column(s, 13), Column(s, 7), Column(s, 1));
}

void TextBodyReader::HeadingSentence(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, "HDT", s))
        return;
    const std::vector<std::string_view> f = SplitFields(s);
    if (f.size() < 2)
        return;
    lists_.AddHeading(marker.clock, LeadingDouble(f[1]));
}

void TextBodyReader::Heapp(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, "$HEAPP", s))
        return;
    const std::vector<std::string_view> f = SplitFields(s);
    if (f.size() < 9)
        return;
    lists_.AddAttitudeAndHeading(SentenceClock(f[2], marker.clock), -LeadingDouble(f[6]), LeadingDouble(f[5]),
                                 LeadingDouble(f[8]), LeadingDouble(f[4]));
}

void TextBodyReader::Pashr(std::string_view payload, const Marker& marker) {
    std::string_view s;
    if (!From(payload, "$PASHR", s))
        return;
    const std::vector<std::string_view> f = SplitFields(s);
    if (f.size() < 12)
        return;
    // A "*" after the eleventh comma: in the fields from the eleventh on.
    bool star = false;
    for (std::size_t k = 11; k < f.size() && !star; ++k) star = f[k].find('*') != std::string_view::npos;
    if (!star)
        return;
    lists_.AddAttitudeAndHeading(marker.clock, LeadingDouble(f[5]), LeadingDouble(f[4]), LeadingDouble(f[6]),
                                 LeadingDouble(f[2]));
}

void TextBodyReader::Tr2400(std::string_view record) {
    constexpr std::size_t kMinLength = 2256;
    constexpr std::size_t kCommaSeparators = 14;
    constexpr std::size_t kBeamData = 2048;
    if (record.size() < kMinLength)
        return;
    // Separators: the first 14 commas, then "#".
    std::vector<std::size_t> separators;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const char want = separators.size() < kCommaSeparators ? ',' : '#';
        if (record[i] == want)
            separators.push_back(i);
    }
    const auto field = [&](std::size_t k) -> std::string_view {
        if (k == 0 || k > separators.size())
            return {};
        const std::size_t start = separators[k - 1] + 1;
        const std::size_t end = k < separators.size() ? separators[k] : record.size();
        return record.substr(start, end - start);
    };
    if (separators.size() < 13 || separators[12] + 1 + kBeamData > record.size())
        return;
    const std::string_view beamData = record.substr(separators[12] + 1, kBeamData);

    const double velocity = LeadingDouble(field(10));
    if (!(velocity >= 1000.0 && velocity <= 2000.0))
        return;
    const double rate = LeadingDouble(field(12));
    if (!UsableRateAndVelocity(rate, velocity))
        return;
    switch (LeadingInt(field(21))) {
        case 1:
            pulseWidth_ = 0.01;
            break;
        case 2:
            pulseWidth_ = 0.025;
            break;
        case 3:
            pulseWidth_ = 0.05;
            break;
        case 5:
            pulseWidth_ = 0.25;
            break;
        case 6:
            pulseWidth_ = 0.5;
            break;
        case 7:
            pulseWidth_ = 1.0;
            break;
        case 8:
            pulseWidth_ = 2.0;
            break;
        case 9:
            pulseWidth_ = 4.0;
            break;
        default:
            pulseWidth_ = 0.1;
            break;
    }
    const int mode = LeadingInt(field(9));
    if (mode >= 1 && mode <= 8) {
        const double halfOpening = std::atan(mode / 2.0) * kDegrees;
        if (LeadingInt(field(8)) != 0) {
            EquiAngleTable(halfOpening, angles_);
        } else {
            EquiDistantTable(halfOpening, angles_);
        }
    }
    const int beams = std::min(std::max(LeadingInt(field(7)), 0), static_cast<int>(kBeamSlots));

    ClockReading clock;
    ParseTimeOfDay(field(3), clock);
    clock.day = LeadingInt(field(4));
    clock.month = LeadingInt(field(5));
    clock.year = LeadingInt(field(6));
    RawPing* ping = lists_.BeginPing(clock, 0);
    if (ping == nullptr)
        return;
    ping->pingNumber = static_cast<std::uint32_t>(LeadingInt(field(2)));
    SetModel(*ping, "TR240");
    ping->soundVelocity = FiniteFloat(velocity);
    PingBeams& stored = lists_.StoreBeams(*ping);
    DecodeBeams(beamData, static_cast<std::size_t>(beams), rate, velocity, pulseWidth_ / 2.0, stored);
    stored.angle = angles_;
    lists_.beamCount = beams;
    lists_.lastPingModel = "TR240";
}

void TextBodyReader::Tr1200(std::string_view record, bool s1) {
    constexpr std::size_t kMinLength = 2352;
    constexpr std::size_t kCommas = 34;
    constexpr std::size_t kBeamData = 2048;
    if (record.size() < kMinLength || CountOf(record, ',') < kCommas)
        return;
    const std::vector<std::string_view> f = SplitFields(record);
    if (f[1].size() != 5 || f[13].size() < kBeamData)
        return;
    const double velocity = LeadingDouble(f[10]);
    const double rate = LeadingDouble(f[12]);
    if (!UsableRateAndVelocity(rate, velocity))
        return;

    if (f[15].size() == 1) {
        static constexpr std::string_view kCodes = "123456789ab";
        static constexpr double kWidths[] = {0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0};
        const std::size_t code = kCodes.find(f[15][0]);
        if (code != std::string_view::npos)
            pulseWidth_ = kWidths[code];
    }
    const double halfWidth = LeadingInt(f[25]) == 1 ? pulseWidth_ / 2.0 : pulseWidth_;

    static constexpr std::string_view kLetters = "abcd";
    const std::string_view kind = f[8];
    const std::size_t letter = kind.size() == 1 ? kLetters.find(kind[0]) : std::string_view::npos;
    if (letter != std::string_view::npos && f[27].size() == 12) {
        const int tilt = LeadingInt(f[27].substr(4, 3));
        if (letter < 3) {
            angles_ = marivane::TiltedTable(static_cast<int>(letter) + 4, tilt >= 1);
        } else {
            EquiAngleTable(64.0, angles_);
            for (float& a : angles_) a -= static_cast<float>(tilt);
        }
    } else {
        static constexpr double kHalfOpenings[] = {14, 26.5, 45, 56.5, 64, 71.5, 76, 78.5, 80, 82};
        const int value = letter != std::string_view::npos ? static_cast<int>(letter) : LeadingInt(kind);
        const int mode = LeadingInt(f[9]);
        const double halfOpening = mode >= 0 && mode <= 9 ? kHalfOpenings[mode] : 64.0;
        if (value == 0) {
            EquiDistantTable(halfOpening, angles_);
        } else {
            EquiAngleTable(halfOpening, angles_);
        }
    }

    ClockReading clock;
    ParseTimeOfDay(f[3], clock);
    clock.day = LeadingInt(f[4]);
    clock.month = LeadingInt(f[5]);
    clock.year = LeadingInt(f[6]);
    RawPing* ping = lists_.BeginPing(clock, 0);
    if (ping == nullptr)
        return;
    const std::string_view model = s1 ? "TR240S1" : "TR120";
    ping->firstInteger = LeadingInt(f[33]);
    ping->pingNumber = static_cast<std::uint32_t>(LeadingInt(f[2]));
    SetModel(*ping, model);
    ping->flags = LeadingInt(f[26]);
    ping->soundVelocity = FiniteFloat(velocity);
    PingBeams& stored = lists_.StoreBeams(*ping);
    DecodeBeams(f[13], kBeamSlots, rate, velocity, halfWidth, stored);
    stored.angle = angles_;
    lists_.beamCount = static_cast<int>(kBeamSlots);
    lists_.lastPingModel = std::string(model);
}

}  // namespace quillfen
