#include "cli/tool.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace talvo::cli {
namespace {

// What a command line ends in before the run starts: going on, or a status.
std::optional<int> parsed(std::vector<std::string> arguments, std::string* output = nullptr) {
    CLI::App app{"test", "tool"};
    std::string out;
    std::string input;
    app.add_option("--output", out);
    app.add_option("input", input);
    std::vector<char*> argv{const_cast<char*>("tool")};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    const Tool tool("tool");
    const std::optional<int> status = tool.parse(app, static_cast<int>(argv.size()), argv.data());
    if (output != nullptr) {
        *output = out;
    }
    return status;
}

// "--output= soils.csv" must not become "--output soils.csv": the table to be read would be
// replaced. After "--", such a text is a file's name like any other.
TEST(ToolTest, AnOptionWithNothingAfterItsEqualsSignIsRefused) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<int> status;
        std::string output;
    };
    const std::vector<Case> cases{
        {{"--output=", "soils.csv"}, UsageStatus, ""},
        {{"soils.csv", "--output="}, UsageStatus, ""},
        {{"--output=out.csv", "soils.csv"}, std::nullopt, "out.csv"},
        {{"--output", "out.csv", "--", "--odd="}, std::nullopt, "out.csv"},
        {{"--output"}, UsageStatus, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        std::string output;
        EXPECT_EQ(parsed(c.arguments, &output), c.status);
        EXPECT_EQ(output, c.output);
    }
}

// The help a user and the manual page read is in the tool's words, not the parser's.
TEST(ToolTest, HelpNamesNoExcludedOptions) {
    CLI::App app{"test", "tool"};
    bool fractions = false;
    std::string scale;
    CLI::Option* const flag = app.add_flag("--fractions", fractions, "contents in fractions");
    app.add_option("--scale", scale, "contents at a scale")->excludes(flag);
    std::vector<char*> argv{const_cast<char*>("tool"), const_cast<char*>("--help")};
    testing::internal::CaptureStdout();
    EXPECT_EQ(Tool("tool").parse(app, 2, argv.data()), 0);
    const std::string help = testing::internal::GetCapturedStdout();
    EXPECT_NE(help.find("contents at a scale"), std::string::npos) << help;
    EXPECT_EQ(help.find("Excludes"), std::string::npos) << help;
}

} // namespace
} // namespace talvo::cli
