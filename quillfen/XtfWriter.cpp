#include "quillfen/XtfWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/Binary.h"
#include "quillfen/SampleLists.h"

namespace quillfen {
namespace {

using platform::StoreLE;

constexpr double kPi = 3.14159265;  // the value the angles have always been converted with
constexpr std::uint16_t kMagic = 0xFACE;
constexpr std::uint8_t kTypeAttitude = 3;
constexpr std::uint8_t kTypePosition = 107;

template <typename T>
void StoreBE(std::uint8_t* p, T v) {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if constexpr (sizeof(T) == 2) {
        StoreLE<std::uint16_t>(p, __builtin_bswap16(std::bit_cast<std::uint16_t>(v)));
    } else {
        StoreLE<std::uint32_t>(p, __builtin_bswap32(std::bit_cast<std::uint32_t>(v)));
    }
}

void PutText(std::uint8_t* p, std::size_t width, std::string_view text) {
    std::memcpy(p, text.data(), std::min(text.size(), width));
}

void PutU8(std::uint8_t* p, int v) {
    *p = static_cast<std::uint8_t>(v);
}

void PutFloat(std::uint8_t* p, double v) {
    StoreLE<float>(p, FiniteFloat(v));
}

// Year, month, day, hour, minute and whole seconds as u16 and five u8.
void PutClock(std::uint8_t* p, const TimeHead& t) {
    StoreLE<std::uint16_t>(p, static_cast<std::uint16_t>(t.year));
    PutU8(p + 2, t.month);
    PutU8(p + 3, t.day);
    PutU8(p + 4, t.hour);
    PutU8(p + 5, t.minute);
    PutU8(p + 6, t.WholeSeconds());
}

// Turns records into packets. Each thread that writes a part of a file has its own: the searches
// of the interpolators and the kept angles go on from one record to the next.
class XtfFormatter {
  public:
    XtfFormatter(const RawDataReader& reader, int flavour, const ConversionSettings& settings)
        : reader_(reader),
          flavour_(flavour),
          settings_(settings),
          velocity_(reader.SoundVelocities(), settings),
          headingForAttitude_(reader.Headings()),
          headingForFix_(reader.Headings()),
          attitudeForFix_(reader.Attitudes()),
          beams_(static_cast<std::size_t>(std::clamp(reader.BeamCount(), 0, static_cast<int>(kBeamSlots)))),
          arrayConstant_(ArrayConstant(reader.LastPingModel())) {
        BuildPayloadTemplate();
    }

    // Bytes of the packet of a record of `list`.
    std::size_t SizeOf(int list) const {
        return list == kPingList ? kXtfPingHeaderSize + payload_.size() : kXtfPacketSize;
    }

    // The packet of record `index` of `list`, SizeOf(list) bytes at `p`.
    void Record(std::uint8_t* p, int list, std::size_t index) {
        switch (list) {
            case kAttitudeList:
                Attitude(p, reader_.Attitudes()[index]);
                break;
            case kFixList:
                Position(p, reader_.Fixes()[index]);
                break;
            default:
                Ping(p, index);
                break;
        }
    }

