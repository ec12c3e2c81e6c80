#pragma once
// The HSX writer: a text file of the HSX exchange format with a header describing four devices (GNSS,
// multibeam, motion sensor, compass), then one record per sample in time order (HCP attitude, GYR
// heading, POS/GPS/TID fix, RMB ping with its range, angle and quality lines). A new file, with a full
// header of its own, starts whenever the data cross midnight while pings remain: survey.HSX continues in
// survey_NewDay1.HSX, then survey_NewDay1_NewDay2.HSX.

#include <filesystem>

#include "quillfen/RawReader.h"
#include "quillfen/WriterCommon.h"

namespace quillfen {

// Writes the loaded samples of `reader` to `path` (and its continuations). The files are complete
// but still under temporary names in the outcome; CommitOutputs puts them in place. The reader's sample
// lists are cleared on return.
WriteOutcome WriteHsx(RawDataReader& reader, const std::filesystem::path& path,
                      const ConversionSettings& settings, const PingProgress& progress = {});

// The header's sounding flags of a ping's flags: 1 when roll compensated (bit 0 or bit 3), plus 2
// when pitch compensated (bit 1).
int HsxSoundingFlags(std::int32_t pingFlags);

// Quality of a GNSS fix as HSX maps it: 0 → 0; 2, 5, 7, 8, 9 → 2; 4 → 3; anything else 1.
int HsxQuality(int quality);

}  // namespace quillfen
