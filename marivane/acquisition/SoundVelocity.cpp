#include "marivane/acquisition/SoundVelocity.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

#include "marivane/acquisition/AcquisitionEngine.h"
#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

constexpr double kMinProfileDepth = 0.0;
constexpr double kMaxProfileDepth = 10000.0;
constexpr double kMinProfileVelocity = 1300.0;
constexpr double kMaxProfileVelocity = 1700.0;
constexpr double kSameDepth = 0.00001;     // m
constexpr double kSameVelocity = 0.00001;  // m/s

bool IsWordBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Splits off the next word of `line` starting at `at`; empty when there is none.
std::string_view NextWord(std::string_view line, std::size_t& at) {
    while (at < line.size() && IsWordBlank(line[at])) ++at;
    const std::size_t begin = at;
    while (at < line.size() && !IsWordBlank(line[at])) ++at;
    return line.substr(begin, at - begin);
}

// Reads profile text line by line from chunks of any size, keeping at most kSvpLineLimit characters
// of the line being read, so that neither long lines nor large files cost more than the points.
class SvpParser {
  public:
    explicit SvpParser(SvpTextOptions options) : options_(options) { line_.reserve(64); }

    void Feed(std::string_view chunk) {
        for (const char c : chunk) {
            if (c == '\n' || c == '\r') {
                EndLine();
            } else if (line_.size() < kSvpLineLimit) {
                line_.push_back(c);
            }
        }
    }

    SvpText Finish() {
        EndLine();
        if (result_.status != SvpTextStatus::Ok)
            result_.points.clear();
        // Deeper points after shallower ones, equal depths in the order of the file: the order that
        // appending the deepest, putting the shallowest first and inserting the others next to their
        // equals gives.
        std::stable_sort(result_.points.begin(), result_.points.end(),
                         [](const SvpPoint& a, const SvpPoint& b) { return a.depth < b.depth; });
        return std::move(result_);
    }

  private:
    void EndLine() {
        std::string_view line(line_);
        if (firstLine_) {
            firstLine_ = false;
            // A byte-order mark written by some editors is not part of the first word.
            if (line.starts_with("\xEF\xBB\xBF"))
                line.remove_prefix(3);
            if (options_.header) {
                std::size_t at = 0;
                if (NextWord(line, at) != "FTP")
                    result_.status = SvpTextStatus::BadHeader;
                line_.clear();
                return;
            }
        }
        if (result_.status == SvpTextStatus::Ok)
            TakePoint(line);
        line_.clear();
    }

    void TakePoint(std::string_view line) {
        std::size_t at = 0;
        const std::string_view depthWord = NextWord(line, at);
        const std::string_view velocityWord = NextWord(line, at);
        if (velocityWord.empty())
            return;
        const SvpPoint point{platform::LeadingDouble(depthWord), platform::LeadingDouble(velocityWord)};
        if (options_.rangeChecks &&
            (point.depth < kMinProfileDepth || point.depth > kMaxProfileDepth ||
             point.velocity < kMinProfileVelocity || point.velocity > kMaxProfileVelocity)) {
            return;
        }
        result_.points.push_back(point);
    }

    SvpTextOptions options_;
    std::string line_;
    bool firstLine_ = true;
    SvpText result_;
};

enum class FileRead { Ok, OpenFailed, ReadFailed };

// Streams a file through the parser.
FileRead ParseSvpFile(const std::filesystem::path& path, SvpParser& parser) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return FileRead::OpenFailed;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return FileRead::OpenFailed;
    std::array<char, 65536> buffer;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got > 0)
            parser.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    return in.bad() ? FileRead::ReadFailed : FileRead::Ok;
}

void ShowWarning(std::string_view chinese, std::string_view english) {
    platform::ShowBilingualMessage(chinese, english, platform::kBoxError);
}

}  // namespace

SvpText ParseSvpText(std::string_view text, SvpTextOptions options) {
    SvpParser parser(options);
    parser.Feed(text);
    return parser.Finish();
}

