#include "tools/acquire/AcquireRun.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ostream>
#include <system_error>
#include <thread>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/acquisition/NetSettings.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/ProjectSession.h"
#include "platform/Message.h"
#include "platform/Profile.h"

#include "marivane/session/GridPlugin.h"
#include "marivane/session/LinePlugin.h"

namespace acquire {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Questions get the cautious answer; the only file asked for is the project.
class HeadlessPrompts final : public marivane::UserPrompts {
  public:
    explicit HeadlessPrompts(fs::path project) : project_(std::move(project)) {}
    platform::MessageAnswer Ask(std::string_view, std::string_view, unsigned box) override {
        return (box & 0x0F) == platform::kBoxYesNo ? platform::MessageAnswer::No
                                                   : platform::MessageAnswer::Cancel;
    }
    std::vector<fs::path> ChooseFiles(const marivane::FileChoice&) override {
        if (given_)
            return {};
        given_ = true;
        return {project_};
    }
    marivane::ProjectOption ChooseProjectOption() override { return marivane::ProjectOption::Cancel; }
    std::optional<marivane::NewProjectAnswers> RunNewProjectWizard(
        const marivane::NewProjectWizardStart&) override {
        return std::nullopt;
    }

  private:
    fs::path project_;
    bool given_ = false;
};

// The windows' messages as the main loop sees them: what needs draining, and the GNSS fixes.
class LoopSink final : public platform::MessageSink {
  public:
    void Post(platform::MessageTarget, unsigned id, std::uintptr_t wParam, std::intptr_t) override {
        if (id == marivane::WM_PING_PROCESSED)
            pingsWaiting.store(true);
        else if (id == marivane::WM_DATA_UPDATE && wParam == marivane::kDataGnssFix)
            fixes.fetch_add(1);
    }
    std::atomic<bool> pingsWaiting{false};
    std::atomic<std::uint64_t> fixes{0};
};

// Counts the positioned pings and hands them on to the locked grid while it is open.
class PingCounter final : public marivane::PositionedPingConsumer {
  public:
    explicit PingCounter(marivane::ProjectSession& session) : session_(session) {}
    void ConsumePositionedPings(std::span<const marivane::PositionedPing> pings) override {
        count += pings.size();
        if (auto* grid = session_.SoundingConsumer())
            grid->ConsumePositionedPings(pings);
    }
    std::uint64_t count = 0;

  private:
    marivane::ProjectSession& session_;
};

bool ParseSeconds(const std::string& text, double& seconds) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, seconds);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(seconds) && seconds >= 0.0 && seconds <= 1e9;
}

}  // namespace

std::string UsageText() {
    return "usage: acquire PROJECT.ngn [--record] [--seconds N]\n"
           "Runs a survey into PROJECT from the current folder (its NetCfg.ini and Marivane.ini): starts "
           "the\n"
           "sonar link, records raw data and track files with --record, and stops after N seconds or on\n"
           "SIGINT/SIGTERM. Messages go to standard error, the summary to standard output.\n"
           "Exit status: 0 clean run, 1 the project cannot be loaded or recording cannot start, 2 bad "
           "usage.\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--record") {
            options.record = true;
        } else if (a == "--seconds") {
            double seconds = 0.0;
            if (i + 1 >= args.size() || !ParseSeconds(args[i + 1], seconds)) {
                error = "--seconds needs a number of seconds";
                return false;
            }
            options.seconds = seconds;
            ++i;
        } else if (a.rfind("--", 0) == 0 || a.empty()) {
            error = "unknown option " + a;
            return false;
        } else if (!options.project.empty()) {
            error = "one project only";
            return false;
        } else {
            options.project = a;
        }
    }
    if (options.project.empty()) {
        error = "no project given";
        return false;
    }
    return true;
}

