#include <cmath>
#include <cstdint>
#include <string_view>

#include "marivane/acquisition/SoundVelocity.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

}  // namespace

// Any bytes read as a profile give finite points ordered by depth, within the ranges when they are
// checked; clean-up leaves strictly increasing depths; the axes of what was read are finite.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool header : {false, true}) {
        for (const bool ranges : {false, true}) {
            marivane::SvpText read = marivane::ParseSvpText(text, {.header = header, .rangeChecks = ranges});
            Check(read.status == marivane::SvpTextStatus::Ok || read.points.empty());
            for (std::size_t i = 0; i < read.points.size(); ++i) {
                const marivane::SvpPoint& p = read.points[i];
                Check(std::isfinite(p.depth) && std::isfinite(p.velocity));
                if (i > 0)
                    Check(read.points[i - 1].depth <= p.depth);
                if (ranges)
                    Check(p.depth >= 0.0 && p.depth <= 10000.0 && p.velocity >= 1300.0 &&
                          p.velocity <= 1700.0);
            }
            std::vector<marivane::SvpPoint> points = read.points;
            marivane::CleanSvpPoints(points);
            for (std::size_t i = 1; i < points.size(); ++i) Check(points[i - 1].depth < points[i].depth);
            if (!points.empty()) {
                const marivane::AxisScale axis =
                    marivane::RoundAxis(points.front().depth, points.back().depth);
                Check(axis.intervals >= 1 && axis.intervals <= 10);
                Check(!std::isnan(axis.start) && !std::isnan(axis.end));
            }
        }
    }
    return 0;
}