    // The file header of `path`, kXtfFileHeaderSize bytes at `p`.
    void FileHeader(std::uint8_t* p, const std::filesystem::path& path) const {
        std::memset(p, 0, kXtfFileHeaderSize);
        const bool one = flavour_ == 1;
        p[0] = 0x7B;
        p[1] = one ? 1 : 0xCA;
        PutText(p + 2, 8, one ? "Isis" : "QINSy");
        PutText(p + 10, 8, one ? "7.1.42" : "223");
        PutText(p + 18, 16, one ? "Reason7125.exe" : "R2SONIC.exe");
        StoreLE<std::uint16_t>(p + 34, one ? 46 : 53);
        PutText(p + 36, 64, one ? "Reason 7125" : "R2SONIC");
        PutText(p + 100, 63, path.string());
        StoreLE<std::uint16_t>(p + 164, 3);
        StoreLE<std::uint16_t>(p + 168, 1);
        if (one) {
            const InstallationSet& inst = reader_.Installation();
            const SensorValues& gnss = inst[kGnssAntenna];
            const SensorValues& motion = inst[kMotionSensor];
            const SensorValues& head = inst[kSonarHead1];
            const float navigation[4] = {gnss[1], gnss[0], gnss[2], gnss[3]};
            const float mru[6] = {motion[1], motion[0], motion[2], motion[3], motion[5], motion[4]};
            const float sonar[6] = {head[0], head[1], head[2], head[3], head[5], head[4]};
            for (std::size_t k = 0; k < 4; ++k) StoreLE<float>(p + 216 + 4 * k, navigation[k]);
            for (std::size_t k = 0; k < 6; ++k) StoreLE<float>(p + 232 + 4 * k, mru[k]);
            for (std::size_t k = 0; k < 6; ++k) StoreLE<float>(p + 304 + 4 * k, sonar[k]);
        }
        // The one bathymetry channel.
        p[256] = 3;
        p[257] = 0;
        StoreLE<std::uint16_t>(p + 258, 1);
        StoreLE<std::uint16_t>(p + 260, one ? 0 : 1);
        StoreLE<std::uint16_t>(p + 262, one ? 0 : 2);
        StoreLE<std::uint32_t>(p + 264, 140);
        PutText(p + 268, 16, one ? "BATH #1" : "BATHY");
        StoreLE<float>(p + 284, one ? 0.0f : 5.0f);
        StoreLE<float>(p + 288, 400.0f);
        StoreLE<float>(p + 292, one ? 15.0f : 1.0f);
        StoreLE<float>(p + 296, 0.0f);
        StoreLE<float>(p + 300, one ? 90.0f : 1.0f);
    }

  private:

    void Attitude(std::uint8_t* p, const RawAttitude& a) {
        std::memset(p, 0, kXtfPacketSize);
        StoreLE<std::uint16_t>(p, kMagic);
        p[2] = kTypeAttitude;
        StoreLE<std::uint32_t>(p + 10, kXtfPacketSize);
        PutFloat(p + 30, a.values[0]);
        PutFloat(p + 34, a.values[1]);
        PutFloat(p + 38, a.values[2]);
        StoreLE<std::uint32_t>(p + 46, static_cast<std::uint32_t>(a.time.MillisecondsOfDay()));
        PutFloat(p + 50, headingForAttitude_.At(a.time.absolute));
        PutClock(p + 54, a.time);
        StoreLE<std::uint16_t>(p + 61, static_cast<std::uint16_t>(a.time.FractionMicros() / 1000));
    }

    void Position(std::uint8_t* p, const RawFix& f) {
        std::memset(p, 0, kXtfPacketSize);
        StoreLE<std::uint16_t>(p, kMagic);
        p[2] = kTypePosition;
        StoreLE<std::uint32_t>(p + 10, kXtfPacketSize);
        PutClock(p + 14, f.time);
        StoreLE<std::uint16_t>(p + 21, static_cast<std::uint16_t>(f.time.FractionMicros() / 100));
        StoreLE<double>(p + 23, f.latitude);
        StoreLE<double>(p + 31, f.longitude);
        StoreLE<double>(p + 39, f.height);
        double attitude[3];
        attitudeForFix_.At(f.time.absolute, attitude);
        PutFloat(p + 47, attitude[0]);
        PutFloat(p + 51, attitude[1]);
        PutFloat(p + 55, attitude[2]);
        PutFloat(p + 59, headingForFix_.At(f.time.absolute));
    }

