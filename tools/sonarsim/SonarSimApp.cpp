#include "tools/sonarsim/SonarSimApp.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "platform/NumberText.h"
#include "tools/sonarsim/FaultInjector.h"
#include "tools/sonarsim/SimOptions.h"
#include "tools/sonarsim/StreamServer.h"
#include "tools/sonarsim/SurveyGenerator.h"

namespace sonarsim {

namespace {

// What every command that simulates needs: the coordinate system and the water.
struct Setup {
    geodesy::ParaOfGeo record = geodesy::DefaultParaOfGeo();
    geodesy::CCoordinateCal coordinates;
    std::optional<SoundVelocityProfile> profile;
    std::int64_t startSeconds = 0;
};

bool Prepare(const SimOptions& o, Setup& s, std::ostream& err) {
    if (!o.settingsFile.empty() && !geodesy::ReadParaOfGeo(s.record, o.settingsFile)) {
        err << "sonarsim: cannot read the coordinate system from " << o.settingsFile << "\n";
        return false;
    }
    s.coordinates.Load(s.record);
    std::string error;
    if (!o.svpFile.empty()) {
        s.profile = SoundVelocityProfile::LoadVelFile(o.svpFile, error);
        if (!s.profile) {
            err << "sonarsim: " << error << "\n";
            return false;
        }
    } else {
        s.profile = SoundVelocityProfile::Constant(o.velocity);
    }
    s.startSeconds = SimClock::ParseStart(o.start).value_or(0);
    return true;
}

DeviceBlockContent DeviceBlockOf(const SimOptions& o) {
    DeviceBlockContent d;
    d.dualHead = o.dualHead;
    d.transducer2 = o.SecondTransducer();
    d.transducer = o.transducer;
    d.antenna = o.antenna;
    d.motionSensor = o.motionSensor;
    d.compass = o.compass;
    return d;
}

int RunWrite(const CommandLine& c, std::ostream& err) {
    const SimOptions& o = c.options;
    Setup s;
    if (!Prepare(o, s, err))
        return 1;
    std::ofstream file(c.output, std::ios::binary | std::ios::trunc);
    if (!file) {
        err << "sonarsim: cannot create " << c.output << "\n";
        return 1;
    }
    const auto header = BuildFileHeader(o.headerModel);
    const auto device = BuildDeviceBlock(DeviceBlockOf(o));
    const auto geodetic = geodesy::ToBlock(s.record);
    file.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    file.write(reinterpret_cast<const char*>(device.data()), static_cast<std::streamsize>(device.size()));
    file.write(reinterpret_cast<const char*>(geodetic.data()), static_cast<std::streamsize>(geodetic.size()));

    std::ofstream manifest;
    if (!o.manifest.empty()) {
        manifest.open(o.manifest, std::ios::trunc);
        if (!manifest) {
            err << "sonarsim: cannot create " << o.manifest << "\n";
            return 1;
        }
        FaultInjector::WriteManifestHeader(manifest);
    }
    SurveyGenerator generator(o, *s.profile, s.coordinates, s.startSeconds);
    FaultInjector faults(o.faults, o.faultRate, o.seed);
    SimPacket packet;
    std::vector<StreamItem> items;
    std::uint64_t bytes = kFileHeadLength;
    while (generator.Next(packet)) {
        items.clear();
        faults.Process(std::move(packet), items);
        for (const StreamItem& item : items) {
            file.write(reinterpret_cast<const char*>(item.bytes.data()),
                       static_cast<std::streamsize>(item.bytes.size()));
            if (manifest.is_open())
                FaultInjector::WriteManifestLine(manifest, item, kFileHeadLength);
            bytes += item.bytes.size();
        }
    }
    file.close();
    if (!file) {
        err << "sonarsim: writing " << c.output << " failed\n";
        return 1;
    }
    if (manifest.is_open()) {
        manifest.close();
        if (!manifest) {
            err << "sonarsim: writing " << o.manifest << " failed\n";
            return 1;
        }
    }
    err << "sonarsim: wrote " << generator.PacketCount() << " packets, " << bytes << " bytes, to " << c.output
        << "\n";
    if (o.faults)
        faults.WriteSummary(err);
    return 0;
}

// The survey as stream items: the packets with their faults, and with --loop the survey again with
// the clock moved on by its length (whole seconds), so that time never runs backwards.
class SurveySource : public ItemSource {
  public:
    SurveySource(const SimOptions& o, Setup& s, std::ostream* manifest)
        : o_(o), s_(s), manifest_(manifest), faults_(o.faults, o.faultRate, o.seed) {
        generator_ = std::make_unique<SurveyGenerator>(o_, *s_.profile, s_.coordinates, s_.startSeconds);
        period_ = generator_->EndMicros() / 1000000 + 1;
    }

