#include "quillfen/CommandLine.h"

#include <charconv>
#include <cmath>
#include <mutex>
#include <thread>

#include "geodesy/ParaOfGeo.h"
#include "platform/Message.h"

namespace quillfen {
namespace {

bool ParseNumber(const std::string& text, double& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(out);
}

bool ParseInteger(const std::string& text, int& out) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, out);
    return r.ec == std::errc() && r.ptr == end;
}

// Messages of the driver on the error stream, one block per message.
class StreamPresenter final : public platform::MessagePresenter {
  public:
    explicit StreamPresenter(std::ostream& err) : err_(err) {}
    platform::MessageAnswer Present(std::string_view text, std::string_view caption, unsigned boxType,
                                    bool) override {
        std::lock_guard lock(mutex_);
        err_ << caption << ": " << text << "\n";
        err_.flush();
        return (boxType & 0x0F) == platform::kBoxYesNo ? platform::MessageAnswer::Yes
                                                       : platform::MessageAnswer::Ok;
    }

  private:
    std::ostream& err_;
    std::mutex mutex_;
};

}  // namespace

std::string UsageText() {
    return R"(usage: quillfen [0|1] --convert SOURCE --type hsx|xtf1|xtf2 [options]
       quillfen --help
Converts raw data files (.mbm) to HSX text files or to XTF files (flavour 1 or 2), applying the
coordinate system of each file (or, with --reset-cs, the converter's own). SOURCE is one .mbm file
(single-file mode) or a folder, whose *.mbm files are all converted (folder mode), with a list of the
files produced. Data that cross midnight continue in NAME_NewDay1.HSX (.xtf), and so on.
The optional first argument is the language of the messages: 0 Chinese (the default), 1 English.
Messages and progress go to standard error. Outputs are written under a temporary name and renamed
into place only when complete.
Options:
  --convert SOURCE        raw data file or folder to convert
  --type hsx|xtf1|xtf2    output type (required)
  --target-folder DIR     where the outputs go [the source's folder]
  --target NAME           single-file mode: output name [the source's name with .HSX or .xtf]
  --log NAME              folder mode: list of produced files, in the target folder [FOLDER.log]
  --surface-sv M_PER_S    convert every ping with this surface sound velocity
  --reset-cs              use the coordinate system of section ParaOfGeo of the settings file
  --settings FILE         settings file for --reset-cs [Quillfen.ini in the current folder]
  --adjust N              system adjustment constant, -100 to 100 [0]
  --rtk-tide-free         RTK tide-free mode (HSX: TID records and header tide)
  --antenna-height M      RTK tide-free mode: antenna height above the water, instead of the
                          height entered during the survey
  --jobs N                folder mode: convert up to N files at once [number of cores]; outputs and
                          list are those of a run one file after another
  --accept-damaged        convert what can be read of a damaged or cut-short file (with a warning)
                          instead of counting it as failed
  --quiet                 no progress lines
  --help                  this text
Exit status: 0 every file converted, 1 any file failed or nothing was converted, 2 bad usage.
)";
}

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    std::size_t i = 0;
    if (!args.empty() && (args[0] == "0" || args[0] == "1")) {
        out.english = args[0] == "1";
        i = 1;
    }
    BatchRequest& r = out.request;
    bool typeGiven = false, targetGiven = false, logGiven = false, settingsGiven = false;
    std::filesystem::path source;
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            out.help = true;
        } else if (a == "--convert") {
            if (!value(v))
                return false;
            source = v;
            out.convert = true;
        } else if (a == "--type") {
            if (!value(v))
                return false;
            if (v == "hsx") {
                r.outputType = kOutputHsx;
            } else if (v == "xtf1") {
                r.outputType = kOutputXtf1;
            } else if (v == "xtf2") {
                r.outputType = kOutputXtf2;
            } else {
                error = "--type must be hsx, xtf1 or xtf2, not \"" + v + "\"";
                return false;
            }
            typeGiven = true;
        } else if (a == "--target-folder") {
            if (!value(v))
                return false;
            r.targetFolder = v;
        } else if (a == "--target") {
            if (!value(v))
                return false;
            r.targetName = v;
            targetGiven = true;
        } else if (a == "--log") {
            if (!value(v))
                return false;
            r.listName = v;
            logGiven = true;
        } else if (a == "--surface-sv") {
            if (!value(v))
                return false;
            double sv = 0;
            if (!ParseNumber(v, sv) || sv <= 0.0) {
                error = "--surface-sv needs a positive number of m/s, not \"" + v + "\"";
                return false;
            }
            r.conversion.surfaceSoundVelocity = true;
            r.conversion.surfaceSoundVelocityValue = sv;
        } else if (a == "--reset-cs") {
            r.resetCoordinateSystem = true;
        } else if (a == "--settings") {
            if (!value(v))
                return false;
            out.settingsFile = v;
            settingsGiven = true;
        } else if (a == "--adjust") {
            if (!value(v))
                return false;
            if (!ParseInteger(v, r.conversion.adjustment)) {
                error = "--adjust needs a whole number, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--rtk-tide-free") {
            r.conversion.rtkTideFree = true;
        } else if (a == "--antenna-height") {
            if (!value(v))
                return false;
            if (!ParseNumber(v, r.conversion.antennaHeight)) {
                error = "--antenna-height needs a number of metres, not \"" + v + "\"";
                return false;
            }
            r.conversion.resetAntennaHeight = true;
        } else if (a == "--jobs") {
            if (!value(v))
                return false;
            if (!ParseInteger(v, jobs) || jobs < 1) {
                error = "--jobs needs a whole number of at least 1, not \"" + v + "\"";
                return false;
            }
        } else if (a == "--accept-damaged") {
            r.acceptDamaged = true;
        } else if (a == "--quiet") {
            out.quiet = true;
        } else {
            error = "unknown argument \"" + a + "\"";
            return false;
        }
    }
    if (out.help || !out.convert)
        return true;
    if (!typeGiven) {
        error = "--type is required (hsx, xtf1 or xtf2)";
        return false;
    }
    if (settingsGiven && !r.resetCoordinateSystem) {
        error = "--settings is read only with --reset-cs";
        return false;
    }
    r.jobs = jobs;
    std::error_code ec;
    if (std::filesystem::is_directory(source, ec)) {
        if (targetGiven) {
            error =
                "--target names the output of a single file; a folder's outputs take their sources' names";
            return false;
        }
        r.mode = kFolder;
        r.dataFolder = source;
        if (r.targetFolder.empty())
            r.targetFolder = source;
        if (!logGiven)
            r.listName = ListNameForFolder(source);
    } else {
        if (logGiven) {
            error = "--log names the list of a folder run; SOURCE is a file";
            return false;
        }
        r.mode = kSingleFile;
        r.dataFile = source;
        if (r.targetFolder.empty()) {
            r.targetFolder = source.parent_path();
            if (r.targetFolder.empty())
                r.targetFolder = ".";
        }
        if (!targetGiven)
            r.targetName = TargetNameForSource(source, r.outputType);
    }
    return true;
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandLine cl;
    std::string error;
    if (!ParseCommandLine(args, cl, error)) {
        err << "quillfen: " << error << "\nTry \"quillfen --help\".\n";
        return 2;
    }
    if (cl.help) {
        out << UsageText();
        return 0;
    }
    if (!cl.convert) {
        err << "quillfen: this build has no dialog; convert with --convert (see \"quillfen --help\").\n";
        return 2;
    }
    BatchRequest& request = cl.request;
    if (request.resetCoordinateSystem) {
        std::error_code ec;
        if (std::filesystem::exists(cl.settingsFile, ec)) {
            geodesy::ReadParaOfGeo(request.ownParameters, cl.settingsFile);
        } else if (cl.settingsFile != "Quillfen.ini") {
            err << "quillfen: the settings file " << cl.settingsFile.string() << " does not exist\n";
            return 2;
        }
    }

    StreamPresenter presenter(err);
    platform::SetMessagePresenter(&presenter);
    platform::SetMessageLanguageEnglish(cl.english);
    platform::SetMessageCaption("Quillfen");

    BatchDriver driver;
    std::mutex progressMutex;
    if (!cl.quiet) {
        driver.onProgress = [&](const BatchProgress& p) {
            if (!p.starting && p.filePercent < 100)
                return;
            std::lock_guard lock(progressMutex);
            err << "[" << p.fileIndex + 1 << "/" << p.fileCount << "] " << p.fileName << ": "
                << (p.starting ? (cl.english ? "Init ..." : "初始化中...") : "100 %") << "\n";
        };
    }
    driver.confirm = [](const BilingualText&) { return true; };  // the options were given on purpose
    const BatchReport report = driver.Convert(request);
    platform::SetMessagePresenter(nullptr);

    if (!report.started)
        return report.refusedSettings ? 2 : 1;
    const bool ok = report.AllConverted() && (request.mode == kSingleFile || report.listWritten);
    return ok ? 0 : 1;
}

}  // namespace quillfen