    // Refraction-corrected angles in radians of the beams within the beam count, the others only
    // converted; kept while the angles and the ratio stay the same.
    const std::array<float, kBeamSlots>& Radians(const PingBeams& p, double ratio) {
        if (radiansValid_ && cachedRatio_ == ratio && cachedAngles_ == p.angle)
            return radians_;
        for (std::size_t i = 0; i < kBeamSlots; ++i) {
            const double degrees = p.angle[i];
            radians_[i] = static_cast<float>(i < beams_ ? CorrectedAngleRadians(degrees, ratio)
                                                        : degrees * kPi / 180.0);
        }
        cachedAngles_ = p.angle;
        cachedRatio_ = ratio;
        radiansValid_ = true;
        // Flavour 2 carries the angles as steps from one beam to the next, big-endian.
        steps_[0] = 0;
        for (std::size_t i = 0; i + 1 < kBeamSlots; ++i) {
            const double step = (static_cast<double>(radians_[i + 1]) - static_cast<double>(radians_[i])) /
                                static_cast<double>(kBthAngleScale);
            steps_[i + 1] = __builtin_bswap16(ClampedCount(step));
        }
        return radians_;
    }

    void PingHeader(std::uint8_t* p, const RawPing& ping, double c) {
        const TimeHead& t = ping.time;
        const int hundredths = t.FractionMicros() / 10000;
        const auto millis = static_cast<std::uint32_t>(t.MillisecondsOfDay());
        StoreLE<std::uint16_t>(p, kMagic);
        p[2] = flavour_ == 1 ? 61 : 65;
        StoreLE<std::uint16_t>(p + 4, 1);
        StoreLE<std::uint32_t>(
            p + 10, static_cast<std::uint32_t>(kXtfPingHeaderSize +
                                               (flavour_ == 1 ? kXtfPayload1Size : kXtfPayload2Size)));
        PutClock(p + 14, t);
        PutU8(p + 21, hundredths);
        StoreLE<std::uint16_t>(p + 22, static_cast<std::uint16_t>(t.DayOfYear()));
        StoreLE<std::uint32_t>(p + 28, ping.pingNumber);
        PutFloat(p + 32, c * 0.5);
        PutU8(p + 148, t.hour);
        PutU8(p + 149, t.minute);
        PutU8(p + 150, t.WholeSeconds());
        PutU8(p + 151, hundredths);
        StoreLE<std::uint32_t>(p + 224, millis);
        StoreLE<std::uint32_t>(p + 232, millis);
    }

    void BuildPayloadTemplate() {
        if (flavour_ == 1) {
            payload_.assign(kXtfPayload1Size, 0);
            std::uint8_t* p = payload_.data();
            StoreLE<std::uint16_t>(p, 5);
            StoreLE<std::uint16_t>(p + 2, 60);
            StoreLE<std::uint32_t>(p + 4, 0x0000FFFF);
            StoreLE<std::uint32_t>(p + 8, 8796);
            StoreLE<std::uint32_t>(p + 32, 7006);
            StoreLE<std::uint32_t>(p + 36, 7125);
            StoreLE<std::uint32_t>(p + 78, 512);
            for (std::size_t i = 0; i < kBeamSlots; ++i) {
                p[2136 + i] = 15;
                StoreLE<float>(p + 2648 + 4 * i, 100.0f);
                StoreLE<float>(p + 6744 + 4 * i, 2.0f);
                StoreLE<float>(p + 12904 + 4 * i, 0.017453292f);
                StoreLE<float>(p + 14952 + 4 * i, 0.017453292f);
            }
            StoreLE<std::uint32_t>(p + 8804, 512);
            return;
        }
        payload_.assign(kXtfPayload2Size, 0);
        std::uint8_t* p = payload_.data();
        PutText(p, 4, "BTH0");
        StoreBE<std::uint32_t>(p + 4, 3512);
        PutText(p + 12, 2, "H0");
        StoreBE<std::uint16_t>(p + 14, 116);
        PutText(p + 16, 12, "2024");
        PutText(p + 28, 12, "10017");
        // Frequency, sample rate, pulse length, power, gain, transmit steering (0: none), then the
        // rest of the sonar settings.
        const float settings[15] = {400.0f,  220.0f, 0.0001f, 1.0f,  1.0f,
                                    0.0f,    0.0f,   0.0f,    60.0f, std::bit_cast<float>(0x473D64D9u),
                                    1000.0f, 240.0f, 0.0f,    0.0f,  0.0f};
        for (std::size_t k = 0; k < 15; ++k) StoreBE<float>(p + 60 + 4 * k, settings[k]);
        StoreBE<std::uint16_t>(p + 126, 512);
        PutText(p + 128, 2, "R0");
        StoreBE<std::uint16_t>(p + 130, 1032);
        StoreBE<float>(p + 132, kBthRangeScale);
        PutText(p + 1160, 2, "A2");
        StoreBE<std::uint16_t>(p + 1162, 1060);
        StoreBE<float>(p + 1168, kBthAngleScale);
        PutText(p + 2220, 2, "I1");
        StoreBE<std::uint16_t>(p + 2222, 1032);
        StoreBE<float>(p + 2224, 1.0f);
        PutText(p + 3252, 2, "Q0");
        StoreBE<std::uint16_t>(p + 3254, 260);
        std::memset(p + 3256, 0x77, 256);
    }

