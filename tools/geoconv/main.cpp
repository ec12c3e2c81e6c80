// geoconv: converts positions between geographic coordinates and the grid of a coordinate system, the
// way the survey programs do, for scripts and checks.
//
//   geoconv [--inverse] SETTINGS.ini
//
// The coordinate system is section "ParaOfGeo" of SETTINGS.ini (defaults for a missing file or key).
// Standard input is converted line by line:
//   forward:    "latitude longitude height" (degrees, m)  ->  "easting northing height" ("%.4f")
//   --inverse:  "easting northing height"                 ->  "latitude longitude height"
//               ("%.10f %.10f %.4f")
// Numbers are separated by blanks, tabs or commas; anything after the third number is ignored. Blank
// lines are skipped. A line that does not begin with three numbers is reported on standard error with
// its line number and skipped; the exit status is then 1. Bad usage gives exit status 2.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "geodesy/CoordinateCal.h"
#include "geodesy/ParaOfGeo.h"
#include "platform/Message.h"

namespace {

constexpr const char* kUsage =
    "usage: geoconv [--inverse] SETTINGS.ini\n"
    "  Converts standard input line by line with the coordinate system of section ParaOfGeo of\n"
    "  SETTINGS.ini (defaults when the file or a key is missing).\n"
    "  forward:   \"latitude longitude height\" (degrees, m) -> \"easting northing height\"\n"
    "  --inverse: \"easting northing height\" -> \"latitude longitude height\"\n";

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '\r';
}

// The first three numbers of a line; false when the line does not begin with three finite numbers.
bool ParseThree(const char* p, const char* end, double (&values)[3]) {
    for (double& value : values) {
        while (p < end && IsSeparator(*p)) ++p;
        if (p < end && *p == '+') {
            ++p;
            if (p == end || *p == '-')
                return false;
        }
        const auto result = std::from_chars(p, end, value, std::chars_format::general);
        if (result.ec != std::errc() || !std::isfinite(value))
            return false;
        p = result.ptr;
        if (p < end && !IsSeparator(*p))
            return false;
    }
    return true;
}

bool IsBlankLine(const char* p, const char* end) {
    for (; p < end; ++p) {
        if (!IsSeparator(*p) || *p == ',')
            return false;
    }
    return true;
}

// Output collected in a large buffer and written in big pieces.
class Output {
  public:
    Output() : buffer_(1 << 20) {}
    ~Output() { Flush(); }

    void Number(double value, int precision) {
        Reserve(64);
        const auto result = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value,
                                          std::chars_format::fixed, precision);
        used_ = static_cast<std::size_t>(result.ptr - buffer_.data());
    }
    void Char(char c) {
        Reserve(1);
        buffer_[used_++] = c;
    }
    void Flush() {
        if (used_ > 0 && std::fwrite(buffer_.data(), 1, used_, stdout) != used_)
            failed_ = true;
        used_ = 0;
        if (std::fflush(stdout) != 0)
            failed_ = true;
    }
    bool Failed() const { return failed_; }

  private:
    void Reserve(std::size_t n) {
        if (buffer_.size() - used_ < n)
            Flush();
    }
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

class Converter {
  public:
    Converter(const geodesy::CCoordinateCal& cal, bool inverse) : cal_(cal), inverse_(inverse) {}

    void Line(const char* begin, const char* end) {
        ++lineNumber_;
        if (IsBlankLine(begin, end))
            return;
        double in[3];
        if (!ParseThree(begin, end, in)) {
            Report(begin, end, "does not begin with three numbers");
            return;
        }
        double a;
        double b;
        double c;
        if (inverse_) {
            cal_.GridToGeo(in[1], in[0], in[2], a, b, c);  // northing, easting
        } else {
            cal_.GeoToGrid(in[0], in[1], in[2], a, b, c);  // a: northing, b: easting
        }
        if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) {
            Report(begin, end, "has no finite result");
            return;
        }
        if (inverse_) {
            out_.Number(a, 10);
            out_.Char(' ');
            out_.Number(b, 10);
        } else {
            out_.Number(b, 4);
            out_.Char(' ');
            out_.Number(a, 4);
        }
        out_.Char(' ');
        out_.Number(c, 4);
        out_.Char('\n');
    }

    int Finish() {
        out_.Flush();
        if (out_.Failed()) {
            std::fputs("geoconv: cannot write standard output\n", stderr);
            return 1;
        }
        return badLines_ > 0 ? 1 : 0;
    }

  private:
    void Report(const char* begin, const char* end, const char* what) {
        ++badLines_;
        constexpr std::size_t kShown = 60;
        std::size_t n = static_cast<std::size_t>(end - begin);
        while (n > 0 && begin[n - 1] == '\r') --n;
        const bool cut = n > kShown;
        std::fprintf(stderr, "geoconv: line %zu %s: \"%.*s%s\"\n", lineNumber_, what,
                     static_cast<int>(cut ? kShown : n), begin, cut ? "..." : "");
    }

    const geodesy::CCoordinateCal& cal_;
    bool inverse_;
    Output out_;
    std::size_t lineNumber_ = 0;
    std::size_t badLines_ = 0;
};

int Run(const geodesy::CCoordinateCal& cal, bool inverse) {
    Converter converter(cal, inverse);
    std::vector<char> buffer(1 << 20);
    std::size_t have = 0;
    for (;;) {
        if (have == buffer.size())
            buffer.resize(buffer.size() * 2);  // a line longer than the buffer
        const std::size_t n = std::fread(buffer.data() + have, 1, buffer.size() - have, stdin);
        if (n == 0)
            break;
        const std::size_t scanFrom = have;
        have += n;
        const char* start = buffer.data();
        const char* end = buffer.data() + have;
        const char* p = buffer.data() + scanFrom;
        while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
            const char* lineEnd = static_cast<const char*>(nl);
            converter.Line(start, lineEnd);
            start = lineEnd + 1;
            p = start;
        }
        have = static_cast<std::size_t>(end - start);
        std::memmove(buffer.data(), start, have);
    }
    if (std::ferror(stdin)) {
        std::fputs("geoconv: cannot read standard input\n", stderr);
        converter.Finish();
        return 1;
    }
    if (have > 0)
        converter.Line(buffer.data(), buffer.data() + have);
    return converter.Finish();
}

}  // namespace

int main(int argc, char** argv) {
    bool inverse = false;
    const char* settings = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--inverse" && !inverse) {
            inverse = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && settings == nullptr) {
            settings = argv[i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (settings == nullptr) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    platform::SetMessageCaption("geoconv");
    platform::SetMessageLanguageEnglish(true);
    geodesy::ParaOfGeo record = geodesy::DefaultParaOfGeo();
    geodesy::ReadParaOfGeo(record, settings);  // reports a missing file and keeps the defaults

    geodesy::CCoordinateCal cal;
    cal.Load(record);
    return Run(cal, inverse);
}
