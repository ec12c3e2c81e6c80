#pragma once
// Everything a simulated survey is made of, with the defaults of the command line, and the parser of
// that command line.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/sonarsim/SonarPackets.h"

namespace sonarsim {

struct SimOptions {
    // Clock, randomness, coordinate system.
    std::string start = "2026-06-01 08:00:00";
    std::uint64_t seed = 1;
    std::string settingsFile;  // INI file with a ParaOfGeo section; empty: the default record
    double duration = 0;       // seconds of pinging; 0: until the last line is done

    // Survey lines.
    double originEast = 500000.0, originNorth = 3300000.0;
    double lineHeading = 30.0;
    double lineLength = 300.0;
    double lineSpacing = 60.0;
    int lines = 2;
    double vesselSpeed = 3.0;

    // Sea floor.
    double depth = 40.0;
    double slopeEast = 0.01, slopeNorth = -0.005;
    bool mountGiven = false;
    double mountEast = 0, mountNorth = 0;  // default: the middle of the lines
    double mountHeight = 12.0, mountWidth = 35.0;

    // Motion.
    double roll = 3.0, rollPeriod = 8.0;
    double pitch = 1.5, pitchPeriod = 6.0;
    double heave = 0.3, heavePeriod = 5.0;
    double yaw = 1.0, yawPeriod = 20.0;

    // Sonar.
    double pingRate = 4.0;
    int beams = 512;
    double opening = 130.0;
    bool equiAngle = false;  // beam spacing: equi-angle, else equi-distant
    std::string model = "TR240";
    std::string deviceNumber = "1";
    int stabilisation = 0;
    double angleScale = 0.01;  // degrees per count
    double rangeScale = 0;     // seconds per sample; 0: chosen per ping from its longest time
    bool dualHead = false;
    bool shortPings = false;
    std::string shortModel = "TR240S1";
    std::string headerModel = "TR240";

    // Sensors.
    double gnssRate = 5.0, attitudeRate = 50.0, headingRate = 10.0;
    double geoidSeparation = 10.0;

    // Installation (device block and positioning).
    InstallOffsets transducer{0.35, 1.10, 2.20, 0.30, -0.20, 0.40, 0.0};
    bool transducer2Given = false;
    InstallOffsets transducer2;  // default: the first transducer 0.6 m further to starboard
    InstallOffsets antenna{0.50, -2.40, -6.80, 0.0, 0.0, 0.0, 0.0};
    InstallOffsets motionSensor{0.0, 0.0, 0.0, 0.15, 0.10, 0.0, 0.0};
    InstallOffsets compass{};

    // Sound velocity: one velocity, or a profile file.
    double velocity = 1500.0;
    std::string svpFile;

    // Faults.
    bool faults = false;
    double faultRate = 0.02;
    std::string manifest;

    // Serving.
    int port = -1;
    std::string bind = "127.0.0.1";
    double speed = 1.0;  // 0: as fast as the client reads
    bool loop = false;
    double waitClient = 120.0;   // seconds to wait for a client before giving up
    double maxRuntime = 3600.0;  // seconds a looping server runs at most

    // The second head's installation as used (given, or derived from the first).
    InstallOffsets SecondTransducer() const;
};

enum class Command { Help, Write, Serve, Truth };

struct CommandLine {
    Command command = Command::Help;
    SimOptions options;
    std::string output;          // write: the raw data file
    std::vector<double> points;  // truth: easting, northing pairs (empty: read standard input)
};

// false with a message in `error` for bad usage.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The usage text with every option and its default.
std::string UsageText();

}  // namespace sonarsim