    bool Next(StreamItem& item) override {
        while (next_ >= items_.size()) {
            items_.clear();
            next_ = 0;
            SimPacket packet;
            if (!generator_->Next(packet)) {
                if (!o_.loop)
                    return false;
                ++round_;
                generator_ = std::make_unique<SurveyGenerator>(o_, *s_.profile, s_.coordinates,
                                                               s_.startSeconds + round_ * period_);
                continue;
            }
            packet.sendMicros += round_ * period_ * 1000000;
            faults_.Process(std::move(packet), items_);
            if (manifest_ != nullptr) {
                for (const StreamItem& i : items_) FaultInjector::WriteManifestLine(*manifest_, i, 0);
            }
        }
        item = std::move(items_[next_++]);
        return true;
    }

    const FaultInjector& Faults() const { return faults_; }

  private:
    const SimOptions& o_;
    Setup& s_;
    std::ostream* manifest_;
    FaultInjector faults_;
    std::unique_ptr<SurveyGenerator> generator_;
    std::int64_t period_ = 1;
    std::int64_t round_ = 0;
    std::vector<StreamItem> items_;
    std::size_t next_ = 0;
};

int RunServe(const CommandLine& c, std::ostream& err) {
    const SimOptions& o = c.options;
    Setup s;
    if (!Prepare(o, s, err))
        return 1;
    std::ofstream manifest;
    if (!o.manifest.empty()) {
        manifest.open(o.manifest, std::ios::trunc);
        if (!manifest) {
            err << "sonarsim: cannot create " << o.manifest << "\n";
            return 1;
        }
        FaultInjector::WriteManifestHeader(manifest);
    }
    StreamServer server;
    std::string error;
    if (!server.Listen(o.bind, static_cast<std::uint16_t>(o.port), error)) {
        err << "sonarsim: " << error << "\n";
        return 1;
    }
    err << "sonarsim: listening on " << o.bind << ":" << server.Port() << "\n" << std::flush;
    SurveySource source(o, s, manifest.is_open() ? &manifest : nullptr);
    ServeSettings settings;
    settings.speed = o.speed;
    settings.waitClient = o.waitClient;
    settings.maxRuntime = o.loop ? o.maxRuntime : 0.0;
    const ServeResult r = server.Serve(source, settings, &err);
    err << "sonarsim: " << r.clients << " client(s), " << r.bytesSent << " bytes sent, " << r.bytesReceived
        << " bytes received\n";
    if (o.faults)
        source.Faults().WriteSummary(err);
    if (!r.error.empty())
        err << "sonarsim: " << r.error << "\n";
    return r.completed || (o.loop && r.error.empty()) ? 0 : 1;
}

bool IsSeparator(char ch) {
    return ch == ' ' || ch == '\t' || ch == ',' || ch == '\r';
}

// "easting northing" at the start of a line.
bool ParsePoint(const std::string& line, double& e, double& n) {
    const char* p = line.data();
    const char* end = p + line.size();
    for (double* v : {&e, &n}) {
        while (p < end && IsSeparator(*p)) ++p;
        const auto r = std::from_chars(p, end, *v, std::chars_format::general);
        if (r.ec != std::errc() || !std::isfinite(*v))
            return false;
        p = r.ptr;
        if (p < end && !IsSeparator(*p))
            return false;
    }
    return true;
}

int RunTruth(const CommandLine& c, std::istream& in, std::ostream& out, std::ostream& err) {
    const SeaFloor floor = MakeSeaFloor(c.options);
    const auto print = [&](double e, double n) {
        out << platform::FormatDouble("%.4f", floor.Depth(e, n)) << '\n';
    };
    if (!c.points.empty()) {
        for (std::size_t i = 0; i + 1 < c.points.size(); i += 2) print(c.points[i], c.points[i + 1]);
        return 0;
    }
    int status = 0;
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r,") == std::string::npos)
            continue;
        double e = 0, n = 0;
        if (!ParsePoint(line, e, n)) {
            err << "sonarsim: line " << number << ": expected \"easting northing\"\n";
            status = 1;
            continue;
        }
        print(e, n);
    }
    return status;
}

}  // namespace

int RunSonarSim(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err) {
    CommandLine c;
    std::string error;
    if (!ParseCommandLine(args, c, error)) {
        err << "sonarsim: " << error << "\n" << UsageText();
        return 2;
    }
    switch (c.command) {
        case Command::Help:
            out << UsageText();
            return 0;
        case Command::Write:
            return RunWrite(c, err);
        case Command::Serve:
            return RunServe(c, err);
        case Command::Truth:
            return RunTruth(c, in, out, err);
    }
    return 2;
}

}  // namespace sonarsim