void CleanSvpPoints(std::vector<SvpPoint>& points) {
    // (a) From the top, a point too close below the one kept before it goes.
    if (!points.empty()) {
        std::size_t kept = 1;
        for (std::size_t i = 1; i < points.size(); ++i) {
            if (points[i].depth - points[kept - 1].depth < kSameDepth)
                continue;
            points[kept++] = points[i];
        }
        points.resize(kept);
    }
    // (b) An interior point with the velocity of both its neighbours adds nothing.
    if (points.size() > 2) {
        std::size_t kept = 1;
        for (std::size_t i = 1; i + 1 < points.size(); ++i) {
            const double v = points[i].velocity;
            if (std::fabs(v - points[kept - 1].velocity) < kSameVelocity &&
                std::fabs(v - points[i + 1].velocity) < kSameVelocity) {
                continue;
            }
            points[kept++] = points[i];
        }
        points[kept++] = points.back();
        points.resize(kept);
    }
    // (c) The profile reaches the surface.
    if (!points.empty() && points.front().depth > 0.0) {
        points.insert(points.begin(), SvpPoint{0.0, points.front().velocity});
    }
}

bool IsVelFile(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return extension == "VEL";
}

SvpPreview ReadSvpPreview(const std::filesystem::path& path) {
    SvpPreview preview;
    SvpParser parser({.header = IsVelFile(path), .rangeChecks = false});
    if (ParseSvpFile(path, parser) == FileRead::OpenFailed) {
        preview.status = SvpPreviewStatus::OpenFailed;
        return preview;
    }
    SvpText text = parser.Finish();
    if (text.status == SvpTextStatus::BadHeader) {
        preview.status = SvpPreviewStatus::FormatError;
        return preview;
    }
    preview.points = std::move(text.points);
    if (!preview.points.empty()) {
        preview.minDepth = preview.points.front().depth;
        preview.maxDepth = preview.points.back().depth;
        const auto [lo, hi] =
            std::minmax_element(preview.points.begin(), preview.points.end(),
                                [](const SvpPoint& a, const SvpPoint& b) { return a.velocity < b.velocity; });
        preview.minVelocity = lo->velocity;
        preview.maxVelocity = hi->velocity;
    }
    return preview;
}

void ShowSvpPreviewMessage(SvpPreviewStatus status) {
    switch (status) {
        case SvpPreviewStatus::OpenFailed:
            ShowWarning("读取声速文件失败", "Failed to read the SVP file");
            break;
        case SvpPreviewStatus::FormatError:
            ShowWarning("数据文件读取异常", "File format error!");
            break;
        case SvpPreviewStatus::Ok:
            break;
    }
}

AxisScale RoundAxis(double minimum, double maximum) {
    const double range = maximum - minimum;
    if (!std::isfinite(range) || range <= 1.0)
        return {minimum, maximum, range, 1};
    const double step0 = range / 5.0;
    // range > 1 keeps step0 above 0.2, so the exponent is 0 or more and 10^e stays finite.
    const int exponent = static_cast<int>(std::log10(step0));
    const double power = std::pow(10.0, exponent);
    const double f = step0 / power;
    const double factor = f <= 1.5 ? 1.0 : f <= 3.5 ? 2.0 : f <= 7.5 ? 5.0 : 10.0;
    const double step = power * factor;
    const double start = std::trunc(minimum / step) * step;
    const double end = std::ceil(maximum / step) * step;
    const long intervals = std::lround((end - start) / step);
    return {start, end, step, static_cast<int>(std::max(1L, intervals))};
}

SoundVelocity::SoundVelocity(CBeamora& head1, CBeamora& head2, CBeamora& track)
    : objects_{&head1, &head2, &track} {}

SoundVelocity::SoundVelocity(AcquisitionEngine& engine)
    : SoundVelocity(engine.head1, engine.head2, engine.track) {}

