#include "tools/rawdump/RawDump.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "marivane/acquisition/AcquisitionEngine.h"
#include "marivane/acquisition/Decoders.h"
#include "marivane/acquisition/Framer.h"
#include "marivane/acquisition/PingProcessing.h"
#include "marivane/acquisition/ProcessedPingHandler.h"
#include "marivane/acquisition/RawFile.h"
#include "marivane/acquisition/SonarLink.h"
#include "marivane/acquisition/SoundVelocity.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/DeviceSettings.h"
#include "platform/Clock.h"
#include "platform/Message.h"
#include "platform/MessageSink.h"
#include "tools/rawdump/DumpOptions.h"
#include "tools/rawdump/OutputBuffer.h"
#include "tools/rawdump/RecordTap.h"

namespace rawdump {
namespace {

using marivane::SonarLink;

// Closes the file when it goes.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Notes that the receiving side asked the main window to drain its queues; drops everything else the
// decoders post (the panes it would refresh do not exist here).
class MainWindowSink final : public platform::MessageSink {
  public:
    void Post(platform::MessageTarget target, unsigned id, std::uintptr_t, std::intptr_t) override {
        if (target == platform::MessageTarget::MainFrame && id == marivane::WM_PING_PROCESSED)
            pingProcessed_ = true;
    }
    bool TakePingProcessed() {
        const bool posted = pingProcessed_;
        pingProcessed_ = false;
        return posted;
    }

  private:
    bool pingProcessed_ = false;
};

// What the main window hands the soundings to: counted, and printed with --soundings.
class SoundingSink final : public marivane::PositionedPingConsumer {
  public:
    SoundingSink(RecordTap& tap, OutputBuffer* out) : tap_(tap), out_(out) {}

    void ConsumePositionedPings(std::span<const marivane::PositionedPing> pings) override {
        for (const marivane::PositionedPing& ping : pings) {
            ++pings_;
            std::uint32_t head = 0;
            if (out_ != nullptr) {
                const std::optional<std::uint8_t> h = tap_.HeadOf(ping.time, ping.pingNumber);
                if (h) {
                    head = *h;
                } else {
                    ++unmatched_;
                }
            }
            for (std::uint32_t beam = 0; beam < ping.solutions.size(); ++beam) {
                const marivane::BeamSolution& s = ping.solutions[beam];
                if (s.valid == 0)
                    continue;
                ++soundings_;
                if (out_ == nullptr)
                    continue;
                OutputBuffer& o = *out_;
                o.Fixed(ping.time, 6) << ' ' << ping.pingNumber << ' ' << head << ' ' << beam << ' ';
                o.Fixed(s.easting, 3) << ' ';
                o.Fixed(s.northing, 3) << ' ';
                o.Fixed(s.depth, 3) << '\n';
            }
        }
    }

    std::uint64_t Pings() const { return pings_; }
    std::uint64_t Soundings() const { return soundings_; }
    std::uint64_t Unmatched() const { return unmatched_; }

  private:
    RecordTap& tap_;
    OutputBuffer* out_;
    std::uint64_t pings_ = 0;
    std::uint64_t soundings_ = 0;
    std::uint64_t unmatched_ = 0;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2 ? 1 : 0;
}

// "YYYY-MM-DD hh:mm:ss.ssssss (epoch T)" of the sonar's clock; the epoch alone for times that are no
// date from 1970 to 9999.
void PrintTime(OutputBuffer& o, double t) {
    constexpr double kYear10000 = 253402300800.0;
    if (std::isfinite(t) && t >= 0.0 && t < kYear10000) {
        const double whole = std::floor(t);
        auto micros = static_cast<std::int64_t>(std::llround((t - whole) * 1e6));
        auto seconds = static_cast<std::int64_t>(whole);
        if (micros >= 1000000) {
            micros -= 1000000;
            seconds += 1;
        }
        std::int64_t year = 0;
        unsigned month = 0, day = 0;
        CivilFromDays(seconds / 86400, year, month, day);
        const std::int64_t s = seconds % 86400;
        char text[64];
        std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld.%06lld ",
                      static_cast<long long>(year), month, day, static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60),
                      static_cast<long long>(micros));
        o << text;
    }
    o << "(epoch ";
    o.Fixed(t, 6) << ")";
}

