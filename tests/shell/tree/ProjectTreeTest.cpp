// The project tree: its content as a model, check boxes with their keys, import, remove, delete,
// lock and clear data, and the files that recording holds.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../project/ShellTestSupport.h"
#include "marivane/acquisition/WindowMessages.h"
#include "marivane/shell/ProjectTree.h"
#include "platform/Binary.h"
#include "platform/Profile.h"

namespace {

namespace fs = std::filesystem;
using namespace marivane;
using platform::MessageAnswer;
using shelltest::ReadText;
using shelltest::WriteText;

constexpr int kBorders = 1, kPlanned = 2, kTracks = 3, kBackground = 4, kMatrices = 5, kMultibeam = 6;

class Tree : public shelltest::ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ngn_ = CreateProject("Harbour");
        folder_ = data_ / "Harbour";
        outside_ = root_ / "outside";
        fs::create_directories(outside_);
        tree_ = std::make_unique<ProjectTree>(*session_);
        session_->Loaders().Set(FileKind::PlannedLines, lines_.Loader());
        tree_->Rebuild(0);
    }
    // Lists a file of a folder as the import would.
    void List(int folder, const std::string& name, bool shown,
              const std::string& content = "line A\nline B\n") {
        const auto f = static_cast<DataFolder>(folder);
        const fs::path path = *session_->Project().DataFilePath(f, name);
        WriteText(path, content);
        ASSERT_TRUE(session_->AppendFileListEntry(session_->Project().FolderName(f), name));
        ASSERT_TRUE(session_->WriteProjectKey(FolderSection(f), name, shown ? "true" : "false"));
    }
    // Reads the lists again from the project and rebuilds every branch.
    void Reload() {
        Restart();
        session_->Loaders().Set(FileKind::PlannedLines, lines_.Loader());
        session_->StartupLoad();
        tree_ = std::make_unique<ProjectTree>(*session_);
        for (const auto& m : sink_.Take()) tree_->Deliver(m);
        presenter_.shown.clear();
    }
    std::optional<std::string> Key(int folder, const std::string& name) {
        return platform::ReadProfileValue(ngn_, FolderSection(static_cast<DataFolder>(folder)), name);
    }
    const TreeNode& N(int folder, int file = -1, int line = -1) {
        const TreeNode* node = tree_->Node({folder, file, line});
        EXPECT_NE(node, nullptr);
        static const TreeNode none;
        return node != nullptr ? *node : none;
    }

    fs::path ngn_, folder_, outside_;
    std::unique_ptr<ProjectTree> tree_;
    shelltest::SpyLoader lines_;
};

