#include "tools/rawdump/DumpOptions.h"

namespace rawdump {

bool ParseDumpOptions(const std::vector<std::string>& args, DumpOptions& out, std::string& error) {
    out = DumpOptions{};
    bool modeGiven = false;
    const auto setMode = [&](DumpMode mode) {
        if (modeGiven && out.mode != mode) {
            error = "--records and --soundings exclude each other";
            return false;
        }
        modeGiven = true;
        out.mode = mode;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--records") {
            if (!setMode(DumpMode::Records))
                return false;
        } else if (arg == "--soundings") {
            if (!setMode(DumpMode::Soundings))
                return false;
        } else if (arg == "--settings" || arg == "--svp") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs a file";
                return false;
            }
            (arg == "--settings" ? out.settingsFile : out.svpFile) = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (out.file.empty()) {
            out.file = arg;
        } else {
            error = "more than one raw data file given";
            return false;
        }
    }
    if (!out.help && out.file.empty()) {
        error = "no raw data file given";
        return false;
    }
    return true;
}

std::string UsageText() {
    return R"(usage: rawdump [--records | --soundings] [--settings PROJECT.ini] [--svp FILE] FILE.mbm
       rawdump --help
Reads a binary (format 1.2.0) raw data file through the survey program's own acquisition path: the
packets go to the framer in 64 KiB reads, then to the decoders and the ping processing, and the
positioned pings are drained as the main window drains them.
  (no mode)     a summary: file bytes, packets per type, flagged, broken and skipped data, the first
                and last record time, pings accepted per head, pings positioned
  --records     one line per decoded record (first word the kind, then the epoch time "%.6f"):
                  ping T head H number N beams B ssv V rate R stab S tilt D opening A model M
                  gnss T lat B lon L height H east E north N quality Q sats S hdop P
                  heading T heading D
                  attitude T roll R pitch P heave H
                  time T
  --soundings   every valid positioned sounding, "time ping head beam easting northing depth"
                ("%.6f %u %u %u %.3f %.3f %.3f")
Installation offsets and the coordinate system come from the file's header and every ping's surface
sound velocity is used, unless
  --settings PROJECT.ini   coordinate system (ParaOfGeo), offsets (DeviceModel, DeviceLocation) and
                           sound velocity source (ShengPou; a profile from the file's folder)
  --svp FILE               a sound velocity profile (.vel with its "FTP" line, or plain points)
Exit status: 0 ok, 1 the file (or a settings or profile file) cannot be read, 2 bad usage.
)";
}

}  // namespace rawdump