    void Payload1(std::uint8_t* p, const RawPing& ping, const PingBeams& beams, double c,
                  const std::array<float, kBeamSlots>& radians) {
        const TimeHead& t = ping.time;
        StoreLE<std::uint16_t>(p + 20, static_cast<std::uint16_t>(t.year));
        StoreLE<std::uint16_t>(p + 22, static_cast<std::uint16_t>(t.DayOfYear()));
        PutFloat(p + 24, t.Seconds());
        PutU8(p + 28, t.hour);
        PutU8(p + 29, t.minute);
        StoreLE<std::uint32_t>(p + 72, ping.pingNumber);
        PutFloat(p + 84, c);
        for (std::size_t i = 0; i < kBeamSlots; ++i)
            StoreLE<float>(p + 88 + 4 * i, 2.0f * beams.travelTime[i]);
        std::memcpy(p + 10856, radians.data(), kBeamSlots * sizeof(float));
    }

    void Payload2(std::uint8_t* p, std::size_t index, const PingBeams& beams, double c,
                  const std::array<float, kBeamSlots>& radians) {
        const PingList& pings = reader_.Pings();
        const RawPing& ping = pings[index];
        const TimeHead& t = ping.time;
        const std::int64_t whole = t.dayNumber * 86400 + t.hour * 3600 + t.minute * 60 + t.WholeSeconds();
        double period = 1.0;
        if (index > 0) {
            period = t.absolute - pings[index - 1].time.absolute;
        } else if (pings.size() > 1) {
            period = pings[1].time.absolute - t.absolute;
        }
        StoreBE<std::uint32_t>(p + 40, static_cast<std::uint32_t>(whole));
        StoreBE<std::uint32_t>(p + 44, static_cast<std::uint32_t>(t.FractionMicros()) * 1000u);
        StoreBE<std::uint32_t>(p + 48, ping.pingNumber);
        StoreBE<float>(p + 52, FiniteFloat(period));
        StoreBE<float>(p + 56, FiniteFloat(c));
        std::uint16_t counts[kBeamSlots];
        for (std::size_t i = 0; i < kBeamSlots; ++i) {
            const double count =
                2.0 * static_cast<double>(beams.travelTime[i]) / static_cast<double>(kBthRangeScale);
            counts[i] = __builtin_bswap16(ClampedCount(count));
        }
        std::memcpy(p + 136, counts, sizeof counts);
        StoreBE<float>(p + 1164, radians[0]);
        std::memcpy(p + 1196, steps_.data(), sizeof steps_);
    }

