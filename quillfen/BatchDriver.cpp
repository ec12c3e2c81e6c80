#include "quillfen/BatchDriver.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Message.h"
#include "quillfen/HsxWriter.h"
#include "quillfen/RawReader.h"
#include "quillfen/XtfWriter.h"

namespace quillfen {
namespace {

bool EndsWithRawExtension(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mbm";
}

// The parts of a damaged body, in both languages.
BilingualText DamageText(const BodyDamage& d) {
    BilingualText t;
    const auto add = [&](std::uint64_t n, const char* chinese, const char* english) {
        if (n == 0)
            return;
        if (!t.english.empty()) {
            t.chinese += "，";
            t.english += ", ";
        }
        t.chinese += std::to_string(n) + chinese;
        t.english += std::to_string(n) + english;
    };
    add(d.brokenPackets, " 个数据包尾部错误或长度无效", " broken packet(s) (wrong tail or length)");
    add(d.malformedPackets, " 个数据包过短", " packet(s) too short for their fields");
    add(d.bytesSkipped, " 字节无法识别，已跳过", " byte(s) that begin no packet skipped");
    add(d.bytesDropped, " 字节随损坏数据丢弃", " byte(s) lost with broken data");
    add(d.trailingBytes, " 字节位于文件末尾未完成的数据中（文件被截断）",
        " byte(s) of an unfinished packet or record at the end (the file is cut short)");
    return t;
}

int Percent(std::size_t done, std::size_t total) {
    return total == 0 ? 100 : static_cast<int>(done * 100 / total);
}

}  // namespace

std::string_view OutputExtension(int outputType) {
    return outputType == kOutputHsx ? ".HSX" : ".xtf";
}

std::string RetypedTargetName(const std::string& name, int outputType) {
    const std::string base = name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    return base + std::string(OutputExtension(outputType));
}

std::string TargetNameForSource(const std::filesystem::path& file, int outputType) {
    return file.stem().string() + std::string(OutputExtension(outputType));
}

std::string ListNameForFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path f = std::filesystem::absolute(folder, ec).lexically_normal();
    if (f.filename().empty())
        f = f.parent_path();
    const std::string name = f.filename().string();
    return (name.empty() ? std::string("quillfen") : name) + ".log";
}

bool BatchReport::AllConverted() const {
    if (!started || stoppedOnDualHead || files.empty())
        return false;
    return std::all_of(files.begin(), files.end(), [](const FileOutcome& f) { return f.result >= 1; });
}

void BatchDriver::Show(const BilingualText& text, unsigned boxType) const {
    if (show) {
        show(text, boxType);
    } else {
        platform::ShowBilingualMessage(text.chinese, text.english, boxType);
    }
}