TEST_F(Tree, ModelShowsFoldersFilesLinesAndTheLockedGrid) {
    List(kPlanned, "p.lnw", true);
    List(kBackground, "z.tif", false);
    List(kBackground, "a.dxf", true);
    List(kMatrices, "m0.mtrx", true);
    List(kMatrices, "m1.mtrx", true);
    platform::WriteProfileString(ngn_, "MatrixFolder", "PosMatrixFileLocked", "1");
    Reload();

    const auto& root = *tree_->Root();
    EXPECT_EQ(root.text, "Harbour");
    ASSERT_EQ(root.children.size(), 6u);
    const char* captions[] = {"Border Files",     "Planned Line Files", "Track Line Files",
                              "Background Files", "Matrix Files",       "Multibeam Files"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(root.children[static_cast<std::size_t>(i)].text, captions[i]);
    EXPECT_FALSE(N(kMultibeam).hasCheckBox);

    ASSERT_EQ(N(kPlanned).children.size(), 1u);
    EXPECT_TRUE(N(kPlanned).checked);  // every file shown
    ASSERT_EQ(N(kPlanned, 0).children.size(), 2u);
    EXPECT_EQ(N(kPlanned, 0, 1).text, "line B");
    EXPECT_FALSE(N(kPlanned, 0, 1).checked);
    // DXF charts first, then TIF.
    EXPECT_EQ(N(kBackground, 0).text, "a.dxf");
    EXPECT_EQ(N(kBackground, 1).text, "z.tif");
    EXPECT_FALSE(N(kBackground).checked);
    EXPECT_EQ(N(kMatrices, 0).image, kImageFile);
    EXPECT_EQ(N(kMatrices, 1).image, kImageLockedMatrix);
    EXPECT_FALSE(N(kBorders).checked);  // no children

    // Menus: none for the root, the multibeam folder and lines; the lock item per matrix.
    EXPECT_FALSE(tree_->HasFolderMenu({0}));
    EXPECT_FALSE(tree_->HasFolderMenu({kMultibeam}));
    EXPECT_TRUE(tree_->HasFolderMenu({kBackground}));
    EXPECT_FALSE(tree_->FileMenuFor({kPlanned, 0, 0}).has_value());
    EXPECT_TRUE(tree_->FileMenuFor({kPlanned, 0})->edit);
    EXPECT_FALSE(tree_->FileMenuFor({kPlanned, 0})->lock);
    EXPECT_TRUE(tree_->FileMenuFor({kMatrices, 1})->unlock);
    EXPECT_FALSE(tree_->FileMenuFor({kMatrices, 0})->unlock);
    EXPECT_TRUE(tree_->FileMenuFor({kMatrices, 0})->clearData);
}

TEST_F(Tree, BranchesNeedAProject) {
    for (const auto& [index, text] :
         std::vector<std::pair<int, std::string>>{{1, "Please create a project first!"},
                                                  {4, "Please create a project  first!"},
                                                  {6, "Please create a project  first!"}}) {
        ProjectTree empty(*session_);
        presenter_.shown.clear();
        empty.Rebuild(index);
        EXPECT_EQ(presenter_.Texts(), std::vector<std::string>{text});
    }
}

TEST_F(Tree, CheckBoxesWriteTheShownKeys) {
    List(kBorders, "a.brd", true);
    List(kBorders, "b.brd", false);
    Reload();
    EXPECT_FALSE(N(kBorders).checked);

    // Checking the last unchecked file checks the folder; unchecking any unchecks it.
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders, 1}));
    EXPECT_TRUE(N(kBorders).checked);
    EXPECT_EQ(Key(kBorders, "b.brd"), "true");
    EXPECT_TRUE(session_->Files().List(FileKind::Borders)[1].shown);
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders, 0}));
    EXPECT_FALSE(N(kBorders).checked);
    EXPECT_EQ(Key(kBorders, "a.brd"), "false");

    // The folder sets every file; checking when all are shown rewrites the keys "true".
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders}));
    EXPECT_EQ(Key(kBorders, "a.brd"), "true");
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders}));
    EXPECT_EQ(Key(kBorders, "a.brd"), "false");
    EXPECT_EQ(Key(kBorders, "b.brd"), "false");
    EXPECT_FALSE(session_->Files().List(FileKind::Borders)[0].shown);
    platform::WriteProfileString(ngn_, "BorderLineFolder", "a.brd", "true");
    platform::WriteProfileString(ngn_, "BorderLineFolder", "b.brd", "true");
    Reload();
    ASSERT_TRUE(N(kBorders).checked);
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders}));  // unchecks
    ASSERT_TRUE(tree_->ClickCheckBox({kBorders}));  // checks again: both already shown before
    EXPECT_EQ(Key(kBorders, "a.brd"), "true");
    EXPECT_EQ(Key(kBorders, "b.brd"), "true");
    EXPECT_EQ(sink_.Count(WM_REFRESH_VIEWS), 2u);

    EXPECT_FALSE(tree_->ClickCheckBox({0}));
    EXPECT_FALSE(tree_->ClickCheckBox({kMultibeam}));
}

TEST_F(Tree, CheckingALineUnderAHiddenFileMakesItTheOnlyCurrentLine) {
    List(kPlanned, "p.lnw", true);
    List(kPlanned, "q.lnw", false);
    Reload();
    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 0, 0}));
    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 1, 1}));
    EXPECT_TRUE(N(kPlanned, 1).checked);
    EXPECT_EQ(Key(kPlanned, "q.lnw"), "true");
    EXPECT_TRUE(session_->Files().List(FileKind::PlannedLines)[1].shown);
    EXPECT_FALSE(N(kPlanned, 0, 0).checked);
    EXPECT_TRUE(N(kPlanned, 1, 1).checked);
    EXPECT_TRUE(N(kPlanned).checked);
    EXPECT_EQ(session_->Files().Current(), (CurrentLine{1, 1}));

    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 1, 1}));
    EXPECT_EQ(session_->Files().Current(), (CurrentLine{1, -1}));
    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 1, 0}));
    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 1}));  // hiding the file unchecks its lines
    EXPECT_FALSE(N(kPlanned, 1, 0).checked);

    // Removing a file before the current one moves the current line with it; removing its own
    // file clears it.
    ASSERT_TRUE(tree_->ClickCheckBox({kPlanned, 1, 0}));
    ASSERT_TRUE(tree_->RemoveFile({kPlanned, 0}));
    EXPECT_EQ(session_->Files().Current(), (CurrentLine{0, 0}));
    EXPECT_TRUE(N(kPlanned, 0, 0).checked);
    ASSERT_TRUE(tree_->RemoveFile({kPlanned, 0}));
    EXPECT_EQ(session_->Files().Current(), (CurrentLine{-1, -1}));
}

