#include "quillfen/WriterCommon.h"

#include <cmath>
#include <string>

#include "quillfen/RawReader.h"

namespace quillfen {
namespace {

constexpr double kPi = 3.14159265;  // the value the angles have always been converted with

}  // namespace

double VelocityChooser::For(const RawPing& ping) {
    if (surface_)
        return value_;
    if (samples_.empty())
        return ping.soundVelocity;
    while (next_ < samples_.size() && !(samples_[next_].time.absolute > ping.time.absolute)) ++next_;
    return next_ < samples_.size() ? samples_[next_].velocity : samples_.back().velocity;
}

double ArrayConstant(std::string_view model) {
    return model == "TR120" ? 3.75 : 1.875;
}

double RefractionRatio(double velocity, double pingVelocity, double arrayConstant, int adjustment) {
    const double ratio = velocity * arrayConstant / (pingVelocity * (arrayConstant + adjustment * 0.001));
    return std::isfinite(ratio) ? ratio : 1.0;
}

double CorrectedAngleRadians(double degrees, double ratio) {
    double s = std::sin(degrees * kPi / 180.0) * ratio;
    if (s > 1.0) {
        s = 1.0;
    } else if (s < -1.0) {
        s = -1.0;
    } else if (std::isnan(s)) {
        s = 0.0;
    }
    return std::asin(s);
}

double CorrectedAngleDegrees(double degrees, double ratio) {
    return CorrectedAngleRadians(degrees, ratio) * 180.0 / kPi;
}

std::filesystem::path NextDayPath(const std::filesystem::path& current, int counter,
                                  std::string_view extension) {
    std::string name = current.filename().string();
    if (name.size() > 4 && name[name.size() - 4] == '.')
        name.resize(name.size() - 4);
    name += "_NewDay" + std::to_string(counter);
    name += extension;
    return current.parent_path() / name;
}

void RefuseIfSourceShortened(const RawDataReader& reader, const std::filesystem::path& path,
                             WriteOutcome& out) {
    if (!out.Ok() || !reader.SourceShortened())
        return;
    DiscardOutputs(out.outputs);
    out.outputs.clear();
    out.files = 0;
    out.error = WithValue(msg::kSourceShortened, path.filename().string());
}

}  // namespace quillfen
