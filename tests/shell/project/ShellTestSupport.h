#pragma once
// What the tests of the project flows share: a temporary folder, a recorder of shown messages,
// scripted answers to the flows' questions, and a session wired to a pipeline that never connects.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "marivane/acquisition/AcquisitionPipeline.h"
#include "marivane/shell/ProjectSession.h"
#include "marivane/shell/ProjectTree.h"
#include "platform/Clock.h"
#include "platform/Message.h"
#include "platform/MessageSink.h"

namespace shelltest {

namespace fs = std::filesystem;

struct Shown {
    std::string text;
    unsigned box;
};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned box, bool) override {
        shown.push_back({std::string(text), box});
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& s : shown) out.push_back(s.text);
        return out;
    }
    std::size_t Count(std::string_view part) const {
        std::size_t n = 0;
        for (const auto& s : shown) n += s.text.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
    std::vector<Shown> shown;
};

// Answers in the order they are asked; a question without a scripted answer fails the test.
class ScriptedPrompts final : public marivane::UserPrompts {
  public:
    platform::MessageAnswer Ask(std::string_view, std::string_view english, unsigned box) override {
        asked.emplace_back(english);
        boxes.push_back(box);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << english;
            return platform::MessageAnswer::Cancel;
        }
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<fs::path> ChooseFiles(const marivane::FileChoice& choice) override {
        choices.push_back(choice);
        if (files.empty()) {
            ADD_FAILURE() << "unexpected file choice: " << choice.englishTitle;
            return {};
        }
        auto f = files.front();
        files.pop_front();
        return f;
    }
    marivane::ProjectOption ChooseProjectOption() override {
        ++optionDialogs;
        return option;
    }
    std::optional<marivane::NewProjectAnswers> RunNewProjectWizard(
        const marivane::NewProjectWizardStart& s) override {
        starts.push_back(s);
        if (wizard.empty()) {
            ADD_FAILURE() << "unexpected wizard";
            return std::nullopt;
        }
        auto w = wizard.front();
        wizard.pop_front();
        return w;
    }

    std::deque<platform::MessageAnswer> answers;
    std::deque<std::vector<fs::path>> files;
    std::deque<std::optional<marivane::NewProjectAnswers>> wizard;
    marivane::ProjectOption option = marivane::ProjectOption::Cancel;

    std::vector<std::string> asked;
    std::vector<unsigned> boxes;
    std::vector<marivane::FileChoice> choices;
    std::vector<marivane::NewProjectWizardStart> starts;
    int optionDialogs = 0;
};

inline std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A program folder, a data folder and everything a session needs. The sonar link is never started.
class ShellFixture : public ::testing::Test {
  protected:
    ShellFixture() : pipeline_(engine_, coordinates_, sink_, clock_) {}

    marivane::SessionEnvironment Environment() {
        return marivane::SessionEnvironment{program_, pipeline_, coordinates_, sink_, clock_, prompts_};
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = fs::path(::testing::TempDir()) /
                (std::string("shell_") + info->test_suite_name() + "_" + info->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "program");
        fs::create_directories(root_ / "data");
        program_ = root_ / "program";
        data_ = root_ / "data";
        session_ = std::make_unique<marivane::ProjectSession>(Environment());
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
        clock_.Set({2024, 3, 1, 14, 5, 9, 0});
    }
    void TearDown() override {
        session_.reset();
        platform::SetMessagePresenter(nullptr);
        fs::remove_all(root_);
    }

    // Answers of a wizard that creates `name` under the data folder with default settings.
    marivane::NewProjectAnswers Wizard(const std::string& name) const {
        marivane::NewProjectAnswers a;
        a.name = name;
        a.location = data_.string();
        return a;
    }

    // Creates a project through the new-project flow; fails the test when it does not succeed.
    fs::path CreateProject(const std::string& name, std::optional<marivane::NewProjectAnswers> answers = {}) {
        prompts_.wizard.push_back(answers ? *answers : Wizard(name));
        if (session_->Project().IsOpen())
            prompts_.answers.push_back(platform::MessageAnswer::Yes);
        EXPECT_TRUE(session_->NewProject()) << ::testing::PrintToString(presenter_.Texts());
        presenter_.shown.clear();
        sink_.Take();
        return data_ / name / (name + ".ngn");
    }

    // A fresh session over the same program folder, as after a restart.
    void Restart() {
        session_ = std::make_unique<marivane::ProjectSession>(Environment());
        engine_.surveyState.Set(marivane::SurveyState::Idle());
    }

    fs::path root_;
    fs::path program_;
    fs::path data_;
    marivane::AcquisitionEngine engine_;
    geodesy::CCoordinateCal coordinates_;
    platform::QueueMessageSink sink_;
    platform::FixedClock clock_;
    marivane::AcquisitionPipeline pipeline_;
    ScriptedPrompts prompts_;
    RecordingPresenter presenter_;
    std::unique_ptr<marivane::ProjectSession> session_;
};

// A planned line file content with named lines, for loaders registered by tests.
class NamedItems final : public marivane::FileContent {
  public:
    explicit NamedItems(std::vector<std::string> names) : names_(std::move(names)) {}
    std::size_t ItemCount() const override { return names_.size(); }
    std::string ItemName(std::size_t i) const override {
        return i < names_.size() ? names_[i] : std::string();
    }

  private:
    std::vector<std::string> names_;
};

// A loader that records what it read: one item per text line of the file.
struct SpyLoader {
    std::vector<fs::path> read;
    marivane::FileLoader Loader() {
        return [this](const fs::path& path) -> std::unique_ptr<marivane::FileContent> {
            read.push_back(path);
            std::ifstream in(path);
            std::vector<std::string> lines;
            for (std::string l; std::getline(in, l);) lines.push_back(l);
            return std::make_unique<NamedItems>(std::move(lines));
        };
    }
};

}  // namespace shelltest
