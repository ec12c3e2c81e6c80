// A project read from any bytes: the project file is the input up to its first 0x1E byte, the file
// list the rest. Loading must end, never read a file outside the project folder, and never crash.

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/shell/ProjectSession.h"
#include "platform/Message.h"

namespace {

namespace fs = std::filesystem;

class Quiet final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view, std::string_view, unsigned, bool) override {
        return platform::MessageAnswer::Ok;
    }
};

class NoAnswers final : public marivane::UserPrompts {
  public:
    platform::MessageAnswer Ask(std::string_view, std::string_view, unsigned) override {
        return platform::MessageAnswer::Cancel;
    }
    std::vector<fs::path> ChooseFiles(const marivane::FileChoice&) override { return {}; }
    marivane::ProjectOption ChooseProjectOption() override { return marivane::ProjectOption::Cancel; }
    std::optional<marivane::NewProjectAnswers> RunNewProjectWizard(
        const marivane::NewProjectWizardStart&) override {
        return std::nullopt;
    }
};

struct World {
    World() {
        root = fs::temp_directory_path() / ("fuzz_project_" + std::to_string(::getpid()));
        fs::remove_all(root);
        folder = root / "P";
        for (const char* f : {"Border Files", "Planned Line Files", "Track Line Files", "Background Files",
                              "Matrix Files", "Multibeam Files"})
            fs::create_directories(folder / f);
        std::ofstream(folder / "Track Line Files" / "t.tra") << "1 2\n3 4\n";
        std::ofstream(folder / "Border Files" / "b.brd") << "b";
        std::ofstream(folder / "Planned Line Files" / "p.lnw") << "p";
        std::ofstream(root / "outside.lnw") << "outside";
        platform::SetMessagePresenter(&quiet);
        session = std::make_unique<marivane::ProjectSession>(marivane::SessionEnvironment{
            root, pipeline, coordinates, sink, platform::SystemClock(), prompts});
        session->Loaders().Set(marivane::FileKind::PlannedLines, [this](const fs::path& p) {
            if (p.lexically_normal().string().rfind(folder.string(), 0) != 0)
                std::abort();  // read outside the project
            return std::make_unique<marivane::FileContent>();
        });
    }
    ~World() {
        session.reset();
        fs::remove_all(root);
    }
    fs::path root, folder;
    Quiet quiet;
    NoAnswers prompts;
    marivane::AcquisitionEngine engine;
    geodesy::CCoordinateCal coordinates;
    platform::NullMessageSink sink;
    marivane::AcquisitionPipeline pipeline{engine, coordinates, sink};
    std::unique_ptr<marivane::ProjectSession> session;
};

World& TheWorld() {
    static World world;
    return world;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World& w = TheWorld();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\x1e');
    const fs::path ngn = w.folder / "P.ngn";
    std::ofstream(ngn, std::ios::binary | std::ios::trunc) << input.substr(0, split);
    std::ofstream(w.folder / "P.flst", std::ios::binary | std::ios::trunc)
        << (split == std::string_view::npos ? std::string_view() : input.substr(split + 1));
    w.session->ReleaseProjectData();
    w.session->Project().Clear();
    w.session->Project().projectFile = ngn;
    w.session->Project().projectFolder = w.folder;
    w.session->LoadProject(ngn);
    const int locked = w.session->Files().LockedMatrix();
    if (locked < -1 ||
        locked >= static_cast<int>(w.session->Files().List(marivane::FileKind::Matrices).size()))
        std::abort();
    return 0;
}
