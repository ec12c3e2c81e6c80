#pragma once
// The depth colour table: depths fall into bands laid out by a minimum depth D0, a maximum depth D1
// and a step, and each band has a colour from a gradient through five key colours. The depth grid
// colours its cells by band, the chart's legend shows the bands with their labels.
//
// Band i of n: i = 0 below D0; i = 1 … n − 2 from D0 + (i − 1)·step to D0 + i·step; i = n − 1 above
// D1; n = whole part of (D1 − D0) / step, plus 2.
//
// Every layout that is made current or generated is checked first: a step that is not a positive
// number, a maximum below the minimum, or more than kMaxBandCount bands are refused and change
// nothing, so the band colour list is never empty and never absurdly long.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace marivane {

// A Windows colour value, 0x00BBGGRR (red in the low byte).
using ColourRef = std::uint32_t;

inline constexpr int kMaxBandCount = 1024;
inline constexpr std::size_t kLegendLabelLength = 16;

struct BandSettings {
    double minDepth = 1.0;   // D0, m
    double maxDepth = 70.0;  // D1, m
    double step = 1.0;       // m
    // K1 … K5: red, yellow, green, blue, magenta.
    std::array<ColourRef, 5> keys = {0x0000FF, 0x00FFFF, 0x00FF00, 0xFF0000, 0xFF00FF};

    friend bool operator==(const BandSettings&, const BandSettings&) = default;
};

enum class BandLayoutProblem {
    None,
    NotANumber,       // a depth or the step is NaN or infinite
    StepNotPositive,  // step <= 0
    MaxBelowMin,      // D1 < D0
    TooManyBands,     // more than kMaxBandCount bands
};

BandLayoutProblem CheckBandLayout(double minDepth, double maxDepth, double step);
inline BandLayoutProblem CheckBandLayout(const BandSettings& s) {
    return CheckBandLayout(s.minDepth, s.maxDepth, s.step);
}

// n for an accepted layout (2 … kMaxBandCount), nothing for a refused one.
std::optional<int> BandCount(double minDepth, double maxDepth, double step);

// The band colours of a layout: with r and q the remainder and quotient of (n − 5) / 4, K1 … Kn for
// n < 5, otherwise the four gradients K1→K2, K2→K3, K3→K4, K4→K5 of q or q + 1 steps and K5 at the
// end. Empty for a refused layout.
std::vector<ColourRef> GenerateBandColours(const std::array<ColourRef, 5>& keys, double minDepth,
                                           double maxDepth, double step);
inline std::vector<ColourRef> GenerateBandColours(const BandSettings& s) {
    return GenerateBandColours(s.keys, s.minDepth, s.maxDepth, s.step);
}

// "<%.2f" of D0 for band 0, ">%.2f" of D1 for band n − 1, otherwise "%.2f-%.2f" of d and
// d + step − 0.01 with d = (band − 1)·step + D0; cut to kLegendLabelLength characters.
std::string BandLabel(int band, int bandCount, double minDepth, double maxDepth, double step);

struct LegendEntry {
    ColourRef colour = 0;
    std::string label;  // at most kLegendLabelLength characters

    friend bool operator==(const LegendEntry&, const LegendEntry&) = default;
};

// One entry per generated band colour with the label of its band; empty for a refused layout.
std::vector<LegendEntry> MakeLegend(const BandSettings& settings);

// Reverses the order of the colours, leaving every label where it is.
void ReverseLegendColours(std::vector<LegendEntry>& entries);

// The colour as a pixel of a 32-bit image: 0x00RRGGBB.
constexpr std::uint32_t PixelColour(ColourRef c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Band of a new sounding: ceil((depth − D0) / step), clamped to 0 … bandCount − 1 (a depth that is
// not a number takes band 0). bandCount must be at least 1.
int BandOfSounding(double depth, double minDepth, double step, std::size_t bandCount);

// Band of a cell mean when a whole grid is coloured: the whole part, toward zero, of
// (mean − D0) × (1 / step) computed in single precision, plus 1, clamped the same way.
int BandOfCellMean(float mean, double minDepth, double step, std::size_t bandCount);

// The program-wide current colour state: layout and key colours, the band colour list the grids are
// coloured with, and the legend the chart draws (empty at program start).
class DepthColourTable {
  public:
    DepthColourTable();

    const BandSettings& Settings() const { return settings_; }
    std::span<const ColourRef> BandColours() const { return bands_; }
    const std::vector<LegendEntry>& Legend() const { return legend_; }

    // Makes `settings` current and regenerates the band colours from them. A refused layout changes
    // nothing and is returned.
    BandLayoutProblem SetSettings(const BandSettings& settings);

    // The legend from the current values: generated colours and their labels.
    void RebuildLegend();

    // The colour depth editor's opening and its OK: the current D0, D1 and step take those of
    // `settings` and the legend is generated from `settings` (key colours included). The band colour
    // list keeps its colours until the colour settings are confirmed. A refused layout changes nothing.
    BandLayoutProblem RebuildLegendFrom(const BandSettings& settings);

    std::vector<LegendEntry>& MutableLegend() { return legend_; }
    void ClearLegend() { legend_.clear(); }
    // When the legend is not empty, its colours become the band colour list.
    void UseLegendColours();

    int BandOf(double depth) const;
    int WholeGridBandOf(float mean) const;
    ColourRef SoundingColour(double depth) const { return bands_[static_cast<std::size_t>(BandOf(depth))]; }
    ColourRef CellColour(float mean) const { return bands_[static_cast<std::size_t>(WholeGridBandOf(mean))]; }

  private:
    BandSettings settings_;
    std::vector<ColourRef> bands_;  // never empty
    std::vector<LegendEntry> legend_;
};

}  // namespace marivane