    void Ping(std::uint8_t* p, std::size_t index) {
        const RawPing& ping = reader_.Pings()[index];
        reader_.DecodeBeams(index, pingBeams_);
        const double c = velocity_.For(ping);
        const double ratio = RefractionRatio(c, ping.soundVelocity, arrayConstant_, settings_.adjustment);
        const std::array<float, kBeamSlots>& radians = Radians(pingBeams_, ratio);
        const std::size_t payloadSize = payload_.size();
        std::memset(p, 0, kXtfPingHeaderSize);
        PingHeader(p, ping, c);
        std::uint8_t* body = p + kXtfPingHeaderSize;
        std::memcpy(body, payload_.data(), payloadSize);
        if (flavour_ == 1) {
            Payload1(body, ping, pingBeams_, c, radians);
        } else {
            Payload2(body, index, pingBeams_, c, radians);
        }
    }

    const RawDataReader& reader_;
    int flavour_;
    const ConversionSettings& settings_;
    VelocityChooser velocity_;
    HeadingInterpolator headingForAttitude_;
    HeadingInterpolator headingForFix_;
    AttitudeInterpolator attitudeForFix_;
    std::size_t beams_;
    double arrayConstant_;
    std::vector<std::uint8_t> payload_;

    PingBeams pingBeams_;  // of the ping being written
    std::array<float, kBeamSlots> radians_{};
    std::array<std::uint16_t, kBeamSlots> steps_{};
    std::array<float, kBeamSlots> cachedAngles_{};
    double cachedRatio_ = 0.0;
    bool radiansValid_ = false;
};

// One file of the output and the parts it is written in.
struct FilePlan {
    // A run of consecutive records, written by one thread from `offset` on.
    struct Part {
        RecordCursor start;
        std::size_t records = 0;
        std::uint64_t offset = 0;
    };
    std::filesystem::path path;
    std::vector<Part> parts;
};

// A conversion: the records are laid out first (every packet has a fixed size, so the place of each
// in its file is known before any is written), then the parts of each file are written at once by as
// many threads, each with a formatter of its own.
class XtfRun {
  public:
    XtfRun(RawDataReader& reader, int flavour, const ConversionSettings& settings,
           const PingProgress& progress, std::size_t parts)
        : reader_(reader), flavour_(flavour), settings_(settings), progress_(progress), parts_(parts) {}

    WriteOutcome Run(const std::filesystem::path& path) {
        WriteOutcome out;
        const std::vector<FilePlan> plan = Plan(path);
        pingCount_ = reader_.Pings().size();
        for (const FilePlan& file : plan) {
            OutputFile output;
            if (!output.Create(file.path)) {
                out.error = msg::kNewXtfFailed;
                return Failed(out);
            }
            std::array<std::uint8_t, kXtfFileHeaderSize> header;
            XtfFormatter(reader_, flavour_, settings_).FileHeader(header.data(), file.path);
            output.WriteAt(0, header.data(), header.size());
            WriteParts(file, output);
            PendingOutput done;
            if (!output.Close(done)) {
                out.error = WithValue(msg::kWriteFailed, file.path.string() + ": " + output.Error());
                return Failed(out);
            }
            out.outputs.push_back(done);
        }
        if (progress_ && reported_ < pingCount_)
            progress_(pingCount_, pingCount_);
        out.files = static_cast<int>(out.outputs.size());
        return out;
    }

  private:
    static constexpr std::uint64_t kCheckpointBytes = 64u << 10;  // places where a part may begin
    static constexpr std::uint64_t kBytesPerPart = 8u << 20;     // smaller files are written whole

    static WriteOutcome& Failed(WriteOutcome& out) {
        DiscardOutputs(out.outputs);
        out.outputs.clear();
        out.files = 0;
        return out;
    }