bool SoundVelocity::LoadSvpFile(const std::filesystem::path& path) {
    const std::string shown = path.string();
    SvpParser parser({.header = IsVelFile(path), .rangeChecks = true});
    const FileRead read = ParseSvpFile(path, parser);
    if (read == FileRead::OpenFailed) {
        ShowWarning(shown + " : 文件打开失败", shown + ": File open failed!");
        return false;
    }
    SvpText text = parser.Finish();
    if (text.status == SvpTextStatus::BadHeader) {
        ShowWarning(shown + " : 文件格式异常，读取失败！", shown + ": File format error!");
        return false;
    }
    if (read == FileRead::ReadFailed || text.points.empty()) {
        ShowWarning("数据文件读取异常", "Failed to read the file");
        return false;
    }
    CleanSvpPoints(text.points);
    if (text.points.size() < 2 || text.points.size() > kMaxSvpPoints) {
        ShowWarning("声速剖面文件异常,读取失败!", "SVP File format error!");
        return false;
    }

    struct Buffer {
        CSvpData points[kMaxSvpPoints];
    };
    const auto buffer = std::make_unique<Buffer>();
    for (std::size_t i = 0; i < text.points.size(); ++i) {
        buffer->points[i].depth = text.points[i].depth;
        buffer->points[i].velocity = text.points[i].velocity;
    }
    const int count = static_cast<int>(text.points.size());
    for (CBeamora* object : objects_) object->SetSVP(buffer->points, count);
    profile_ = std::move(text.points);
    return true;
}

bool SoundVelocity::ReadSettings(const std::filesystem::path& settingsFile) {
    const std::optional<platform::ProfileText> settings = platform::ProfileText::Load(settingsFile);
    if (!settings) {
        const std::string shown = settingsFile.string();
        ShowWarning(platform::FormatMessageText("%s文件路径错误，无法读取声速剖面信息！", shown),
                    platform::FormatMessageText(
                        "%s file path error, can not read the sound velocity profile information!", shown));
        return false;
    }
    const auto value = [&](std::string_view key) -> std::optional<std::string> {
        std::optional<std::string> text = settings->Value(kSoundVelocitySection, key);
        if (text && text->empty())
            return std::nullopt;
        return text;
    };

    SoundVelocitySource source = SoundVelocitySource::Sonar;
    if (const auto text = value(kSoundVelocitySourceKey)) {
        const int code = platform::LeadingInt(*text);
        if (code >= 0 && code <= 2)
            source = static_cast<SoundVelocitySource>(code);
    }
    SetSource(source);
    if (source == SoundVelocitySource::ProfileFile) {
        if (auto text = value(kProfileFileKey))
            profileFileName_ = std::move(*text);
    } else if (source == SoundVelocitySource::AverageVelocity) {
        if (const auto text = value(kAverageVelocityKey))
            averageVelocity_ = platform::LeadingDouble(*text);
    }
    return true;
}

bool SoundVelocity::WriteSettings(const std::filesystem::path& settingsFile) const {
    const SoundVelocitySource source = Source();
    bool ok = platform::WriteProfileString(settingsFile, kSoundVelocitySection, kSoundVelocitySourceKey,
                                           std::to_string(static_cast<int>(source)));
    if (source == SoundVelocitySource::ProfileFile) {
        ok = platform::WriteProfileString(settingsFile, kSoundVelocitySection, kProfileFileKey,
                                          profileFileName_) &&
             ok;
    } else if (source == SoundVelocitySource::AverageVelocity) {
        ok = platform::WriteProfileString(settingsFile, kSoundVelocitySection, kAverageVelocityKey,
                                          platform::FormatDouble("%f", averageVelocity_)) &&
             ok;
    }
    return ok;
}

void SoundVelocity::ApplySoundVelocity(const std::filesystem::path& projectFolder) {
    switch (Source()) {
        case SoundVelocitySource::ProfileFile:
            LoadSvpFile(projectFolder / profileFileName_);
            break;
        case SoundVelocitySource::AverageVelocity:
            ApplyVelocity(averageVelocity_);
            break;
        default:
            ApplyVelocity(kDefaultSoundVelocity);
            break;
    }
}

void SoundVelocity::ApplyVelocity(double velocity) {
    for (CBeamora* object : objects_) object->SetAsv(velocity);
}

}  // namespace marivane
