// Runs a fuzz entry point as an ordinary test: every file of the seed corpus, then a fixed number of
// deterministic mutations of each (bit flips, truncations, insertions, splices), so that every build
// exercises the parser on damaged input. Built with -fsanitize=fuzzer instead, the same entry point
// runs under libFuzzer and this file is left out.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ULL) {}
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }

private:
    std::uint64_t state_;
};

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Run(const std::vector<std::uint8_t>& input) {
    // A copy of exactly the input's size, so reads past the end are caught by the sanitizers.
    std::vector<std::uint8_t> exact(input);
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
}

std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t>& seed, const std::vector<std::uint8_t>& other,
                                 Random& rng) {
    std::vector<std::uint8_t> m(seed);
    const std::size_t edits = 1 + rng.Below(4);
    for (std::size_t e = 0; e < edits; ++e) {
        switch (rng.Below(6)) {
            case 0:  // flip a bit
                if (!m.empty()) m[rng.Below(m.size())] ^= static_cast<std::uint8_t>(1u << rng.Below(8));
                break;
            case 1:  // set a byte to an interesting value
                if (!m.empty()) {
                    static const std::uint8_t kValues[] = {0x00, 0xFF, 0x7F, 0x80, '\n', '=', '[', ']', '-', '9'};
                    m[rng.Below(m.size())] = kValues[rng.Below(sizeof kValues)];
                }
                break;
            case 2:  // truncate
                m.resize(rng.Below(m.size() + 1));
                break;
            case 3:  // insert random bytes
            {
                const std::size_t at = rng.Below(m.size() + 1);
                const std::size_t n = 1 + rng.Below(16);
                std::vector<std::uint8_t> bytes(n);
                for (auto& b : bytes) b = static_cast<std::uint8_t>(rng.Next());
                m.insert(m.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
                break;
            }
            case 4:  // duplicate a chunk
                if (!m.empty()) {
                    const std::size_t from = rng.Below(m.size());
                    const std::size_t n = 1 + rng.Below(std::min<std::size_t>(64, m.size() - from));
                    std::vector<std::uint8_t> chunk(m.begin() + static_cast<std::ptrdiff_t>(from),
                                                    m.begin() + static_cast<std::ptrdiff_t>(from + n));
                    m.insert(m.begin() + static_cast<std::ptrdiff_t>(rng.Below(m.size() + 1)), chunk.begin(),
                             chunk.end());
                }
                break;
            default:  // splice with another seed
                if (!other.empty()) {
                    const std::size_t keep = rng.Below(m.size() + 1);
                    m.resize(keep);
                    const std::size_t from = rng.Below(other.size());
                    m.insert(m.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
                }
                break;
        }
    }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else if (std::filesystem::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "fuzz driver: no such corpus: %s\n", argv[i]);
            return 1;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "fuzz driver: the seed corpus is empty\n");
        return 1;
    }
    std::sort(files.begin(), files.end());

    std::vector<std::vector<std::uint8_t>> seeds;
    for (const auto& f : files) seeds.push_back(ReadFile(f));

    Run({});
    std::size_t runs = 1;
    for (const auto& seed : seeds) {
        Run(seed);
        ++runs;
    }
    constexpr std::size_t kMutationsPerSeed = 2000;
    Random rng(0x5EED5EEDULL);
    for (std::size_t s = 0; s < seeds.size(); ++s) {
        const auto& other = seeds[(s + 1) % seeds.size()];
        for (std::size_t i = 0; i < kMutationsPerSeed; ++i) {
            Run(Mutate(seeds[s], other, rng));
            ++runs;
        }
    }
    std::printf("fuzz driver: %zu inputs from %zu seeds ran without a fault\n", runs, seeds.size());
    return 0;
}