int Run(const Options& options, std::ostream& out, const std::atomic<bool>& stop) {
    std::error_code ec;
    const fs::path programFolder = fs::current_path(ec);
    platform::SetMessageCaption("Marivane");
    // The language of the program when its language file says so; English otherwise.
    const fs::path languageFile = programFolder / "MultiLangSet.lang";
    platform::SetMessageLanguageEnglish(!fs::exists(languageFile, ec) ||
                                        platform::GetProfileInt(languageFile, "English", "bEnglish", 0) != 0);

    const marivane::NetSettings net = marivane::ReadNetSettings(programFolder);
    marivane::AcquisitionEngine engine;
    geodesy::CCoordinateCal coordinates;
    LoopSink sink;
    marivane::AcquisitionPipeline pipeline(engine, coordinates, sink);
    HeadlessPrompts prompts(fs::absolute(options.project, ec));
    marivane::ProjectSession session(marivane::SessionEnvironment{programFolder, pipeline, coordinates, sink,
                                                                  platform::SystemClock(), prompts});
    marivane::GridPlugin grid(session);
    marivane::LinePlugin lines(session);
    PingCounter pings(session);
    pipeline.Results().SetPositionedPingConsumer(&pings);

    if (!session.OpenProject() || !session.LastLoad().Recordable()) {
        out << "acquire: the project " << options.project.string() << " cannot be loaded\n";
        return kExitFailed;
    }
    pipeline.Link().SetEndpoints({net.ip, net.port}, {net.ipSpare, net.portSpare});
    if (!session.StartSurvey()) {
        out << "acquire: the survey cannot start\n";
        return kExitFailed;
    }
    int status = kExitOk;
    std::uint64_t trackPoints = 0;
    const auto drain = [&] {
        sink.pingsWaiting.store(false);
        pipeline.Results().OnPingProcessed();
        trackPoints += engine.trackList.Take().size();
    };
    if (options.record && !session.StartRecording()) {
        out << "acquire: recording cannot start\n";
        status = kExitFailed;
    }
    if (status == kExitOk) {
        // The main window's timers: the keep-alive every 500 ms, the processed pings drained as they come.
        const auto start = std::chrono::steady_clock::now();
        const auto end = options.seconds
                             ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                           std::chrono::duration<double>(*options.seconds))
                             : std::chrono::steady_clock::time_point::max();
        auto keepAlive = start;
        while (!stop.load() && std::chrono::steady_clock::now() < end) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= keepAlive) {
                pipeline.Link().SendKeepAlive();
                keepAlive += 500ms;
                if (keepAlive < now)
                    keepAlive = now + 500ms;
            }
            if (sink.pingsWaiting.load())
                drain();
            std::this_thread::sleep_for(10ms);
        }
    }
    drain();
    const std::uint64_t soundings = session.Grid().SoundingsAdded();
    session.StopRecording();
    session.StopSurvey();
    drain();

    // Read after the stop: the receiving thread has ended.
    const marivane::FramerCounters& c = pipeline.Frames().Counters();
    std::uint64_t packets = c.unlistedTypePackets;
    for (const auto& [type, n] : c.packetsByType) packets += n;
    out << "acquire: project " << session.Project().projectFile.string() << "\n";
    out << "acquire: packets " << packets << " (recorded " << pipeline.Raw().PacketsRecorded()
        << ", discarded " << c.discardedPackets << ", broken " << c.brokenPackets << ", rejected "
        << c.rejectedPackets << ")\n";
    out << "acquire: pings positioned " << pings.count << "\n";
    out << "acquire: fixes " << sink.fixes.load() << " (track points " << trackPoints << ")\n";
    out << "acquire: soundings added to the locked grid " << soundings << "\n";
    const marivane::RecordingFiles& files = session.LastRecording();
    if (!files.raw.empty())
        out << "acquire: wrote " << files.raw.string() << " (" << fs::file_size(files.raw, ec) << " bytes)\n";
    if (!files.track.empty()) {
        const std::uintmax_t size = fs::file_size(files.track, ec);
        out << "acquire: wrote " << files.track.string() << " (" << (size >= 64 ? (size - 64) / 32 : 0)
            << " track records)\n";
    }
    if (files.raw.empty() && files.track.empty())
        out << "acquire: no files written\n";
    return status;
}

}  // namespace acquire
