#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

TEST(NumberText, LeadingDouble) {
    struct Case {
        const char* text;
        double expected;
    };
    const Case cases[] = {
        {"12.5abc", 12.5},   {"  -3e2", -300.0},  {"+7", 7.0},       {".5", 0.5},       {"5.", 5.0},
        {"1e", 1.0},         {"1e+", 1.0},        {"2E-3x", 0.002},  {"abc", 0.0},      {"", 0.0},
        {"-", 0.0},          {".", 0.0},          {"-.e5", 0.0},     {"\t\n 8", 8.0},   {"6378137.0", 6378137.0},
        {"298.257223563", 298.257223563},         {"nan", 0.0},      {"inf", 0.0},      {"-infinity", 0.0},
        {"0x1A", 0.0},       {"1e400", 0.0},      {"-1e400", 0.0},   {"1e-400", 0.0},   {"12,5", 12.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::LeadingDouble(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_FALSE(platform::ParseLeadingDouble("abc").has_value());
    EXPECT_FALSE(platform::ParseLeadingDouble("1e999").has_value());
    EXPECT_TRUE(platform::ParseLeadingDouble("0").has_value());
}

TEST(NumberText, LeadingInt) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"12abc", 12},  {"abc", 0},  {"  -42", -42}, {"+3", 3},  {"12.9", 12}, {"1e3", 1}, {"", 0},
        {"99999999999", std::numeric_limits<int>::max()}, {"-99999999999", std::numeric_limits<int>::min()},
        {"0x10", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::LeadingInt(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(platform::ParseLeadingInteger("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
}

TEST(NumberText, IndependentOfTheProcessLocale) {
    // A locale with a decimal comma must change neither parsing nor formatting.
    const char* changed = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        changed = std::setlocale(LC_NUMERIC, name);
        if (changed) break;
    }
    EXPECT_EQ(platform::LeadingDouble("3.25"), 3.25);
    EXPECT_EQ(platform::FormatDouble("%f", 3.25), "3.250000");
    EXPECT_EQ(platform::FormatDouble("%.4f", -0.00004), "-0.0000");
    EXPECT_EQ(platform::FormatDouble("%.10f", 1.0 / 3.0), "0.3333333333");
    std::setlocale(LC_NUMERIC, "C");
    if (!changed) GTEST_SKIP() << "no locale with a decimal comma is installed; checked in the C locale only";
}

TEST(NumberText, FormatsLongOutput) {
    const std::string big = platform::FormatDouble("%f", 1e300);
    EXPECT_EQ(big.size(), 301u + 7u);
    EXPECT_EQ(big.substr(0, 2), "10");
}

}  // namespace
