// The fault manifest against the bytes of the file it describes.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/tools/sonarsim/SimTestSupport.h"

namespace {

using simtest::Get;

constexpr std::size_t kHead = 64 + 512 + 1256;

struct Entry {
    std::uint64_t offset = 0;
    std::size_t length = 0;
    std::uint32_t type = 0;
    std::string fate;
    int risk = 0;
};

std::vector<Entry> ReadManifest(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<Entry> entries;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        Entry e;
        words >> e.offset >> e.length >> e.type >> e.fate >> e.risk;
        EXPECT_TRUE(words) << "unreadable manifest line: " << line;
        entries.push_back(e);
    }
    return entries;
}

bool SameBytes(const simtest::Bytes& b, const Entry& x, const Entry& y, std::size_t ignoreLast) {
    return x.length == y.length && std::equal(b.begin() + static_cast<long>(x.offset),
                                              b.begin() + static_cast<long>(x.offset + x.length - ignoreLast),
                                              b.begin() + static_cast<long>(y.offset));
}

TEST(FaultManifest, EveryItemMatchesTheBytesAndTheSummaryCountsThem) {
    simtest::TempDir dir;
    const auto file = dir / "faults.mbm";
    const auto manifest = dir / "faults.txt";
    const auto r = simtest::Run({"write", file.string(), "--faults", "--fault-rate", "0.05", "--seed", "7",
                                 "--duration", "15", "--beams", "16", "--dual-head", "--short-pings",
                                 "--manifest", manifest.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const simtest::Bytes b = simtest::ReadAll(file);
    const std::vector<Entry> entries = ReadManifest(manifest);
    ASSERT_FALSE(entries.empty());

    std::map<std::string, int> fates;
    std::uint64_t expectedOffset = kHead;
    std::uint64_t riskUntil = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        SCOPED_TRACE("item " + std::to_string(i) + " at " + std::to_string(e.offset) + " (" + e.fate + ")");
        ASSERT_EQ(e.offset, expectedOffset) << "items must follow each other without gaps";
        ASSERT_LE(e.offset + e.length, b.size());
        expectedOffset += e.length;
        ++fates[e.fate];
        EXPECT_EQ(e.risk, e.offset < riskUntil ? 1 : 0);
        if (e.fate == "bad-tail")
            riskUntil = e.offset + e.length + 65536;

        if (e.fate == "garbage") {
            EXPECT_EQ(e.type, 0u);
            EXPECT_EQ(std::count(b.begin() + static_cast<long>(e.offset),
                                 b.begin() + static_cast<long>(e.offset + e.length), 'W'),
                      0)
                << "garbage must never hold the start of a header";
            continue;
        }
        ASSERT_TRUE(simtest::HeaderAt(b, e.offset));
        EXPECT_EQ(Get<std::uint32_t>(b, e.offset + 8), e.length);
        EXPECT_EQ(Get<std::uint32_t>(b, e.offset + 20), e.type);
        const std::uint32_t flags = Get<std::uint32_t>(b, e.offset + 12);
        EXPECT_EQ(simtest::TailAt(b, e.offset + e.length), e.fate != "bad-tail");
        const bool flaggable = e.type == 3000 || e.type == 3300 || e.type == 3004 || e.type == 5000;
        if (e.fate == "flag0" || e.fate == "flag1") {
            EXPECT_EQ(flags, e.fate == "flag0" ? 1u : 2u);
            EXPECT_TRUE(flaggable) << "flags only on pings and time signals, type " << e.type;
        } else {
            EXPECT_EQ(flags, 0u);
        }
        if (e.fate == "duplicate" || e.fate == "bad-tail") {
            // A copy of the good packet just before it; a bad tail differs in its last byte only.
            ASSERT_GT(i, 0u);
            const Entry& before = entries[i - 1];
            EXPECT_EQ(before.fate, "good");
            EXPECT_EQ(before.type, e.type);
            EXPECT_TRUE(SameBytes(b, before, e, e.fate == "bad-tail" ? 1 : 0));
        }
    }
    EXPECT_EQ(expectedOffset, b.size()) << "the manifest must cover the whole file";
    for (const char* fate : {"good", "duplicate", "bad-tail", "flag0", "flag1", "garbage"}) {
        EXPECT_GT(fates[fate], 0) << fate;
    }

    int garbage = -1, duplicate = -1, badTail = -1, flag0 = -1, flag1 = -1, risk = -1;
    unsigned long long garbageBytes = 0;
    const auto at = r.err.find("faults: ");
    ASSERT_NE(at, std::string::npos) << r.err;
    ASSERT_EQ(
        std::sscanf(r.err.c_str() + at,
                    "faults: garbage %d (%llu bytes), duplicate %d, bad-tail %d, flag0 %d, flag1 %d; at risk "
                    "after a bad tail: %d",
                    &garbage, &garbageBytes, &duplicate, &badTail, &flag0, &flag1, &risk),
        7)
        << r.err;
    EXPECT_EQ(garbage, fates["garbage"]);
    EXPECT_EQ(duplicate, fates["duplicate"]);
    EXPECT_EQ(badTail, fates["bad-tail"]);
    EXPECT_EQ(flag0, fates["flag0"]);
    EXPECT_EQ(flag1, fates["flag1"]);
    int riskCount = 0;
    std::uint64_t garbageSum = 0;
    for (const Entry& e : entries) {
        riskCount += e.risk;
        if (e.fate == "garbage")
            garbageSum += e.length;
    }
    EXPECT_EQ(risk, riskCount);
    EXPECT_EQ(garbageBytes, garbageSum);
}

TEST(FaultManifest, SameSeedSameStreamAndWithoutFaultsAllGood) {
    simtest::TempDir dir;
    const std::vector<std::string> common = {"--duration", "4", "--beams", "8", "--seed", "11"};
    const auto write = [&](const std::string& name, std::vector<std::string> extra) {
        std::vector<std::string> args = {"write", (dir / name).string(), "--manifest",
                                         (dir / (name + ".txt")).string()};
        args.insert(args.end(), common.begin(), common.end());
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(simtest::Run(args).status, 0);
        return simtest::ReadAll(dir / name);
    };
    const simtest::Bytes a = write("a.mbm", {"--faults", "--fault-rate", "0.1"});
    const simtest::Bytes b = write("b.mbm", {"--faults", "--fault-rate", "0.1"});
    const simtest::Bytes c = write("c.mbm", {"--faults", "--fault-rate", "0.1", "--seed", "12"});
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);

    const simtest::Bytes clean = write("clean.mbm", {});
    const auto entries = ReadManifest(dir / "clean.mbm.txt");
    std::size_t end = 0;
    const auto packets = simtest::Walk(clean, kHead, &end);
    EXPECT_EQ(end, clean.size());
    ASSERT_EQ(entries.size(), packets.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].fate, "good");
        EXPECT_EQ(entries[i].risk, 0);
        EXPECT_EQ(entries[i].offset, packets[i].offset);
        EXPECT_EQ(entries[i].type, packets[i].type);
    }
}

}  // namespace
