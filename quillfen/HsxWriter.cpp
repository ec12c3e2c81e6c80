#include "quillfen/HsxWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "quillfen/FixedFormat.h"

namespace quillfen {
namespace {

constexpr std::size_t kFlushAt = 1 << 20;

std::string Printf(const char* format, auto... values) {
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    return std::string(buffer, n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

class HsxRun {
  public:
    HsxRun(RawDataReader& reader, const ConversionSettings& settings, const PingProgress& progress)
        : reader_(reader),
          settings_(settings),
          progress_(progress),
          velocity_(reader.SoundVelocities(), settings),
          dual_(reader.DualHead()),
          beams_(static_cast<std::size_t>(std::clamp(reader.BeamCount(), 0, static_cast<int>(kBeamSlots)))),
          arrayConstant_(ArrayConstant(reader.LastPingModel())),
          text_(2 * kFlushAt) {
        const InstallationSet& inst = reader.Installation();
        antennaHeight_ = settings.resetAntennaHeight ? settings.antennaHeight
                                                     : -static_cast<double>(inst[kGnssAntenna][2]);
        soundingFlags_ = HsxSoundingFlags(reader.Pings().front().flags) + (dual_ ? 4 : 0);
        for (std::size_t i = 0; i < beams_; ++i) {
            zeros_ += i == 0 ? "0" : " 0";
            threes_ += i == 0 ? "3" : " 3";
        }
    }

    WriteOutcome Run(std::filesystem::path path) {
        WriteOutcome out;
        if (!file_.Create(path)) {
            out.error = msg::kNewHsxFailed;
            return out;
        }
        RecordCursor cursor;
        reader_.NextRecordInTime(cursor);
        TimeHead time = reader_.CurrentTime();
        std::int64_t previousDay = time.dayNumber;
        const std::vector<RawFix>& fixes = reader_.Fixes();
        Header(time, settings_.rtkTideFree
                         ? (fixes.empty() ? antennaHeight_ : antennaHeight_ - fixes.front().gridHeight)
                         : 0.0);

        const std::size_t pingCount = reader_.Pings().size();
        int splits = 0;
        for (;;) {
            const int list = reader_.NextRecordInTime(cursor);
            if (list == kNoRecord)
                break;
            time = reader_.CurrentTime();
            if (time.dayNumber > previousDay && cursor.ping < pingCount) {
                PendingOutput done;
                FlushText();
                if (!file_.Close(done)) {
                    out.error = WithValue(msg::kWriteFailed, path.string() + ": " + file_.Error());
                    return Failed(out);
                }
                out.outputs.push_back(done);
                path = NextDayPath(path, ++splits, ".HSX");
                if (!file_.Create(path)) {
                    out.error = msg::kNewHsxFailed;
                    return Failed(out);
                }
                Header(time, settings_.rtkTideFree
                                 ? (lastFixHeight_ ? antennaHeight_ - *lastFixHeight_ : antennaHeight_)
                                 : 0.0);
            }
            previousDay = time.dayNumber;
            switch (list) {
                case kAttitudeList:
                    Attitude(reader_.Attitudes()[cursor.attitude++]);
                    break;
                case kFixList:
                    Fix(reader_.Fixes()[cursor.fix++]);
                    break;
                case kPingList:
                    Ping(cursor.ping++);
                    if (progress_)
                        progress_(cursor.ping, pingCount);
                    break;
                default:
                    Heading(reader_.Headings()[cursor.heading++]);
                    break;
            }
            if (text_.Size() >= kFlushAt)
                FlushText();
            if (file_.Failed())
                break;
        }
        FlushText();
        PendingOutput done;
        if (!file_.Close(done)) {
            out.error = WithValue(msg::kWriteFailed, path.string() + ": " + file_.Error());
            return Failed(out);
        }
        out.outputs.push_back(done);
        out.files = static_cast<int>(out.outputs.size());
        return out;
    }

  private:
    WriteOutcome& Failed(WriteOutcome& out) {
        file_.Abandon();
        DiscardOutputs(out.outputs);
        out.outputs.clear();
        out.files = 0;
        return out;
    }

    void FlushText() {
        file_.Write(text_.View());
        text_.Clear();
    }

    void Offsets(const char* head, std::size_t sensor) {
        text_.Text(head);
        const SensorValues& v = reader_.Installation()[sensor];
        for (std::size_t k = 0; k < v.size(); ++k) {
            if (k > 0)
                text_.Char(' ');
            text_.Fixed(static_cast<double>(v[k]), 2);
        }
        text_.Char('\n');
    }

    void Header(const TimeHead& t, double tide) {
        text_.Text("FTP NEW 2\nHSX 0\n");
        text_.Text(Printf("TND %02d:%02d:%02d %02d/%02d/%04d\n", t.hour, t.minute, t.WholeSeconds(), t.month,
                          t.day, t.year));
        text_.Text(R"(INF " " " " " " " " )");
        text_.Fixed(tide, 2);
        text_.Text(" 0.00 ");
        text_.Fixed(reader_.DefaultSoundVelocity(), 2);
        text_.Text("\nHSP 0.0 600.0 2000.0 2000.0 89 89 3 1 200.0 0.0 0\n");
        text_.Text("DEV 0 260 \"GPS\"\nDV2 0 44 0 1 \n");
        Offsets("OF2 0 0 ", kGnssAntenna);
        text_.Text("PRI 0\nDEV 1 32784 \"MultiBeam Echo Sounder\"\nDV2 1 1 0 1\n");
        Offsets("OF2 1 3 ", kSonarHead1);
        if (dual_)
            Offsets("OF2 1 4 ", kSonarHead2);
        const int beams = static_cast<int>(beams_);
        if (dual_) {
            text_.Text(Printf("MBI 1 %d %d %d %d %d 0 0\n", 2, soundingFlags_, 1081, beams, beams));
        } else {
            text_.Text(Printf("MBI 1 %d %d %d %d 0 0 0\n", 2, soundingFlags_, 1081, beams));
        }
        text_.Text("DEV 2 512 \"MRU\"\nDV2 2 200 0 1\n");
        Offsets("OF2 2 2 ", kMotionSensor);
        text_.Text("DEV 3 32 \"Compass\"\nDV2 3 20 0 1\n");
        Offsets("OF2 3 1 ", kCompass);
        text_.Text("EOH\nFIX 99 ");
        text_.Fixed(t.secondsOfDay, 3);
        text_.Text(" 1\n");
        if (settings_.rtkTideFree) {
            text_.Text("TID 0 ");
            text_.Fixed(t.secondsOfDay, 3);
            text_.Char(' ');
            text_.Fixed(tide, 2);
            text_.Char('\n');
        }
    }

    void Attitude(const RawAttitude& a) {
        text_.Text("HCP 2 ");
        text_.Fixed(a.time.secondsOfDay, 3);
        for (int k = 2; k >= 0; --k) {
            text_.Char(' ');
            text_.Fixed(a.values[k], 2);
        }
        text_.Char('\n');
    }

    void Heading(const RawHeading& h) {
        text_.Text("GYR 3 ");
        text_.Fixed(h.time.secondsOfDay, 3);
        text_.Char(' ');
        text_.Fixed(h.heading, 2);
        text_.Char('\n');
    }

    void Fix(const RawFix& f) {
        text_.Text("POS 0 ");
        text_.Fixed(f.time.secondsOfDay, 3);
        text_.Char(' ');
        text_.Fixed(f.easting, 2);
        text_.Char(' ');
        text_.Fixed(f.northing, 2);
        text_.Char('\n');
        if (f.counter > 1) {
            text_.Text("GPS 0 ");
            text_.Fixed(f.time.secondsOfDay, 3);
            text_.Char(' ');
            text_.Fixed(f.course, 2);
            text_.Char(' ');
            text_.Fixed(f.speed, 2);
            text_.Char(' ');
            text_.Fixed(static_cast<double>(f.hdop), 1);
            text_.Char(' ');
            text_.Integer(HsxQuality(f.quality));
            text_.Char(' ');
            text_.Integer(f.satellites);
            text_.Text(" \n");
        }
        if (settings_.rtkTideFree) {
            text_.Text("TID 0 ");
            text_.Fixed(f.time.secondsOfDay, 3);
            text_.Char(' ');
            text_.Fixed(antennaHeight_ - f.gridHeight, 2);
            text_.Char('\n');
        }
        lastFixHeight_ = f.gridHeight;
    }

    // The angle values of a ping, joined by blanks; the same angles with the same ratio give the same
    // text, which is kept from one ping to the next.
    const std::string& AngleText(const PingBeams& p, double ratio) {
        if (angleValid_ && cachedRatio_ == ratio &&
            std::memcmp(cachedAngles_.data(), p.angle.data(), beams_ * sizeof(float)) == 0)
            return angleText_;
        angleText_.clear();
        char buffer[kMaxFixedText];
        for (std::size_t i = 0; i < beams_; ++i) {
            if (i > 0)
                angleText_.push_back(' ');
            const double corrected = CorrectedAngleDegrees(-static_cast<double>(p.angle[i]), ratio);
            angleText_.append(buffer, FormatFixed(buffer, corrected, 3));
        }
        std::memcpy(cachedAngles_.data(), p.angle.data(), beams_ * sizeof(float));
        cachedRatio_ = ratio;
        angleValid_ = true;
        return angleText_;
    }

    void Ranges(const PingBeams& p, double c) {
        for (std::size_t i = 0; i < beams_; ++i) {
            if (i > 0)
                text_.Char(' ');
            text_.Fixed(static_cast<double>(p.travelTime[i]) * c, 3);
        }
    }

    // One value line: this head's values, with the other head's zeros after (head 1) or before
    // (head 2) them in dual-head mode.
    template <typename Values>
    void ValueLine(int head, Values&& values) {
        if (dual_ && head == 1) {
            text_.Text(zeros_);
            if (beams_ > 0)
                text_.Char(' ');
        }
        values();
        if (dual_ && head != 1) {
            if (beams_ > 0)
                text_.Char(' ');
            text_.Text(zeros_);
        }
        text_.Char('\n');
    }

    void Ping(std::size_t index) {
        const RawPing& p = reader_.Pings()[index];
        reader_.DecodeBeams(index, pingBeams_);
        const double c = velocity_.For(p);
        const double ratio = RefractionRatio(c, p.soundVelocity, arrayConstant_, settings_.adjustment);
        const std::size_t count = dual_ ? 2 * beams_ : beams_;
        text_.Text("RMB 1 ");
        text_.Fixed(p.time.secondsOfDay, 3);
        text_.Text(" 2 ");
        text_.Integer(soundingFlags_);
        text_.Text(" 1081 ");
        text_.Integer(static_cast<std::int64_t>(count));
        text_.Char(' ');
        text_.Fixed(c, 2);
        text_.Char(' ');
        text_.Integer(p.pingNumber);
        text_.Char('\n');
        ValueLine(p.head, [&] { Ranges(pingBeams_, c); });
        const std::string& angles = AngleText(pingBeams_, ratio);
        ValueLine(p.head, [&] { text_.Text(angles); });
        ValueLine(p.head, [&] { text_.Text(threes_); });
    }

    RawDataReader& reader_;
    PingBeams pingBeams_;  // of the ping being written
    const ConversionSettings& settings_;
    const PingProgress& progress_;
    VelocityChooser velocity_;
    bool dual_;
    std::size_t beams_;
    double arrayConstant_;
    double antennaHeight_ = 0.0;
    int soundingFlags_ = 0;
    std::optional<double> lastFixHeight_;
    std::string zeros_, threes_;
    TextBuffer text_;
    OutputFile file_;

    std::string angleText_;
    std::array<float, kBeamSlots> cachedAngles_{};
    double cachedRatio_ = 0.0;
    bool angleValid_ = false;
};

}  // namespace

int HsxSoundingFlags(std::int32_t pingFlags) {
    const bool roll = (pingFlags & 0x1) != 0 || (pingFlags & 0x8) != 0;
    const bool pitch = (pingFlags & 0x2) != 0;
    return (roll ? 1 : 0) + (pitch ? 2 : 0);
}

int HsxQuality(int quality) {
    switch (quality) {
        case 0:
            return 0;
        case 2:
        case 5:
        case 7:
        case 8:
        case 9:
            return 2;
        case 4:
            return 3;
        default:
            return 1;
    }
}

WriteOutcome WriteHsx(RawDataReader& reader, const std::filesystem::path& path,
                      const ConversionSettings& settings, const PingProgress& progress) {
    WriteOutcome out;
    if (reader.Pings().empty()) {
        out.error = WithValue(msg::kNoPings, path.filename().string());
        reader.ClearLists();
        return out;
    }
    {
        HsxRun run(reader, settings, progress);
        out = run.Run(path);
    }
    reader.ClearLists();
    RefuseIfSourceShortened(reader, path, out);
    return out;
}

}  // namespace quillfen