    // The files (a new one after each midnight while pings remain) and the parts of each.
    std::vector<FilePlan> Plan(std::filesystem::path path) {
        const XtfFormatter sizes(reader_, flavour_, settings_);
        const std::size_t pingCount = reader_.Pings().size();
        std::vector<FilePlan> plan;
        std::vector<FilePlan::Part> checkpoints;  // of the file being laid out
        std::uint64_t size = kXtfFileHeaderSize;
        std::uint64_t lastCheckpoint = 0;
        const auto finish = [&](const std::filesystem::path& p) {
            plan.push_back(Split(p, checkpoints, size));
            checkpoints.clear();
            size = kXtfFileHeaderSize;
            lastCheckpoint = 0;
        };
        RecordCursor cursor;
        cursor.heading = reader_.Headings().size();  // headings only feed the attitude packets
        std::int64_t previousDay = 0;
        bool first = true;
        int splits = 0;
        for (;;) {
            const TimeHead* time = nullptr;
            const int list = reader_.PeekNextRecord(cursor, &time);
            if (list == kNoRecord)
                break;
            if (!first && time->dayNumber > previousDay && cursor.ping < pingCount) {
                finish(path);
                path = NextDayPath(path, ++splits, ".xtf");
            }
            first = false;
            previousDay = time->dayNumber;
            if (checkpoints.empty() || size - lastCheckpoint >= kCheckpointBytes) {
                checkpoints.push_back({cursor, 0, size});
                lastCheckpoint = size;
            }
            ++checkpoints.back().records;
            size += sizes.SizeOf(list);
            switch (list) {
                case kAttitudeList:
                    ++cursor.attitude;
                    break;
                case kFixList:
                    ++cursor.fix;
                    break;
                default:
                    ++cursor.ping;
                    break;
            }
        }
        finish(path);
        return plan;
    }

    // Joins the checkpoints of a file of `size` bytes into parts of about equal size.
    FilePlan Split(const std::filesystem::path& path, const std::vector<FilePlan::Part>& checkpoints,
                   std::uint64_t size) const {
        std::size_t parts = parts_;
        if (parts == 0) {
            const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
            parts = static_cast<std::size_t>(std::min<std::uint64_t>(cores, size / kBytesPerPart + 1));
        }
        parts = std::clamp<std::size_t>(parts, 1, std::max<std::size_t>(1, checkpoints.size()));
        FilePlan file;
        file.path = path;
        for (const FilePlan::Part& c : checkpoints) {
            const std::size_t due = static_cast<std::size_t>(c.offset * parts / size);
            if (file.parts.empty() || file.parts.size() <= due) {
                file.parts.push_back(c);
            } else {
                file.parts.back().records += c.records;
            }
        }
        return file;
    }

    void WriteParts(const FilePlan& file, OutputFile& output) {
        std::vector<std::thread> helpers;
        for (std::size_t k = 1; k < file.parts.size(); ++k)
            helpers.emplace_back([&, k] { WritePart(file.parts[k], output, false); });
        if (!file.parts.empty())
            WritePart(file.parts[0], output, true);
        for (std::thread& helper : helpers) helper.join();
    }

    // The records of `part`, formatted into a buffer written out whenever full. Only the calling
    // thread (`reports`) calls the progress function, with the pings written by every thread.
    void WritePart(const FilePlan::Part& part, OutputFile& output, bool reports) {
        XtfFormatter formatter(reader_, flavour_, settings_);
        std::vector<std::uint8_t> buffer(OutputFile::kBufferSize);
        std::size_t fill = 0;
        std::uint64_t offset = part.offset;
        RecordCursor cursor = part.start;
        for (std::size_t r = 0; r < part.records && !output.Failed(); ++r) {
            const int list = reader_.PeekNextRecord(cursor);
            const std::size_t size = formatter.SizeOf(list);
            if (fill + size > buffer.size()) {
                output.WriteAt(offset, buffer.data(), fill);
                offset += fill;
                fill = 0;
            }
            std::size_t index = 0;
            switch (list) {
                case kAttitudeList:
                    index = cursor.attitude++;
                    break;
                case kFixList:
                    index = cursor.fix++;
                    break;
                default:
                    index = cursor.ping++;
                    break;
            }
            formatter.Record(buffer.data() + fill, list, index);
            fill += size;
            if (list == kPingList) {
                const std::size_t done = pingsWritten_.fetch_add(1, std::memory_order_relaxed) + 1;
                if (reports && progress_) {
                    progress_(done, pingCount_);
                    reported_ = done;
                }
            }
        }
        output.WriteAt(offset, buffer.data(), fill);
    }

