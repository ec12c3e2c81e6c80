#include "marivane/grid/ColourTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/NumberText.h"

namespace marivane {
namespace {

// The quotient (D1 − D0) / step of an accepted layout, or nothing.
std::optional<double> LayoutQuotient(double minDepth, double maxDepth, double step) {
    if (CheckBandLayout(minDepth, maxDepth, step) != BandLayoutProblem::None)
        return std::nullopt;
    return (maxDepth - minDepth) / step;
}

std::uint32_t Channel(ColourRef c, int shift) {
    return (c >> shift) & 0xFFu;
}

// The m + 1 colours of a gradient segment from a toward b.
void AppendSegment(std::vector<ColourRef>& out, ColourRef a, ColourRef b, int m) {
    if (m < 0)
        return;
    double steps[3];
    for (int k = 0; k < 3; ++k) {
        const int shift = 8 * k;
        steps[k] =
            (static_cast<double>(Channel(b, shift)) - static_cast<double>(Channel(a, shift))) / (m + 1);
    }
    for (int i = 0; i <= m; ++i) {
        ColourRef colour = 0;
        for (int k = 0; k < 3; ++k) {
            const int shift = 8 * k;
            // |i × step| < |b − a|, so the channel stays within 0 … 255.
            const auto channel = static_cast<std::int64_t>(Channel(a, shift)) +
                                 static_cast<std::int64_t>(std::trunc(i * steps[k]));
            colour |= static_cast<ColourRef>(std::clamp<std::int64_t>(channel, 0, 255)) << shift;
        }
        out.push_back(colour);
    }
}

// The double as a float, saturating at the largest finite float instead of overflowing.
float SaturatingFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(v, -kMax, kMax));
}

std::string Cut(std::string text) {
    if (text.size() > kLegendLabelLength)
        text.resize(kLegendLabelLength);
    return text;
}

}  // namespace

BandLayoutProblem CheckBandLayout(double minDepth, double maxDepth, double step) {
    if (!std::isfinite(minDepth) || !std::isfinite(maxDepth) || !std::isfinite(step))
        return BandLayoutProblem::NotANumber;
    if (!(step > 0.0))
        return BandLayoutProblem::StepNotPositive;
    if (maxDepth < minDepth)
        return BandLayoutProblem::MaxBelowMin;
    // Compared as doubles: the quotient may be far beyond any integer (or infinite).
    const double quotient = (maxDepth - minDepth) / step;
    if (!(std::trunc(quotient) + 2.0 <= kMaxBandCount))
        return BandLayoutProblem::TooManyBands;
    return BandLayoutProblem::None;
}

std::optional<int> BandCount(double minDepth, double maxDepth, double step) {
    const auto quotient = LayoutQuotient(minDepth, maxDepth, step);
    if (!quotient)
        return std::nullopt;
    return static_cast<int>(std::trunc(*quotient)) + 2;
}

std::vector<ColourRef> GenerateBandColours(const std::array<ColourRef, 5>& keys, double minDepth,
                                           double maxDepth, double step) {
    const auto count = BandCount(minDepth, maxDepth, step);
    if (!count)
        return {};
    const int n = *count;
    std::vector<ColourRef> out;
    out.reserve(static_cast<std::size_t>(n));
    const int r = (n - 5) % 4;
    const int q = (n - 5) / 4;
    if (r < 0) {
        // n is 2, 3 or 4.
        out.assign(keys.begin(), keys.begin() + n);
        return out;
    }
    const int m[4] = {q, r == 3 ? q + 1 : q, r >= 2 ? q + 1 : q, r >= 1 ? q + 1 : q};
    for (int s = 0; s < 4; ++s)
        AppendSegment(out, keys[static_cast<std::size_t>(s)], keys[static_cast<std::size_t>(s) + 1], m[s]);
    out.push_back(keys[4]);
    return out;
}

std::string BandLabel(int band, int bandCount, double minDepth, double maxDepth, double step) {
    if (band <= 0)
        return Cut("<" + platform::FormatDouble("%.2f", minDepth));
    if (band >= bandCount - 1)
        return Cut(">" + platform::FormatDouble("%.2f", maxDepth));
    const double d = (band - 1) * step + minDepth;
    return Cut(platform::FormatDouble("%.2f", d) + "-" + platform::FormatDouble("%.2f", d + step - 0.01));
}

std::vector<LegendEntry> MakeLegend(const BandSettings& settings) {
    const std::vector<ColourRef> colours = GenerateBandColours(settings);
    std::vector<LegendEntry> legend;
    legend.reserve(colours.size());
    const int n = static_cast<int>(colours.size());
    for (int i = 0; i < n; ++i) {
        legend.push_back({colours[static_cast<std::size_t>(i)],
                          BandLabel(i, n, settings.minDepth, settings.maxDepth, settings.step)});
    }
    return legend;
}

void ReverseLegendColours(std::vector<LegendEntry>& entries) {
    for (std::size_t i = 0, j = entries.size(); i + 1 < j; ++i, --j)
        std::swap(entries[i].colour, entries[j - 1].colour);
}

int BandOfSounding(double depth, double minDepth, double step, std::size_t bandCount) {
    const int last = static_cast<int>(bandCount) - 1;
    const double x = (depth - minDepth) / step;
    if (!(x > 0.0))  // ceil gives 0 or less; not a number as well
        return 0;
    if (x >= last)
        return std::max(last, 0);
    return static_cast<int>(std::ceil(x));
}

int BandOfCellMean(float mean, double minDepth, double step, std::size_t bandCount) {
    const int last = static_cast<int>(bandCount) - 1;
    const float x = (mean - SaturatingFloat(minDepth)) * (1.0f / SaturatingFloat(step));
    if (!(x > -1.0f))  // whole part plus one is 0 or less; not a number as well
        return 0;
    if (x >= static_cast<float>(last))
        return std::max(last, 0);
    return std::min(static_cast<int>(x) + 1, last);
}

DepthColourTable::DepthColourTable() : bands_(GenerateBandColours(settings_)) {}

BandLayoutProblem DepthColourTable::SetSettings(const BandSettings& settings) {
    const BandLayoutProblem problem = CheckBandLayout(settings);
    if (problem != BandLayoutProblem::None)
        return problem;
    settings_ = settings;
    bands_ = GenerateBandColours(settings_);
    return BandLayoutProblem::None;
}

void DepthColourTable::RebuildLegend() {
    legend_ = MakeLegend(settings_);
}

BandLayoutProblem DepthColourTable::RebuildLegendFrom(const BandSettings& settings) {
    const BandLayoutProblem problem = CheckBandLayout(settings);
    if (problem != BandLayoutProblem::None)
        return problem;
    settings_.minDepth = settings.minDepth;
    settings_.maxDepth = settings.maxDepth;
    settings_.step = settings.step;
    legend_ = MakeLegend(settings);
    return BandLayoutProblem::None;
}

void DepthColourTable::UseLegendColours() {
    if (legend_.empty())
        return;
    bands_.clear();
    for (const LegendEntry& e : legend_) bands_.push_back(e.colour);
}

int DepthColourTable::BandOf(double depth) const {
    return BandOfSounding(depth, settings_.minDepth, settings_.step, bands_.size());
}

int DepthColourTable::WholeGridBandOf(float mean) const {
    return BandOfCellMean(mean, settings_.minDepth, settings_.step, bands_.size());
}

}  // namespace marivane
