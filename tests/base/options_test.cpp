// The shared options as the page's parsers read them; tests/python runs the same cases
// through talvo-batch, talvo-map and the Python module.

#include "base/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace talvo::base {
namespace {

struct Case {
    std::string option, text, expected;
};

std::vector<Case> optionCases() {
    std::ifstream file(TALVO_OPTION_CASES);
    std::vector<Case> cases;
    for (std::string line; std::getline(file, line);) {
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        if (!line.starts_with('#') && second != std::string::npos) {
            cases.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                             line.substr(second + 1)});
        }
    }
    return cases;
}

// What each option reads, as the cases write it.
const std::map<std::string, std::function<std::string(std::string_view)>, std::less<>> Readers{
    {"precision",
     [](std::string_view text) {
         return parsePrecision(text) == estimation::Precision::fixed ? "fixed" : "general";
     }},
    {"psd",
     [](std::string_view text) {
         return std::string(estimation::name(parseParticleSizeScale(text)));
     }},
    {"cf-by",
     [](std::string_view text) {
         return parseCoarseFragmentBasis(text) == estimation::CoarseFragmentBasis::volume
                    ? "volume"
                    : "weight";
     }},
    {"oc-unit",
     [](std::string_view text) { return std::string(estimation::name(parseCarbonUnit(text))); }},
    {"root-depth",
     [](std::string_view text) { return estimation::generalText(parseRootDepth(text)); }},
    {"depletion",
     [](std::string_view text) { return estimation::generalText(parseDepletion(text)); }},
};

TEST(SharedOptions, ReadOrRefusedAsEveryFrontEndDoes) {
    const std::vector<Case> cases = optionCases();
    ASSERT_GT(cases.size(), 30U);
    for (const Case& c : cases) {
        const auto reader = Readers.find(c.option);
        if (reader == Readers.end()) {
            continue; // --measured-unit: the evaluation's, tested through the tools
        }
        std::string got;
        try {
            got = "= " + reader->second(c.text);
        } catch (const Error& error) {
            got = error.what();
            const std::string refused = "--" + c.option + " '" + c.text + "': ";
            EXPECT_TRUE(got.starts_with(refused)) << got;
            got = got.substr(std::min(got.size(), refused.size()));
        }
        EXPECT_EQ(got, c.expected) << c.option << " '" << c.text << "'";
    }
}

// A number that came as one is refused as its text is, under the front end's name for it.
TEST(SharedOptions, NumbersAreCheckedAsTheirTexts) {
    EXPECT_EQ(checkRootDepth(60, Spelling::keyword), 60);
    EXPECT_EQ(checkDepletion(0, Spelling::keyword), 0);
    try {
        checkRootDepth(0, Spelling::keyword);
        ADD_FAILURE() << "a root depth of 0 taken";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "root_depth '0': give a depth in cm above 0 and at most 10000");
    }
    EXPECT_THROW(checkDepletion(1.5, Spelling::option), Error);
    for (const double number : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_THROW(checkRootDepth(number, Spelling::keyword), Error);
        EXPECT_THROW(checkDepletion(number, Spelling::keyword), Error);
    }
}

TEST(SharedOptions, OneModelOrAList) {
    EXPECT_EQ(parseModel("rawls").position, 2);
    EXPECT_EQ(parseModel("2").position, 2);
    bool all = false;
    EXPECT_EQ(parseModels("2,Singh, 2000", all).size(), 2U);
    EXPECT_FALSE(all);
    EXPECT_EQ(parseModels("all", all).size(), static_cast<std::size_t>(estimation::ModelCount));
    EXPECT_TRUE(all);
    const auto refusalOf = [](std::string_view text) {
        try {
            parseModel(text);
        } catch (const Error& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_TRUE(refusalOf("9").starts_with("unknown model '9': give a position 0 to 6"));
    EXPECT_TRUE(refusalOf("t").starts_with("--model 't' names the beginning of TALVO"));
    for (const std::string_view text : {"9", "", ","}) {
        EXPECT_THROW(parseModel(text), Error) << text;
        EXPECT_THROW(parseModels(text, all), Error) << text;
    }
}

} // namespace
} // namespace talvo::base

namespace talvo::base {
namespace {

// --hydraulics, --topsoil, --fc-head and a topsoil cell: talvo-batch's alone so far.
TEST(HydraulicOptions, ReadOrRefused) {
    using estimation::HydraulicModel;
    const auto models = [](std::string_view text) {
        std::string out;
        for (const HydraulicModel model : parseHydraulicModels(text)) {
            out += std::string(out.empty() ? "" : ",") + std::string(estimation::name(model));
        }
        return out;
    };
    const std::map<std::string, std::function<std::string(std::string_view)>, std::less<>> readers{
        {"hydraulics", models},
        {"topsoil", [](std::string_view t) { return parseTopsoil(t) ? "yes" : "no"; }},
        {"fc-head",
         [](std::string_view t) { return estimation::generalText(parseFieldCapacityHead(t)); }},
    };
    const std::vector<Case> cases{
        {"hydraulics", "all", "saxton-rawls,hypres"},
        {"hydraulics", "Saxton-Rawls", "saxton-rawls"},
        {"hydraulics", "hypres", "hypres"},
        {"hydraulics", "wosten", "--hydraulics 'wosten': give saxton-rawls, hypres or all"},
        {"topsoil", "YES", "yes"},
        {"topsoil", "1", "--topsoil '1': give yes or no"},
        {"fc-head", "100", "100"},
        {"fc-head", "33", "--fc-head '33': give 330 or 100 (cm)"},
    };
    for (const Case& c : cases) {
        std::string got;
        try {
            got = readers.at(c.option)(c.text);
        } catch (const Error& error) {
            got = error.what();
        }
        EXPECT_EQ(got, c.expected) << c.option << " '" << c.text << "'";
    }
    const std::vector<std::pair<std::string_view, std::optional<bool>>> cells{
        {"1", true},    {"Top", true},    {"yes", true},      {"0", false},
        {"sub", false}, {"FALSE", false}, {"", std::nullopt}, {"2", std::nullopt}};
    for (const auto& [text, layer] : cells) {
        EXPECT_EQ(topsoilNamed(text), layer) << text;
    }
}

} // namespace
} // namespace talvo::base