TEST_F(Tree, ImportCopiesAsksBeforeReplacingAndNeverListsTwice) {
    WriteText(outside_ / "new.brd", "new");
    WriteText(outside_ / "same.brd", "replacement");
    List(kBorders, "same.brd", false, "original");
    Reload();

    prompts_.files.push_back({outside_ / "new.brd", outside_ / "same.brd"});
    prompts_.answers.push_back(MessageAnswer::No);
    tree_->ImportFiles(DataFolder::Borders);
    EXPECT_EQ(prompts_.choices.back().initialFolder, folder_ / "Border Files");
    EXPECT_TRUE(prompts_.choices.back().multiple);
    EXPECT_EQ(prompts_.asked.back(), "The file already exists.\nDo you want to replace it?");
    EXPECT_EQ(ReadText(folder_ / "Border Files" / "new.brd"), "new");
    EXPECT_EQ(ReadText(folder_ / "Border Files" / "same.brd"), "original");  // "No" skips it entirely
    EXPECT_EQ(Key(kBorders, "new.brd"), "true");
    EXPECT_EQ(Key(kBorders, "same.brd"), "false");
    ASSERT_EQ(N(kBorders).children.size(), 2u);

    prompts_.files.push_back({outside_ / "same.brd", folder_ / "Border Files" / "new.brd"});
    prompts_.answers.push_back(MessageAnswer::Yes);
    tree_->ImportFiles(DataFolder::Borders);
    EXPECT_EQ(ReadText(folder_ / "Border Files" / "same.brd"), "replacement");
    EXPECT_EQ(ReadText(folder_ / "Border Files" / "new.brd"), "new");  // imported onto itself: untouched
    EXPECT_EQ(Key(kBorders, "same.brd"), "true");
    EXPECT_EQ(ReadText(folder_ / "Harbour.flst"), "Border Files\\=same.brd\nBorder Files\\=new.brd\n");
    ASSERT_EQ(session_->Files().List(FileKind::Borders).size(), 2u);
    EXPECT_EQ(session_->Files().List(FileKind::Borders)[1].listedName, "new.brd");
}

TEST_F(Tree, BackgroundImportTakesTheWorldFileAndSkipsOtherKinds) {
    WriteText(outside_ / "chart.tif", "tif");
    WriteText(outside_ / "chart.tfw", "world");
    WriteText(outside_ / "plan.DXF", "dxf");
    WriteText(outside_ / "photo.png", "png");
    prompts_.files.push_back({outside_ / "chart.tif", outside_ / "plan.DXF", outside_ / "photo.png"});
    tree_->ImportFiles(DataFolder::Background);
    EXPECT_EQ(ReadText(folder_ / "Background Files" / "chart.tfw"), "world");
    EXPECT_FALSE(fs::exists(folder_ / "Background Files" / "photo.png"));
    EXPECT_EQ(session_->Files().List(FileKind::BackgroundTif).size(), 1u);
    EXPECT_EQ(session_->Files().List(FileKind::BackgroundDxf).size(), 1u);
    EXPECT_EQ(N(kBackground, 0).text, "plan.DXF");

    // Deleting the chart takes its world file along.
    prompts_.answers.push_back(MessageAnswer::Ok);
    ASSERT_TRUE(tree_->DeleteFile({kBackground, 1}));
    EXPECT_EQ(prompts_.boxes.back(), platform::kBoxDestructiveConfirm);
    EXPECT_FALSE(fs::exists(folder_ / "Background Files" / "chart.tif"));
    EXPECT_FALSE(fs::exists(folder_ / "Background Files" / "chart.tfw"));
    EXPECT_FALSE(Key(kBackground, "chart.tif"));
    EXPECT_EQ(ReadText(folder_ / "Harbour.flst"), "Background Files\\=plan.DXF\n");

    prompts_.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(tree_->DeleteFile({kBackground, 0}));
    EXPECT_TRUE(fs::exists(folder_ / "Background Files" / "plan.DXF"));
}