    RawDataReader& reader_;
    int flavour_;
    const ConversionSettings& settings_;
    const PingProgress& progress_;
    std::size_t parts_;
    std::size_t pingCount_ = 0;
    std::atomic<std::size_t> pingsWritten_{0};
    std::size_t reported_ = 0;  // the calling thread's only
};

}  // namespace

double InterpolateHeading(double t1, double h1, double t2, double h2, double t) {
    if (h1 > 270.0 && h2 < 90.0) {
        h1 -= 360.0;
    } else if (h1 < 90.0 && h2 > 270.0) {
        h2 -= 360.0;
    }
    double h = std::fabs(t2 - t1) < 1e-6 ? (h1 + h2) / 2.0 : h1 + (t - t1) / (t2 - t1) * (h2 - h1);
    if (h < 0.0)
        h += 360.0;
    return h;
}

double HeadingInterpolator::At(double t) {
    const std::vector<RawHeading>& h = headings_;
    if (h.empty())
        return 0.0;
    if (h.size() == 1)
        return h.front().heading;
    for (std::size_t j = next_; j < h.size(); ++j) {
        if (std::fabs(h[j].time.absolute - t) < 1e-6) {
            next_ = j;
            return h[j].heading;
        }
        if (h[j].time.absolute > t) {
            next_ = j;
            if (j == 0)
                return h.front().heading;
            return InterpolateHeading(h[j - 1].time.absolute, h[j - 1].heading, h[j].time.absolute,
                                      h[j].heading, t);
        }
    }
    next_ = h.size();
    return h.back().heading;
}

void AttitudeInterpolator::At(double t, double (&values)[3]) {
    const std::vector<RawAttitude>& a = attitudes_;
    values[0] = values[1] = values[2] = 0.0;
    if (a.empty())
        return;
    while (next_ < a.size() && a[next_].time.absolute <= t) ++next_;
    if (next_ == 0) {
        std::copy(std::begin(a.front().values), std::end(a.front().values), values);
        return;
    }
    const RawAttitude& before = a[next_ - 1];
    if (next_ == a.size() || before.time.absolute == t) {
        std::copy(std::begin(before.values), std::end(before.values), values);
        return;
    }
    const RawAttitude& after = a[next_];
    const double f = (t - before.time.absolute) / (after.time.absolute - before.time.absolute);
    for (std::size_t k = 0; k < 3; ++k)
        values[k] = before.values[k] + f * (after.values[k] - before.values[k]);
}

WriteOutcome WriteXtf(RawDataReader& reader, const std::filesystem::path& path, int flavour,
                      const ConversionSettings& settings, const PingProgress& progress) {
    return WriteXtfInParts(reader, path, flavour, settings, progress, 0);
}

WriteOutcome WriteXtfInParts(RawDataReader& reader, const std::filesystem::path& path, int flavour,
                             const ConversionSettings& settings, const PingProgress& progress,
                             std::size_t parts) {
    WriteOutcome out;
    if (reader.Pings().empty() || (flavour != 1 && flavour != 2)) {
        if (reader.Pings().empty())
            out.error = WithValue(msg::kNoPings, path.filename().string());
        reader.ClearLists();
        return out;
    }
    {
        XtfRun run(reader, flavour, settings, progress, parts);
        out = run.Run(path);
    }
    reader.ClearLists();
    RefuseIfSourceShortened(reader, path, out);
    return out;
}

}  // namespace quillfen
