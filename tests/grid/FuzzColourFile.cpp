// Any text as a colour file: read as the editor opens it and as a project open reads it.

#include <cstdint>
#include <string>
#include <string_view>

#include "marivane/grid/ColourFile.h"

namespace {

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto content = marivane::ParseColourFile(text)) {
        Check(marivane::CheckBandLayout(content->settings) == marivane::BandLayoutProblem::None);
        Check(content->legend.size() <= static_cast<std::size_t>(marivane::kMaxBandCount));
        for (const auto& e : content->legend)
            Check(!e.label.empty() && e.label.size() <= marivane::kLegendLabelLength);
        // Written again, the file reads back with the same legend, unless the depths, rounded to two
        // decimals, no longer make a layout.
        const std::string again = marivane::FormatColourFile(content->settings, content->legend);
        if (const auto reread = marivane::ParseColourFile(again)) {
            Check(reread->legend == content->legend);
            Check(reread->settings.keys == content->settings.keys);
        } else {
            Check(!marivane::ParseColourFileSettings(again).has_value());
        }
    }

    if (const auto settings = marivane::ParseColourFileSettings(text)) {
        marivane::DepthColourTable table;
        Check(table.SetSettings(*settings) == marivane::BandLayoutProblem::None);
        table.RebuildLegend();
        Check(table.Legend().size() == table.BandColours().size());
        for (double depth : {-1e9, 0.0, settings->minDepth, settings->maxDepth, 1e9}) {
            Check(static_cast<std::size_t>(table.BandOf(depth)) < table.BandColours().size());
            Check(static_cast<std::size_t>(table.WholeGridBandOf(static_cast<float>(depth))) <
                  table.BandColours().size());
        }
    }
    return 0;
}
