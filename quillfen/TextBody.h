#pragma once
// The text body of raw data files of formats "1.0.0" and "1.1.0": every sensor message as it arrived,
// each followed by a marker line "$MARKTIME,TAG,year,month,day,hour,minute,second,microseconds*" that
// names its source and time. Records are cut out of the text as it is read and handed to the parser
// that the tag and the input settings select; the parsers append to the same sample lists as packets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "quillfen/LocalTime.h"
#include "quillfen/SampleLists.h"

namespace quillfen {

// The input settings of the device block (offsets 240 to 287): port, format and an unread third value
// for the GNSS receiver, the motion sensor, the heading source and the sound velocity probe.
struct InputSettings {
    std::int32_t gnssPort = 0, gnssFormat = 0;
    std::int32_t motionPort = 0, motionFormat = 0;
    std::int32_t headingSource = 0, headingFormat = 0;
    std::int32_t velocityPort = 0, velocityFormat = 0;
};

inline constexpr std::size_t kInputSettingsOffset = 240;
// Reads the settings from a 512-byte device block.
InputSettings ReadInputSettings(std::span<const std::uint8_t, 512> block);

// The marker line's fields.
struct Marker {
    std::string_view tag;
    ClockReading clock;
};

// Parses a marker line (from "$MARKTIME" up to, not including, its line feed).
Marker ParseMarker(std::string_view line);

class TextBodyReader {
  public:
    static constexpr std::size_t kPieceSize = 65536;
    static constexpr std::size_t kMaxTextWithoutMarker = 4800;
    static constexpr std::size_t kMaxOpenMarker = 50;

    TextBodyReader(SampleLists& lists, const InputSettings& settings) : lists_(lists), settings_(settings) {}

    // Appends one piece of the body and handles every complete record in the text.
    void Feed(std::string_view piece);
    // The end of the body: what is left is an unfinished record and is counted as trailing bytes.
    void Finish();

    // One record: the payload (the text before the marker) and the marker line.
    void HandleRecord(std::string_view payload, const Marker& marker);

    std::uint64_t BytesDropped() const { return bytesDropped_; }
    std::uint64_t TrailingBytes() const { return trailingBytes_; }
    std::uint64_t Records() const { return records_; }

  private:
    void Position(std::string_view payload, const Marker& marker);
    void SoundVelocity(std::string_view payload, const Marker& marker);
    void MotionColumns(std::string_view payload, const Marker& marker);
    void MotionWithHeading(std::string_view payload, const Marker& marker);
    void HeadingSentence(std::string_view payload, const Marker& marker);
    void Heapp(std::string_view payload, const Marker& marker);
    void Pashr(std::string_view payload, const Marker& marker);
    void Tr2400(std::string_view record);
    void Tr1200(std::string_view record, bool s1);

    SampleLists& lists_;
    InputSettings settings_;
    std::string text_;
    std::uint64_t bytesDropped_ = 0;
    std::uint64_t trailingBytes_ = 0;
    std::uint64_t records_ = 0;

    // State carried from one sonar record to the next.
    double pulseWidth_ = 0.1;                 // w of the last record that set it
    std::array<float, kBeamSlots> angles_{};  // angles of the previous sonar record
};

// --- Pieces of the parsers, exposed for tests ------------------------------------------------------

// A time of day "hhmmss.ss" into hour, minute and second fields of `clock` (date untouched); a value
// that is not a plausible time gives an hour of 99, which no check accepts.
void ParseTimeOfDay(std::string_view field, ClockReading& clock);

// A sentence's own time of day with the marker's date, moved back a day when the sentence was made
// just before midnight and the marker just after it.
ClockReading SentenceClock(std::string_view timeField, const ClockReading& marker);

// Degrees of "ddmm.mmmm" / "dddmm.mmmm": whole part of value / 100 plus the remainder / 60.
double DegreesMinutes(std::string_view field);

// Travel time of one beam from four hexadecimal digits; negative when the digits are not hexadecimal.
int HexBeam(std::string_view digits);

}  // namespace quillfen
