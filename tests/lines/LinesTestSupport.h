#pragma once
// Shared pieces of the line and border tests: a folder per test, the messages shown, a scripted
// prompt and a project that records what the editors register.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "marivane/lines/EditorPorts.h"
#include "platform/Message.h"

namespace lines_test {

namespace fs = std::filesystem;

struct Shown {
    std::string text;
    unsigned boxType = 0;
};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    platform::MessageAnswer Present(std::string_view text, std::string_view, unsigned boxType,
                                    bool) override {
        shown.push_back({std::string(text), boxType});
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> Take() {
        std::vector<std::string> out;
        for (const Shown& s : shown) out.push_back(s.text);
        shown.clear();
        return out;
    }
    std::vector<Shown> shown;
};

// Answers questions and file dialogs in the order the test queued them; an unexpected question
// fails the test.
class ScriptedPrompt final : public marivane::EditorPrompt {
  public:
    platform::MessageAnswer Ask(std::string_view chinese, std::string_view english,
                                unsigned boxType) override {
        asked.push_back({std::string(english), boxType});
        askedChinese.push_back(std::string(chinese));
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << english;
            return platform::MessageAnswer::Cancel;
        }
        const platform::MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<fs::path> ChooseFile(const marivane::FileDialogRequest& request) override {
        dialogs.push_back(request);
        if (files.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << request.title.english;
            return std::nullopt;
        }
        std::optional<fs::path> f = files.front();
        files.pop_front();
        return f;
    }
    std::deque<platform::MessageAnswer> answers;
    std::deque<std::optional<fs::path>> files;
    std::vector<Shown> asked;
    std::vector<std::string> askedChinese;
    std::vector<marivane::FileDialogRequest> dialogs;
};

// A project with one folder per kind under `root`; records the file list, the shown keys and what
// was loaded.
class FakeProject final : public marivane::ProjectFileRegistrar {
  public:
    std::optional<fs::path> DataFolder(marivane::EditedFileKind kind) const override {
        if (!open)
            return std::nullopt;
        return root /
               (kind == marivane::EditedFileKind::PlannedLines ? "Planned Line Files" : "Border Files");
    }
    void AddToFileList(marivane::EditedFileKind kind, const std::string& name) override {
        const std::string line =
            (kind == marivane::EditedFileKind::PlannedLines ? "Planned Line Files\\=" : "Border Files\\=") +
            name;
        for (const std::string& l : fileList) {
            if (l == line)
                return;
        }
        fileList.push_back(line);
    }
    void MarkShown(marivane::EditedFileKind kind, const std::string& name) override {
        keys[(kind == marivane::EditedFileKind::PlannedLines ? "SurLineFolder/" : "BorderLineFolder/") +
             name] = "true";
    }
    void LoadShown(marivane::EditedFileKind, const fs::path& file) override { loaded.push_back(file); }

    bool open = true;
    fs::path root;
    std::vector<std::string> fileList;
    std::map<std::string, std::string> keys;
    std::vector<fs::path> loaded;
};

// A fresh folder per test and the recording presenter installed.
class FolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("lines_") + info->test_suite_name() + "_" + info->name();
        for (char& c : name) {
            if (c == '/')
                c = '_';
        }
        dir_ = fs::path(::testing::TempDir()) / name;
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        platform::SetMessagePresenter(&presenter_);
        platform::SetMessageLanguageEnglish(true);
    }
    void TearDown() override {
        platform::SetMessagePresenter(nullptr);
        platform::SetMessageLanguageEnglish(true);
        fs::remove_all(dir_);
    }
    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The names in the folder, to find left-over temporary files.
    std::set<std::string> Entries() const {
        std::set<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_)) out.insert(e.path().filename().string());
        return out;
    }

    fs::path dir_;
    RecordingPresenter presenter_;
};

}  // namespace lines_test
