#include "tools/sonarsim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <sstream>
#include <string_view>

#include "tools/sonarsim/SimClock.h"

namespace sonarsim {

InstallOffsets SimOptions::SecondTransducer() const {
    if (transducer2Given)
        return transducer2;
    InstallOffsets second = transducer;
    second.x += 0.6;
    return second;
}

namespace {

bool ParseNumber(std::string_view text, double& out) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out, std::chars_format::general);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(out);
}

template <typename Int>
bool ParseInteger(std::string_view text, Int& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// Comma-separated numbers, between `least` and `most` of them.
bool ParseList(std::string_view text, std::vector<double>& out, std::size_t least, std::size_t most) {
    out.clear();
    while (true) {
        const std::size_t comma = text.find(',');
        double v = 0;
        if (!ParseNumber(text.substr(0, comma), v))
            return false;
        out.push_back(v);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return out.size() >= least && out.size() <= most;
}

// Shortest fixed-point text that reads back as the same value.
std::string Number(double v) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
    return std::string(buffer, r.ptr);
}

std::string Install(const InstallOffsets& o) {
    std::string s = Number(o.x) + "," + Number(o.y) + "," + Number(o.z) + "," + Number(o.roll) + "," +
                    Number(o.pitch) + "," + Number(o.yaw);
    if (o.latency != 0)
        s += "," + Number(o.latency);
    return s;
}

struct Option {
    const char* name;
    const char* arg;  // nullptr: a flag without a value
    const char* help;
    std::function<bool(std::string_view)> set;
    std::function<std::string()> show;  // the current value, for the defaults in the usage text
};

using OptionTable = std::vector<Option>;

void AddReal(OptionTable& s, const char* name, const char* arg, const char* help, double& v, double lo,
             double hi) {
    s.push_back({name, arg, help,
                 [&v, lo, hi](std::string_view t) { return ParseNumber(t, v) && v >= lo && v <= hi; },
                 [&v] { return Number(v); }});
}

void AddInt(OptionTable& s, const char* name, const char* arg, const char* help, int& v, int lo, int hi) {
    s.push_back({name, arg, help,
                 [&v, lo, hi](std::string_view t) { return ParseInteger(t, v) && v >= lo && v <= hi; },
                 [&v] { return std::to_string(v); }});
}

void AddText(OptionTable& s, const char* name, const char* arg, const char* help, std::string& v,
             std::size_t maxLength) {
    s.push_back({name, arg, help,
                 [&v, maxLength](std::string_view t) {
                     v = std::string(t);
                     return !t.empty() && t.size() <= maxLength;
                 },
                 [&v] { return v.empty() ? std::string("none") : v; }});
}

void AddFlag(OptionTable& s, const char* name, const char* help, bool& v) {
    s.push_back({name, nullptr, help,
                 [&v](std::string_view) {
                     v = true;
                     return true;
                 },
                 [&v] { return std::string(v ? "on" : "off"); }});
}

void AddInstall(OptionTable& s, const char* name, const char* help, InstallOffsets& v,
                bool* given = nullptr) {
    s.push_back({name, "X,Y,Z,ROLL,PITCH,YAW[,LATENCY]", help,
                 [&v, given](std::string_view t) {
                     std::vector<double> n;
                     if (!ParseList(t, n, 6, 7))
                         return false;
                     v = InstallOffsets{n[0], n[1], n[2], n[3], n[4], n[5], n.size() > 6 ? n[6] : 0.0};
                     if (given)
                         *given = true;
                     return true;
                 },
                 [&v, given] {
                     return given && !*given ? std::string("the transducer's, 0.6 m to starboard")
                                             : Install(v);
                 }});
}

void AddPoint(OptionTable& s, const char* name, const char* help, double& e, double& n, bool* given,
              const char* otherwise) {
    s.push_back({name, "E,N", help,
                 [&e, &n, given](std::string_view t) {
                     std::vector<double> v;
                     if (!ParseList(t, v, 2, 2))
                         return false;
                     e = v[0];
                     n = v[1];
                     if (given)
                         *given = true;
                     return true;
                 },
                 [&e, &n, given, otherwise] {
                     return given && !*given ? std::string(otherwise) : Number(e) + "," + Number(n);
                 }});
}

OptionTable MakeOptionTable(SimOptions& o) {
    OptionTable s;
    // Clock and survey.
    s.push_back({"--start", "\"YYYY-MM-DD HH:MM:SS\"", "UTC date-time of the sonar clock at the start",
                 [&o](std::string_view t) {
                     o.start = std::string(t);
                     return SimClock::ParseStart(t).has_value();
                 },
                 [&o] { return o.start; }});
    s.push_back({"--seed", "N", "seed of every random choice (faults, GNSS satellites and HDOP)",
                 [&o](std::string_view t) { return ParseInteger(t, o.seed); },
                 [&o] { return std::to_string(o.seed); }});
    AddText(s, "--settings", "PROJECT.ini", "coordinate system: section ParaOfGeo of this file",
            o.settingsFile, 4096);
    AddReal(s, "--duration", "S", "seconds of pinging, 0 for all lines", o.duration, 0, 1e6);
    AddPoint(s, "--origin", "grid start of the first line (easting, northing)", o.originEast, o.originNorth,
             nullptr, "");
    AddReal(s, "--line-heading", "DEG", "direction of the first line, clockwise from north", o.lineHeading,
            -360, 360);
    AddReal(s, "--line-length", "M", "length of each line", o.lineLength, 1, 1e5);
    AddReal(s, "--line-spacing", "M", "distance between lines (the next line lies to starboard)",
            o.lineSpacing, 0, 1e4);
    AddInt(s, "--lines", "N", "number of lines", o.lines, 1, 1000);
    AddReal(s, "--vessel-speed", "M/S", "speed over ground", o.vesselSpeed, 0.1, 20);
    // Sea floor.
    AddReal(s, "--depth", "M", "depth of the sloping plane at the origin", o.depth, 1, 900);
    AddReal(s, "--slope-east", "M/M", "depth gained per metre eastward", o.slopeEast, -1, 1);
    AddReal(s, "--slope-north", "M/M", "depth gained per metre northward", o.slopeNorth, -1, 1);
    AddPoint(s, "--mount", "seamount centre (easting, northing)", o.mountEast, o.mountNorth, &o.mountGiven,
             "middle of the lines");
    AddReal(s, "--mount-height", "M", "seamount rise above the plane (0: none)", o.mountHeight, -500, 500);
    AddReal(s, "--mount-width", "M", "seamount standard deviation", o.mountWidth, 0.1, 1e5);
    // Motion.
    AddReal(s, "--roll", "DEG", "roll amplitude", o.roll, 0, 30);
    AddReal(s, "--roll-period", "S", "roll period", o.rollPeriod, 0.5, 1000);
    AddReal(s, "--pitch", "DEG", "pitch amplitude", o.pitch, 0, 20);
    AddReal(s, "--pitch-period", "S", "pitch period", o.pitchPeriod, 0.5, 1000);
    AddReal(s, "--heave", "M", "heave amplitude", o.heave, 0, 10);
    AddReal(s, "--heave-period", "S", "heave period", o.heavePeriod, 0.5, 1000);
    AddReal(s, "--yaw", "DEG", "yaw oscillation about the course", o.yaw, 0, 30);
    AddReal(s, "--yaw-period", "S", "yaw period", o.yawPeriod, 0.5, 1000);
    // Sonar.
    AddReal(s, "--ping-rate", "HZ", "pings per second", o.pingRate, 0.05, 50);
    AddInt(s, "--beams", "N", "beams per ping (at most 512)", o.beams, 1, 512);
    AddReal(s, "--opening", "DEG", "swath opening angle", o.opening, 1, 170);
    s.push_back({"--spacing", "equiangle|equidistant", "beam spacing",
                 [&o](std::string_view t) {
                     o.equiAngle = t == "equiangle";
                     return t == "equiangle" || t == "equidistant";
                 },
                 [&o] { return std::string(o.equiAngle ? "equiangle" : "equidistant"); }});
    AddText(s, "--model", "TEXT", "model text of full pings (at most 8 characters)", o.model, 8);
    s.push_back({"--device-number", "DIGITS", "device number text of full pings (1 to 8 digits)",
                 [&o](std::string_view t) {
                     o.deviceNumber = std::string(t);
                     return !t.empty() && t.size() <= 8 &&
                            t.find_first_not_of("0123456789") == std::string_view::npos;
                 },
                 [&o] { return o.deviceNumber; }});
    AddInt(s, "--stabilisation", "FLAGS",
           "stabilisation flags of the pings (bit 0/3 roll, bit 1 pitch compensated)", o.stabilisation, 0,
           255);
    AddReal(s, "--angle-scale", "DEG", "degrees per angle count", o.angleScale, 0.0001, 1);
    AddReal(s, "--range-scale", "S", "seconds per sample (0: chosen per ping from its longest time)",
            o.rangeScale, 0, 0.001);
    AddFlag(s, "--dual-head", "add second-head pings (3300)", o.dualHead);
    AddFlag(s, "--short-pings",
            "first-head pings as short pings (3004): angles from the built-in table, its first N entries",
            o.shortPings);
    AddText(s, "--short-model", "TEXT",
            "model text of short pings; other than TR240S1 the spacing/opening table", o.shortModel, 8);
    AddText(s, "--header-model", "TEXT", "model name in the raw data file header", o.headerModel, 7);
    // Sensors.
    AddReal(s, "--gnss-rate", "HZ", "GNSS fixes per second", o.gnssRate, 0.2, 20);
    AddReal(s, "--attitude-rate", "HZ", "attitude samples per second", o.attitudeRate, 1, 200);
    AddReal(s, "--heading-rate", "HZ", "heading samples per second", o.headingRate, 1, 100);
    AddReal(s, "--geoid-separation", "M", "geoid separation sent with the fixes", o.geoidSeparation, -200,
            200);
    // Installation.
    AddInstall(s, "--transducer", "transducer offsets (m, degrees, s)", o.transducer);
    AddInstall(s, "--transducer2", "second-head transducer offsets", o.transducer2, &o.transducer2Given);
    AddInstall(s, "--antenna", "GNSS antenna offsets", o.antenna);
    AddInstall(s, "--motion-sensor", "motion sensor offsets", o.motionSensor);
    AddInstall(s, "--compass", "compass offsets (recorded only)", o.compass);
    // Sound velocity.
    AddReal(s, "--velocity", "M/S", "single sound velocity", o.velocity, 1300, 1700);
    AddText(s, "--svp", "FILE.vel", "sound velocity profile (\"FTP NEW 2\", then \"depth velocity\" lines)",
            o.svpFile, 4096);
    // Faults.
    AddFlag(s, "--faults", "mix in garbage, duplicates, bad tails and flagged packets", o.faults);
    AddReal(s, "--fault-rate", "P", "probability of each kind of fault per packet", o.faultRate, 0, 0.19);
    AddText(s, "--manifest", "FILE", "list every packet with its offset, length, type and fate", o.manifest,
            4096);
    // Serving.
    AddInt(s, "--port", "P", "serve: TCP port (0: any free port)", o.port, 0, 65535);
    AddText(s, "--bind", "ADDR", "serve: listening address", o.bind, 64);
    AddReal(s, "--speed", "X", "serve: times faster than real time (0: no pacing)", o.speed, 0, 1e6);
    AddFlag(s, "--loop", "serve: run the survey again and again (clock continuing) until --max-runtime",
            o.loop);
    AddReal(s, "--wait-client", "S", "serve: give up after this long without a client", o.waitClient, 0.1,
            86400);
    AddReal(s, "--max-runtime", "S", "serve: end a looping run after this long", o.maxRuntime, 1, 604800);
    return s;
}

bool Validate(const CommandLine& c, std::string& error) {
    const SimOptions& o = c.options;
    if (c.command == Command::Serve && o.port < 0) {
        error = "serve needs --port";
        return false;
    }
    if (o.opening / 2 / o.angleScale > 32767) {
        error = "--angle-scale too fine for the opening: the angles must fit 16-bit counts";
        return false;
    }
    if (o.lines > 1 && o.lineSpacing <= 0) {
        error = "several lines need a --line-spacing above 0";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    OptionTable table = MakeOptionTable(out.options);
    std::vector<std::string> positional;
    bool velocityGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out.command = Command::Help;
            return true;
        }
        if (a.rfind("--", 0) != 0) {
            positional.push_back(a);
            continue;
        }
        std::string name = a;
        std::string value;
        bool inlineValue = false;
        if (const auto eq = a.find('='); eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        const Option* option = nullptr;
        for (const Option& s : table) {
            if (name == s.name)
                option = &s;
        }
        if (option == nullptr) {
            error = "unknown option " + name;
            return false;
        }
        if (option->arg != nullptr && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (option->arg == nullptr && inlineValue) {
            error = name + " takes no value";
            return false;
        }
        if (!option->set(value)) {
            error = "bad value for " + name + ": \"" + value + "\"";
            return false;
        }
        if (name == "--velocity")
            velocityGiven = true;
    }
    if (positional.empty()) {
        error = "no command";
        return false;
    }
    const std::string& command = positional.front();
    if (command == "help") {
        out.command = Command::Help;
        return true;
    }
    if (command == "write") {
        out.command = Command::Write;
        if (positional.size() != 2) {
            error = "write needs exactly one output file";
            return false;
        }
        out.output = positional[1];
    } else if (command == "serve") {
        out.command = Command::Serve;
        if (positional.size() != 1) {
            error = "serve takes no file";
            return false;
        }
    } else if (command == "truth") {
        out.command = Command::Truth;
        if (positional.size() % 2 != 1) {
            error = "truth needs easting northing pairs";
            return false;
        }
        for (std::size_t i = 1; i < positional.size(); ++i) {
            double v = 0;
            if (!ParseNumber(positional[i], v)) {
                error = "not a number: " + positional[i];
                return false;
            }
            out.points.push_back(v);
        }
    } else {
        error = "unknown command " + command;
        return false;
    }
    if (velocityGiven && !out.options.svpFile.empty()) {
        error = "give --svp or --velocity, not both";
        return false;
    }
    return Validate(out, error);
}

std::string UsageText() {
    SimOptions defaults;
    const OptionTable table = MakeOptionTable(defaults);
    std::ostringstream u;
    u << "usage: sonarsim write OUT.mbm [options]\n"
         "       sonarsim serve --port P [options]\n"
         "       sonarsim truth [options] [E N ...]   (no points: \"easting northing\" lines from stdin)\n"
         "       sonarsim --help\n"
         "Simulates a multibeam survey: a vessel runs parallel lines over a sloping sea floor with a\n"
         "seamount and sends pings, GNSS fixes, attitude, heading and a time signal as sonar packets.\n"
         "write: a raw data file; serve: a real-time TCP stream to one client at a time; truth: the sea\n"
         "floor depth (\"%.4f\" per point) at grid points. Exit status 0 ok, 1 failure, 2 bad usage.\n"
         "With --faults a summary goes to stderr; --manifest lists \"offset length type fate risk\" per "
         "item\n"
         "(fates good, duplicate, bad-tail, flag0, flag1, garbage). A bad tail makes a receiver drop all it\n"
         "has buffered, so items within 65536 bytes after one carry risk 1: their fate is not guaranteed.\n"
         "Options (default in brackets):\n";
    for (const Option& s : table) {
        std::string head = std::string("  ") + s.name;
        if (s.arg != nullptr)
            head += std::string(" ") + s.arg;
        u << head << "\n      " << s.help << " [" << s.show() << "]\n";
    }
    return u.str();
}

}  // namespace sonarsim
