#pragma once
// The conversion of the converter's main command: one raw data file, or every "*.mbm" file of a
// folder, to HSX or to one of the two XTF flavours, with the checks and messages of the command, the
// list of produced files and the summary. Everything but the widgets: the dialog and the command line
// both fill a BatchRequest and run it here.
//
// Every output is written under a temporary name and renamed into place only when complete, and in
// folder mode only in the order of the files, so that several files may be converted at once (jobs)
// with outputs, list file and messages exactly those of a run one file after another.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "geodesy/ParaOfGeo.h"
#include "quillfen/Messages.h"
#include "quillfen/WriterCommon.h"

namespace quillfen {

enum OutputType : int { kOutputHsx = 0, kOutputXtf1 = 1, kOutputXtf2 = 2 };
enum ConversionMode : int { kSingleFile = 0, kFolder = 1 };

struct BatchRequest {
    int outputType = kOutputHsx;
    int mode = kFolder;
    std::filesystem::path dataFile;    // single-file mode
    std::filesystem::path dataFolder;  // folder mode
    std::filesystem::path targetFolder;
    std::string targetName;  // single-file mode
    std::string listName;    // folder mode: the list of produced files, in the target folder
    ConversionSettings conversion;
    bool resetCoordinateSystem = false;  // convert with ownParameters instead of each file's own
    geodesy::ParaOfGeo ownParameters = geodesy::DefaultParaOfGeo();
    // A file with damaged parts (garbage, broken or cut packets) is converted, with a warning, as far
    // as it can be read; otherwise it counts as failed and nothing is written for it.
    bool acceptDamaged = false;
    int jobs = 1;  // folder mode: files converted at once
};

// Extension of the outputs of a type: ".HSX" or ".xtf".
std::string_view OutputExtension(int outputType);

// Names the form offers. A target name whose type changes: its last four characters replaced by the
// new extension (a name of four characters or fewer gets the extension added).
std::string RetypedTargetName(const std::string& name, int outputType);
// The target name of a chosen raw data file: its name without extension, and the type's extension.
std::string TargetNameForSource(const std::filesystem::path& file, int outputType);
// The list file of a chosen folder: the folder's last name and ".log".
std::string ListNameForFolder(const std::filesystem::path& folder);

struct BatchProgress {
    std::size_t fileIndex = 0;  // 0-based, in the order of the files
    std::size_t fileCount = 0;
    std::string fileName;
    bool starting = false;  // the file is being read ("Init ...")
    int filePercent = 0;
    int overallPercent = 0;
};

struct FileOutcome {
    std::filesystem::path source;
    int result = 0;                     // -1 dual head refused for XTF, 0 failed, n >= 1 files written
    std::vector<std::string> produced;  // names of the files written, in order
    BilingualText reason;               // why it failed
    BilingualText warning;              // converted, but with something to say
};

struct BatchReport {
    bool started = false;          // false: refused before any file was converted
    bool refusedSettings = false;  // refused for its settings (adjustment, names, output type)
    bool stoppedOnDualHead = false;
    std::vector<FileOutcome> files;  // in order; after a dual-head stop only up to that file
    bool listWritten = false;

    bool AllConverted() const;
};

class BatchDriver {
  public:
    // Progress of the file(s) at work; called from the converting threads, one call at a time.
    std::function<void(const BatchProgress&)> onProgress;
    // The question box (Yes/No) before a folder run; true to go on. Unset: yes.
    std::function<bool(const BilingualText&)> confirm;
    // Every message of the run, in order, with its box type; unset: platform::ShowBilingualMessage.
    std::function<void(const BilingualText&, unsigned boxType)> show;

    BatchReport Convert(const BatchRequest& request);

    // One file, not committed: what the folder and single runs do per file.
    FileOutcome ConvertFile(const BatchRequest& request, const std::filesystem::path& source,
                            const std::filesystem::path& target, std::vector<PendingOutput>& pending,
                            const std::function<void(bool starting, int percent)>& progress) const;

    // The "*.mbm" files of a folder (not its subfolders; the extension in any case), by name.
    static std::vector<std::filesystem::path> RawFilesIn(const std::filesystem::path& folder);

  private:
    FileOutcome ConvertUnguarded(const BatchRequest& request, const std::filesystem::path& source,
                                 const std::filesystem::path& target, std::vector<PendingOutput>& pending,
                                 const std::function<void(bool, int)>& progress) const;
    void Show(const BilingualText& text, unsigned boxType) const;
    BatchReport Single(const BatchRequest& request);
    BatchReport Folder(const BatchRequest& request);
};

}  // namespace quillfen