TEST_F(Tree, DxfDrawingsBecomePlannedLineFiles) {
    WriteText(outside_ / "route.dxf", "drawing");
    WriteText(outside_ / "p.DXF", "drawing");
    List(kPlanned, "p.lnw", true);
    Reload();

    // Without a converter nothing is listed.
    prompts_.files.push_back({outside_ / "route.dxf"});
    tree_->ImportFiles(DataFolder::PlannedLines);
    EXPECT_EQ(presenter_.Count("cannot be converted"), 1u);
    EXPECT_FALSE(Key(kPlanned, "route.lnw"));

    std::vector<std::pair<fs::path, fs::path>> converted;
    session_->Loaders().dxfToLnw = [&](const fs::path& dxf, const fs::path& lnw) {
        converted.emplace_back(dxf, lnw);
        WriteText(lnw, "from dxf\n");
        return true;
    };
    presenter_.shown.clear();
    prompts_.files.push_back({outside_ / "route.dxf", outside_ / "p.DXF"});
    tree_->ImportFiles(DataFolder::PlannedLines);
    // p.DXF would become the p.lnw that is listed already.
    EXPECT_EQ(presenter_.Texts(),
              std::vector<std::string>{"The file  " + (outside_ / "p.DXF").string() +
                                       "  already exists.\nPlease modify the current dxf file name!"});
    ASSERT_EQ(converted.size(), 1u);
    EXPECT_EQ(converted[0].second, folder_ / "Planned Line Files" / "route.lnw");
    EXPECT_EQ(Key(kPlanned, "route.lnw"), "true");
    EXPECT_EQ(ReadText(folder_ / "Harbour.flst"),
              "Planned Line Files\\=p.lnw\nPlanned Line Files\\=route.lnw\n");
    EXPECT_EQ(N(kPlanned, 1, 0).text, "from dxf");
}

TEST_F(Tree, RemovingMatricesKeepsTheSameGridLocked) {
    for (const char* name : {"m0.mtrx", "m1.mtrx", "m2.mtrx"}) List(kMatrices, name, true);
    platform::WriteProfileString(ngn_, "MatrixFolder", "PosMatrixFileLocked", "2");
    Reload();

    ASSERT_TRUE(tree_->RemoveFile({kMatrices, 0}));
    EXPECT_EQ(session_->Files().LockedMatrix(), 1);
    EXPECT_EQ(session_->Files().List(FileKind::Matrices)[1].listedName, "m2.mtrx");
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "1");
    EXPECT_EQ(N(kMatrices, 1).image, kImageLockedMatrix);
    EXPECT_TRUE(fs::exists(folder_ / "Matrix Files" / "m0.mtrx"));  // removed, not deleted
    EXPECT_FALSE(Key(kMatrices, "m0.mtrx"));

    // Imported again over itself, the locked grid moves to the end of the list and stays locked.
    prompts_.files.push_back({folder_ / "Matrix Files" / "m2.mtrx", folder_ / "Matrix Files" / "m0.mtrx"});
    tree_->ImportFiles(DataFolder::Matrices);
    ASSERT_EQ(session_->Files().List(FileKind::Matrices).size(), 3u);
    EXPECT_EQ(session_->Files().List(FileKind::Matrices)[1].listedName, "m2.mtrx");
    EXPECT_EQ(session_->Files().LockedMatrix(), 1);
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "1");

    ASSERT_TRUE(tree_->RemoveFile({kMatrices, 1}));
    EXPECT_EQ(session_->Files().LockedMatrix(), -1);
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "-1");
}

TEST_F(Tree, LockAndUnlockFollowTheRecordingState) {
    List(kMatrices, "m0.mtrx", true);
    List(kMatrices, "m1.mtrx", true);
    Reload();
    ASSERT_TRUE(tree_->ToggleLock({kMatrices, 1}));
    EXPECT_EQ(session_->Files().LockedMatrix(), 1);
    EXPECT_FALSE(session_->Grid().IsOpen());
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "1");
    EXPECT_EQ(N(kMatrices, 1).image, kImageLockedMatrix);

    engine_.surveyState.Set(SurveyState::Surveying());
    ASSERT_TRUE(session_->StartRecording());
    EXPECT_EQ(session_->Grid().OpenPath(), folder_ / "Matrix Files" / "m1.mtrx");
    ASSERT_TRUE(tree_->ToggleLock({kMatrices, 0}));  // another grid while recording: switched over
    EXPECT_EQ(session_->Grid().OpenPath(), folder_ / "Matrix Files" / "m0.mtrx");
    ASSERT_TRUE(tree_->ToggleLock({kMatrices, 0}));  // unlock: closed
    EXPECT_FALSE(session_->Grid().IsOpen());
    EXPECT_EQ(session_->Files().LockedMatrix(), -1);

    fs::remove(folder_ / "Matrix Files" / "m1.mtrx");
    EXPECT_FALSE(tree_->ToggleLock({kMatrices, 1}));
    EXPECT_EQ(presenter_.Texts(), std::vector<std::string>{"Failed to open Matrix file!"});
    EXPECT_EQ(session_->Files().LockedMatrix(), -1);
    EXPECT_EQ(platform::ReadProfileValue(ngn_, "MatrixFolder", "PosMatrixFileLocked"), "-1");
    ASSERT_TRUE(session_->StopRecording());
}