std::vector<std::filesystem::path> BatchDriver::RawFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        if (EndsWithRawExtension(it->path().filename().string()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    return files;
}

FileOutcome BatchDriver::ConvertFile(const BatchRequest& request, const std::filesystem::path& source,
                                     const std::filesystem::path& target, std::vector<PendingOutput>& pending,
                                     const std::function<void(bool, int)>& progress) const {
    try {
        return ConvertUnguarded(request, source, target, pending, progress);
    } catch (const std::exception& e) {
        // Memory for a very large file, or a thread: the file fails, the run goes on.
        DiscardOutputs(pending);
        pending.clear();
        FileOutcome out;
        out.source = source;
        out.reason = WithValue(BilingualText{"转换时出错：%s", "The conversion stopped: %s"}, e.what());
        return out;
    }
}

FileOutcome BatchDriver::ConvertUnguarded(const BatchRequest& request, const std::filesystem::path& source,
                                          const std::filesystem::path& target,
                                          std::vector<PendingOutput>& pending,
                                          const std::function<void(bool, int)>& progress) const {
    FileOutcome out;
    out.source = source;
    if (progress)
        progress(true, 0);

    std::error_code ec;
    if (std::filesystem::equivalent(source, target, ec)) {
        out.reason =
            WithValue(BilingualText{"目标文件与源文件相同：%s", "The output file is the source file: %s"},
                      target.string());
        return out;
    }

    RawDataReader reader;
    ReaderOptions options;
    options.resetCoordinateSystem = request.resetCoordinateSystem;
    options.ownParameters = request.ownParameters;
    options.surfaceSoundVelocity = request.conversion.surfaceSoundVelocity;
    options.surfaceSoundVelocityValue = request.conversion.surfaceSoundVelocityValue;
    const RawDataReader::OpenResult opened = reader.OpenRawFile(source, options);
    if (!opened.Ok()) {
        out.reason = opened.message;
        return out;
    }
    const bool xtf = request.outputType == kOutputXtf1 || request.outputType == kOutputXtf2;
    if (xtf && reader.DualHead()) {
        out.result = -1;
        return out;
    }
    if (reader.Damage().Any()) {
        const BilingualText damage = WithValue(msg::kDamaged, source.filename().string());
        const BilingualText details = DamageText(reader.Damage());
        if (!request.acceptDamaged) {
            out.reason = Joined(damage, details);
            return out;
        }
        out.warning = Joined(damage, details);
    }
    if (reader.Pings().empty()) {
        out.reason = WithValue(msg::kNoPings, source.filename().string());
        return out;
    }

    int shown = -1;  // the percentage last passed on
    const PingProgress pingProgress = [&](std::size_t done, std::size_t total) {
        const int percent = Percent(done, total);
        if (progress && percent != shown) {
            shown = percent;
            progress(false, percent);
        }
    };
    const WriteOutcome written = xtf ? WriteXtf(reader, target, request.outputType == kOutputXtf1 ? 1 : 2,
                                                request.conversion, pingProgress)
                                     : WriteHsx(reader, target, request.conversion, pingProgress);
    if (!written.Ok()) {
        out.reason = written.error;
        return out;
    }
    out.result = written.files;
    pending = written.outputs;
    for (const PendingOutput& p : pending) out.produced.push_back(p.final.filename().string());
    return out;
}

BatchReport BatchDriver::Convert(const BatchRequest& request) {
    BatchReport report;
    if (request.conversion.adjustment < -100 || request.conversion.adjustment > 100) {
        Show(msg::kAdjustmentOutOfRange, platform::kBoxError);
        report.refusedSettings = true;
        return report;
    }
    const bool single = request.mode == kSingleFile;
    const bool complete =
        single ? !request.dataFile.empty() && !request.targetName.empty() && !request.targetFolder.empty()
               : !request.dataFolder.empty() && !request.targetFolder.empty() && !request.listName.empty();
    if (!complete) {
        Show(msg::kSetDataAndOutput, platform::kBoxError);
        report.refusedSettings = true;
        return report;
    }
    if (request.outputType < kOutputHsx || request.outputType > kOutputXtf2) {
        Show(msg::kTypeNotSupported, platform::kBoxError);
        report.refusedSettings = true;
        return report;
    }
    return single ? Single(request) : Folder(request);
}

BatchReport BatchDriver::Single(const BatchRequest& request) {
    BatchReport report;
    report.started = true;
    std::vector<PendingOutput> pending;
    const std::string name = request.dataFile.filename().string();
    const auto progress = [&](bool starting, int percent) {
        if (onProgress)
            onProgress(BatchProgress{0, 1, name, starting, percent, percent});
    };
    FileOutcome outcome =
        ConvertFile(request, request.dataFile, request.targetFolder / request.targetName, pending, progress);
    if (outcome.result >= 1) {
        std::string error;
        if (!CommitOutputs(pending, error)) {
            outcome.result = 0;
            outcome.produced.clear();
            outcome.reason = WithValue(msg::kWriteFailed, error);
        }
    }
    if (!outcome.warning.Empty())
        Show(outcome.warning, platform::kBoxWarning);
    if (outcome.result == -1) {
        Show(msg::kDualHeadXtf, platform::kBoxError);
        report.stoppedOnDualHead = true;
    } else if (outcome.result == 1) {
        Show(msg::kConversionSuccessful, platform::kBoxError);
    } else if (outcome.result > 1) {
        BilingualText text = msg::kConversionSuccessfulSplit;
        const std::string count = std::to_string(outcome.result);
        for (std::string* s : {&text.chinese, &text.english}) s->replace(s->find("%d"), 2, count);
        Show(text, platform::kBoxError);
    } else {
        Show(Joined(msg::kConversionFailed, outcome.reason), platform::kBoxError);
    }
    report.files.push_back(std::move(outcome));
    return report;
}

BatchReport BatchDriver::Folder(const BatchRequest& request) {
    BatchReport report;
    const ConversionSettings& c = request.conversion;
    if (c.rtkTideFree && c.resetAntennaHeight) {
        const bool yes = confirm ? confirm(msg::kResetAntennaQuestion) : true;
        if (!yes)
            return report;
    }
    const std::vector<std::filesystem::path> sources = RawFilesIn(request.dataFolder);
    if (sources.empty()) {
        Show(msg::kNoRawFiles, platform::kBoxError);
        return report;
    }
    OutputFile list;
    const std::filesystem::path listPath = request.targetFolder / request.listName;
    if (!list.Create(listPath)) {
        Show(msg::kOpenLogFailed, platform::kBoxError);
        return report;
    }
    report.started = true;

    // Workers convert files in any order; the outcomes are taken, committed and reported strictly in
    // the order of the files.
    const std::size_t count = sources.size();
    struct Slot {
        std::optional<FileOutcome> outcome;
        std::vector<PendingOutput> pending;
    };
    std::vector<Slot> slots(count);
    std::vector<int> percents(count, 0);
    std::mutex mutex;
    std::condition_variable done;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex progressMutex;

    const auto targetFor = [&](const std::filesystem::path& source) {
        std::string name = source.filename().string();
        name.resize(name.size() - 4);
        return request.targetFolder / (name + std::string(OutputExtension(request.outputType)));
    };
    const auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count || stop.load())
                return;
            const auto progress = [&, i](bool starting, int percent) {
                if (!onProgress)
                    return;
                std::lock_guard lock(progressMutex);
                percents[i] = percent;
                int sum = 0;
                for (const int p : percents) sum += p;
                onProgress(BatchProgress{i, count, sources[i].filename().string(), starting, percent,
                                         static_cast<int>(sum / static_cast<int>(count))});
            };
            std::vector<PendingOutput> pending;
            FileOutcome outcome = ConvertFile(request, sources[i], targetFor(sources[i]), pending, progress);
            {
                std::lock_guard lock(mutex);
                slots[i].outcome = std::move(outcome);
                slots[i].pending = std::move(pending);
            }
            done.notify_all();
        }
    };
    const std::size_t jobs =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(request.jobs, 1)), 1, count);
    std::vector<std::thread> workers;
    for (std::size_t k = 0; k < jobs; ++k) workers.emplace_back(work);

    std::string listText;
    std::vector<std::string> failed;
    std::vector<std::string> splitNames;
    for (std::size_t i = 0; i < count; ++i) {
        Slot slot;
        {
            std::unique_lock lock(mutex);
            done.wait(lock, [&] { return slots[i].outcome.has_value(); });
            slot = std::move(slots[i]);
        }
        FileOutcome& outcome = *slot.outcome;
        if (outcome.result >= 1) {
            std::string error;
            if (!CommitOutputs(slot.pending, error)) {
                outcome.result = 0;
                outcome.produced.clear();
                outcome.reason = WithValue(msg::kWriteFailed, error);
            }
        }
        if (!outcome.warning.Empty())
            Show(outcome.warning, platform::kBoxWarning);
        if (outcome.result == -1) {
            report.stoppedOnDualHead = true;
            report.files.push_back(std::move(outcome));
            stop.store(true);
            break;
        }
        if (outcome.result == 0) {
            failed.push_back(outcome.source.filename().string());
            Show(Joined(WithValue(BilingualText{"%s：", "%s:"}, failed.back()), outcome.reason),
                 platform::kBoxError);
        } else {
            for (const std::string& produced : outcome.produced) listText += produced + "\n";
            if (outcome.result > 1)
                splitNames.push_back(outcome.source.filename().string());
        }
        report.files.push_back(std::move(outcome));
    }
    for (std::thread& w : workers) w.join();
    // Files converted beyond a dual-head stop are thrown away unseen.
    for (Slot& s : slots) DiscardOutputs(s.pending);

    list.Write(listText);
    PendingOutput listOutput;
    std::string listError;
    report.listWritten = list.Close(listOutput) && CommitOutputs({listOutput}, listError);
    if (!report.listWritten)
        Show(WithValue(msg::kWriteLogFailed, listPath.string() + (listError.empty() ? "" : ": " + listError)),
             platform::kBoxError);

    if (report.stoppedOnDualHead) {
        Show(msg::kDualHeadXtf, platform::kBoxError);
        return report;
    }
    if (!failed.empty()) {
        BilingualText text = msg::kFailedCount;
        text.chinese += std::to_string(failed.size()) + "\n" + msg::kFailedNames.chinese;
        text.english += std::to_string(failed.size()) + "\n" + msg::kFailedNames.english;
        for (const std::string& name : failed) {
            text.chinese += "\n" + name;
            text.english += "\n" + name;
        }
        Show(text, platform::kBoxError);
    } else {
        BilingualText text = msg::kAllConverted;
        for (const std::string& name : splitNames) {
            text.chinese += "\n" + msg::kSplitNotePrefix.chinese + name + msg::kSplitNoteSuffix.chinese;
            text.english += "\n" + msg::kSplitNotePrefix.english + name + msg::kSplitNoteSuffix.english;
        }
        Show(text, platform::kBoxError);
    }
    return report;
}

}  // namespace quillfen
