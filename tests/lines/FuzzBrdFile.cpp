#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "marivane/lines/BrdFile.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

}  // namespace

// Any bytes read as a border by either reader give finite points, at most one per text line; what
// the editor's reader gives writes and reads back by both readers to the same points to two decimals,
// and writing that again gives the same text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t textLines = 1;
    for (const char c : text) textLines += c == '\n' ? 1 : 0;
    const std::vector<marivane::PlanPoint> editor = marivane::ParseBrdForEditor(text);
    const std::vector<marivane::PlanPoint> display = marivane::ParseBrdForDisplay(text);
    Check(editor.size() == display.size() && editor.size() <= textLines);
    for (const std::vector<marivane::PlanPoint>* points : {&editor, &display}) {
        for (const marivane::PlanPoint& p : *points)
            Check(std::isfinite(p.easting) && std::isfinite(p.northing));
    }

    const std::string once = marivane::FormatBrd(editor);
    const std::vector<marivane::PlanPoint> back = marivane::ParseBrdForEditor(once);
    Check(back == marivane::ParseBrdForDisplay(once));
    Check(back.size() == editor.size());
    for (std::size_t i = 0; i < editor.size(); ++i) {
        Check(std::fabs(back[i].easting - editor[i].easting) <=
              5.01e-3 + 1e-15 * std::fabs(editor[i].easting));
        Check(std::fabs(back[i].northing - editor[i].northing) <=
              5.01e-3 + 1e-15 * std::fabs(editor[i].northing));
    }
    Check(marivane::FormatBrd(back) == once);
    return 0;
}
