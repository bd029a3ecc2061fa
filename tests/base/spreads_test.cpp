#include "base/options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace talvo::base {
namespace {

std::string errorOf(const std::function<void()>& parse) {
    try {
        parse();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

TEST(SpreadOptions, NumbersAndColumns) {
    const SpreadSources spreads = parseSpreads("sand=2,clay=clay sd,oc=0.25");
    EXPECT_EQ(spreads[0], (SpreadSource{"", 2.0}));
    EXPECT_FALSE(spreads[1]);
    EXPECT_EQ(spreads[2], (SpreadSource{"clay sd", 0.0}));
    EXPECT_EQ(spreads[3], (SpreadSource{"", 0.25}));
    // A header that reads as a number would be taken for one: "1e2" is 100.
    EXPECT_EQ(parseSpreads("silt=1e2")[1], (SpreadSource{"", 100.0}));
}

TEST(SpreadOptions, Refusals) {
    const std::string want = "give NAME=NUMBER or NAME=HEADER, NAME sand, silt, clay or oc, "
                             "NUMBER a standard deviation of 0 or more, such as --sd "
                             "sand=2,clay=clay_sd";
    struct Case {
        std::string text, expected;
    };
    const std::vector<Case> cases{
        {"sand", "--sd 'sand': " + want},
        {"sand=", "--sd 'sand=': " + want},
        {"dirt=2", "--sd 'dirt=2': " + want},
        {"sand=-1", "--sd 'sand=-1': " + want},
        {"sand=2,", "--sd '': " + want},
        {"oc=1e999", "--sd 'oc=1e999': " + want},
        {"sand=2,sand=3", "--sd gives sand twice"},
        {"sand=1,silt=1,clay=1", "--sd gives sand, silt and clay: give at most two, as the "
                                 "third takes up their difference so that every draw keeps "
                                 "their sum"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf([&] { parseSpreads(c.text); }), c.expected) << c.text;
    }
}

TEST(SpreadOptions, DrawsAndSeed) {
    EXPECT_EQ(parseDraws("1000"), 1000);
    EXPECT_EQ(parseDraws("1000000"), 1000000);
    EXPECT_EQ(parseSeed("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(parseSeed("0"), 0U);
    for (const char* text : {"999", "1000001", "1e3", " 1000", "+1000", ""}) {
        EXPECT_EQ(errorOf([&] { parseDraws(text); }),
                  "--draws '" + std::string(text) + "': give a whole number from 1000 to 1000000");
    }
    for (const char* text : {"-1", "18446744073709551616", "1.5", "x"}) {
        EXPECT_EQ(errorOf([&] { parseSeed(text); }),
                  "--seed '" + std::string(text) +
                      "': give a whole number from 0 to 18446744073709551615");
    }
}

} // namespace
} // namespace talvo::base