TEST_F(Tree, FilesBeingRecordedCannotBeRemovedDeletedClearedOrReplaced) {
    List(kMatrices, "m0.mtrx", true);
    platform::WriteProfileString(ngn_, "MatrixFolder", "PosMatrixFileLocked", "0");
    Reload();
    engine_.surveyState.Set(SurveyState::Surveying());
    ASSERT_TRUE(session_->StartRecording());
    tree_->Rebuild(kTracks);
    tree_->Rebuild(kMultibeam);
    const std::string listBefore = ReadText(folder_ / "Harbour.flst");

    prompts_.answers.push_back(MessageAnswer::Ok);  // would be asked only if not refused
    for (const TreeNodeRef node :
         {TreeNodeRef{kMultibeam, 0}, TreeNodeRef{kTracks, 0}, TreeNodeRef{kMatrices, 0}}) {
        EXPECT_FALSE(tree_->RemoveFile(node));
        EXPECT_FALSE(tree_->DeleteFile(node));
    }
    EXPECT_FALSE(tree_->ClearData({kMatrices, 0}));
    EXPECT_EQ(presenter_.Count("is being recorded"), 7u);
    EXPECT_TRUE(prompts_.asked.empty());
    prompts_.answers.clear();

    // Importing a file of the recording's name over it is refused too.
    WriteText(outside_ / session_->LastRecording().track.filename(), "other");
    prompts_.files.push_back({outside_ / session_->LastRecording().track.filename()});
    tree_->ImportFiles(DataFolder::Tracks);
    EXPECT_EQ(presenter_.Count("is being recorded"), 8u);
    EXPECT_EQ(ReadText(folder_ / "Harbour.flst"), listBefore);
    EXPECT_TRUE(pipeline_.Raw().IsOpen());
    EXPECT_TRUE(fs::exists(session_->LastRecording().raw));

    ASSERT_TRUE(session_->StopRecording());
    EXPECT_EQ(fs::file_size(session_->LastRecording().track), 64u);  // the header only, not replaced
    ASSERT_TRUE(tree_->RemoveFile({kTracks, 0}));                    // afterwards it can go
}

TEST_F(Tree, ClearDataZeroesTheCellsWithinTheFile) {
    const auto matrix = [](std::uint32_t rows, std::uint32_t columns, std::size_t cellsInFile) {
        std::string bytes(256 + cellsInFile * 8, '\x11');
        platform::StoreLE<std::uint32_t>(bytes.data() + 56, rows);
        platform::StoreLE<std::uint32_t>(bytes.data() + 60, columns);
        return bytes;
    };
    List(kMatrices, "good.mtrx", true, matrix(2, 3, 6));
    List(kMatrices, "short.mtrx", true, matrix(0xFFFFFFFF, 0xFFFFFFFF, 2) + "abc");
    Reload();

    prompts_.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(tree_->ClearData({kMatrices, 0}));
    EXPECT_EQ(ReadText(folder_ / "Matrix Files" / "good.mtrx"), matrix(2, 3, 6));

    prompts_.answers.push_back(MessageAnswer::Ok);
    sink_.Take();
    EXPECT_TRUE(tree_->ClearData({kMatrices, 0}));
    EXPECT_EQ(prompts_.asked.back(), "Are you sure you want to empty the matrix file data?");
    const std::string good = ReadText(folder_ / "Matrix Files" / "good.mtrx");
    EXPECT_EQ(good.substr(0, 256), matrix(2, 3, 6).substr(0, 256));
    EXPECT_EQ(good.substr(256), std::string(48, '\0'));
    EXPECT_EQ(sink_.Count(WM_REFRESH_VIEWS), 1u);

    // A header that claims more cells than the file holds: only what is there is cleared.
    prompts_.answers.push_back(MessageAnswer::Ok);
    EXPECT_TRUE(tree_->ClearData({kMatrices, 1}));
    const std::string cut = ReadText(folder_ / "Matrix Files" / "short.mtrx");
    ASSERT_EQ(cut.size(), 256u + 16u + 3u);
    EXPECT_EQ(cut.substr(256, 16), std::string(16, '\0'));
    EXPECT_EQ(cut.substr(272), "abc");
}

}  // namespace