// Reads until `size` bytes or the end of the file; the bytes read.
std::size_t ReadFully(std::FILE* f, std::uint8_t* to, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = std::fread(to + got, 1, size - got, f);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

class Dump {
  public:
    Dump(const DumpOptions& options, std::FILE* out, std::FILE* err) : o_(options), out_(out), err_(err) {}

    int Run() {
        FileHandle file(std::fopen(o_.file.c_str(), "rb"));
        if (!file) {
            Fail(std::string("cannot open: ") + std::strerror(errno));
            return 1;
        }
        std::vector<std::uint8_t> preambleBytes(marivane::kRawFilePreambleSize);
        const std::size_t got = ReadFully(file.get(), preambleBytes.data(), preambleBytes.size());
        if (std::ferror(file.get())) {
            Fail("read error");
            return 1;
        }
        preambleBytes.resize(got);
        const marivane::RawPreambleResult preamble = marivane::ParseRawFilePreamble(preambleBytes);
        if (!preamble.Ok()) {
            Fail(preamble.message);
            return 1;
        }
        if (preamble.preamble.nonFiniteOffsets > 0) {
            std::fprintf(err_,
                         "rawdump: %s: %d installation offsets of the header are not numbers; read as 0\n",
                         o_.file.c_str(), preamble.preamble.nonFiniteOffsets);
        }
        bytes_ = got;

        auto engine = std::make_unique<marivane::AcquisitionEngine>();
        auto coordinates = std::make_unique<geodesy::CCoordinateCal>();
        marivane::SoundVelocity soundVelocity(*engine);
        if (!Configure(preamble.preamble, *engine, *coordinates, soundVelocity))
            return 1;

        OutputBuffer output(out_);
        MainWindowSink sink;
        const platform::FixedClock clock;  // the freshness stamps mean nothing here
        marivane::PingProcessing processing(*engine, soundVelocity, sink);
        marivane::Decoders decoders(*engine, *coordinates, sink, clock);
        decoders.SetPingProcessor(&processing);
        const bool soundings = o_.mode == DumpMode::Soundings;
        RecordTap tap(decoders, *engine, o_.mode == DumpMode::Records ? &output : nullptr, soundings);
        marivane::Framer framer(&tap, nullptr, SonarLink::kReceiveBufferSize);
        marivane::ProcessedPingHandler handler(*engine);
        SoundingSink soundingSink(tap, soundings ? &output : nullptr);
        handler.SetPositionedPingConsumer(&soundingSink);

        // The receiving thread's loop, with the file in place of the socket.
        const auto buffer = std::make_unique<std::uint8_t[]>(SonarLink::kReceiveBufferSize);
        std::size_t fill = 0;
        bool continuing = false;
        for (;;) {
            if (fill > SonarLink::kOverflowFill) {
                overflowBytes_ += fill;
                fill = 0;
                continuing = false;
            }
            const std::size_t want = std::min(SonarLink::kReceiveChunk, SonarLink::kReceiveBufferSize - fill);
            const std::size_t n = std::fread(buffer.get() + fill, 1, want, file.get());
            if (n == 0)
                break;
            bytes_ += n;
            fill += n;
            const marivane::FrameResult framed = framer.Frame(buffer.get(), fill, continuing);
            fill = std::min(framed.fill, fill);
            continuing = true;
            if (sink.TakePingProcessed())
                handler.OnPingProcessed();
        }
        if (std::ferror(file.get())) {
            output.Flush();
            Fail("read error");
            return 1;
        }
        if (sink.TakePingProcessed())
            handler.OnPingProcessed();
        leftBytes_ = fill;

        if (o_.mode == DumpMode::Summary)
            PrintSummary(output, preamble.preamble, framer.Counters(), tap, soundingSink);
        if (soundingSink.Unmatched() > 0) {
            std::fprintf(err_,
                         "rawdump: %llu positioned pings could not be given their head (printed as 0)\n",
                         static_cast<unsigned long long>(soundingSink.Unmatched()));
        }
        if (!output.Flush()) {
            std::fprintf(err_, "rawdump: writing the output failed\n");
            return 1;
        }
        return 0;
    }

  private:
    void Fail(const std::string& message) const {
        std::fprintf(err_, "rawdump: %s: %s\n", o_.file.c_str(), message.c_str());
    }

    // Installation, coordinate system and sound velocity, from the header or the settings file, handed
    // over in the order a project load hands them over.
    bool Configure(const marivane::RawFilePreamble& preamble, marivane::AcquisitionEngine& engine,
                   geodesy::CCoordinateCal& coordinates, marivane::SoundVelocity& soundVelocity) {
        if (o_.settingsFile.empty()) {
            coordinates.Load(preamble.geo);
            const marivane::DeviceSettings device = marivane::FromRawFileDevice(preamble.device);
            marivane::PushDeviceOffsets(device, engine.head1, engine.head2, engine.track,
                                        preamble.device.dualHead == 1);
            soundVelocity.SetSource(marivane::SoundVelocitySource::Sonar);
        } else {
            const std::filesystem::path settings(o_.settingsFile);
            geodesy::ParaOfGeo geo = geodesy::DefaultParaOfGeo();
            marivane::DeviceSettings device;
            if (!geodesy::ReadParaOfGeo(geo, settings) || !marivane::ReadDeviceModel(device, settings) ||
                !marivane::ReadDeviceLocation(device, settings) || !soundVelocity.ReadSettings(settings)) {
                std::fprintf(err_, "rawdump: %s: cannot read the project settings\n",
                             o_.settingsFile.c_str());
                return false;
            }
            coordinates.Load(geo);
            // Read from a settings file, the second transducer is always handed over.
            marivane::PushDeviceOffsets(device, engine.head1, engine.head2, engine.track, true);
        }

        if (!o_.svpFile.empty()) {
            soundVelocity.SetSource(marivane::SoundVelocitySource::ProfileFile);
            if (!soundVelocity.LoadSvpFile(o_.svpFile)) {
                std::fprintf(err_, "rawdump: %s: cannot load the sound velocity profile\n",
                             o_.svpFile.c_str());
                return false;
            }
            return true;
        }
        const std::filesystem::path folder = o_.settingsFile.empty()
                                                 ? std::filesystem::path()
                                                 : std::filesystem::path(o_.settingsFile).parent_path();
        soundVelocity.ApplySoundVelocity(folder);
        if (soundVelocity.Source() == marivane::SoundVelocitySource::ProfileFile &&
            soundVelocity.Profile().empty()) {
            std::fprintf(err_, "rawdump: %s: cannot load the sound velocity profile \"%s\" it names\n",
                         o_.settingsFile.c_str(), soundVelocity.ProfileFileName().c_str());
            return false;
        }
        return true;
    }

    void PrintSummary(OutputBuffer& o, const marivane::RawFilePreamble& preamble,
                      const marivane::FramerCounters& c, const RecordTap& tap,
                      const SoundingSink& soundings) {
        o << "file " << o_.file << '\n';
        o << "bytes " << bytes_ << '\n';
        o << "header format " << preamble.formatVersion << " model ";
        o.Text(preamble.model) << " dual-head " << static_cast<int>(preamble.device.dualHead) << '\n';
        for (const auto& [type, count] : c.packetsByType)
            o << "type " << type << ": " << count << " packets\n";
        if (c.unlistedTypePackets > 0)
            o << "further types: " << c.unlistedTypePackets << " packets\n";
        o << "flag bit 0 (recorded, not decoded): " << c.recordOnlyPackets << " packets\n";
        o << "flag bit 1 (discarded): " << c.discardedPackets << " packets\n";
        o << "broken packets: " << c.brokenPackets << " (" << c.bytesDropped << " bytes dropped)\n";
        o << "bytes skipped while searching for a header: " << c.bytesSkipped << '\n';
        o << "bytes dropped when the buffer overflowed: " << overflowBytes_ << '\n';
        o << "bytes left incomplete at the end: " << leftBytes_ << '\n';
        o << "packets rejected by the decoders: " << c.rejectedPackets << '\n';
        o << "records decoded: " << tap.RecordsDecoded() << '\n';
        o << "first record: ";
        if (tap.FirstTime()) {
            PrintTime(o, *tap.FirstTime());
        } else {
            o << "none";
        }
        o << "\nlast record: ";
        if (tap.LastTime()) {
            PrintTime(o, *tap.LastTime());
        } else {
            o << "none";
        }
        o << "\npings accepted: head 0 " << tap.PingsAccepted(0) << ", head 1 " << tap.PingsAccepted(1)
          << '\n';
        o << "pings positioned: " << soundings.Pings() << " (" << soundings.Soundings()
          << " valid soundings)\n";
    }

    const DumpOptions& o_;
    std::FILE* out_;
    std::FILE* err_;
    std::uint64_t bytes_ = 0;
    std::uint64_t overflowBytes_ = 0;
    std::uint64_t leftBytes_ = 0;
};

}  // namespace

int RunRawDump(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    DumpOptions options;
    std::string error;
    if (!ParseDumpOptions(args, options, error)) {
        std::fprintf(err, "rawdump: %s\n%s", error.c_str(), UsageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText().c_str(), out);
        return 0;
    }
    // Messages of the survey program's own code go to standard error, in English.
    platform::SetMessageLanguageEnglish(true);
    platform::SetMessageCaption("rawdump");
    return Dump(options, out, err).Run();
}

}  // namespace rawdump
