#pragma once
// The fourteen chart colours (borders, lines, track, coverage, text, vessel, background, ...), kept in
// section "ParaOfViewColor" of the project file and edited in the colour settings dialog. Colours
// are 0x00BBGGRR values, stored as unsigned decimal numbers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

namespace marivane {

inline constexpr std::string_view kViewColorSection = "ParaOfViewColor";

constexpr std::uint32_t RgbColor(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
inline constexpr std::uint32_t kWhite = RgbColor(255, 255, 255);

// In the order of the settings keys and of the colour dialog's rows.
enum class ViewColor : std::size_t {
    Border,          // PBorderColor
    SurveyLine,      // PSurColor
    CurrentLine,     // PReSurColor
    DirectionArrow,  // PShipOrientColor
    Track,           // PTrackColor: live track and track files
    MatrixOutline,   // PMatrixLineColor
    Coverage,        // PCoverLineColor
    Measure,         // PMeasurDisCorlor: distance measurement, pointer to the line start
    HelperSolid,     // PFuzhuSolidLineColor: line editor's working lines
    HelperDashed,    // PFuzhuDotLineColor: line editor's rubber band
    Text,            // PTextColor
    Vessel,          // PBoatColor
    Background,      // PViewBKColor
    Navigation,      // PViewNaviColor: speed and depth text
};
inline constexpr std::size_t kViewColorCount = 14;

struct ViewColorInfo {
    ViewColor colour;
    std::string_view key;
    std::string_view label;  // row of the colour dialog
    std::uint32_t start;
};
std::span<const ViewColorInfo, kViewColorCount> ViewColorTable();

struct ViewColors {
    std::array<std::uint32_t, kViewColorCount> values = StartValues();

    std::uint32_t& operator[](ViewColor c) { return values.at(static_cast<std::size_t>(c)); }
    std::uint32_t operator[](ViewColor c) const { return values.at(static_cast<std::size_t>(c)); }

    static std::array<std::uint32_t, kViewColorCount> StartValues();
    friend bool operator==(const ViewColors&, const ViewColors&) = default;
};

// Reads section ParaOfViewColor of the project file over `colours`. A value that does not begin with
// a number reads as 0 (black); a number outside 0..0xFFFFFF is no colour and, like a missing key or an
// empty value, leaves the colour as it was. False, with nothing changed, when the file cannot be read.
bool ReadViewColors(ViewColors& colours, const std::filesystem::path& projectFile);

// The fourteen keys in table order, "%u" each. An empty project file path (no project) writes nothing
// and succeeds. False when a key could not be written (the others are still written).
bool WriteViewColors(const ViewColors& colours, const std::filesystem::path& projectFile);

// The colour dialog's answer to a colour chosen for one row: white is refused for the vessel with
// "Please select a different color!" and the row keeps its colour. True when the colour was taken.
bool ChooseViewColor(ViewColors& dialogColours, ViewColor row, std::uint32_t chosen);

// OK of the colour settings command, for the chart colours: `chosen` becomes the current set and is
// written to the project file at once. A failed write shows one error naming the file and returns false.
bool ConfirmViewColors(ViewColors& current, const ViewColors& chosen,
                       const std::filesystem::path& projectFile);

}  // namespace marivane
