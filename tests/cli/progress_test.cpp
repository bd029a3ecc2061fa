#include "cli/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace talvo::cli {
namespace {

using namespace std::chrono_literals;

// The bar is 30 cells wide; the percentage rounds down, so that 100% means done.
TEST(ProgressLine, ShowsHowFarThrough) {
    struct Case {
        std::uint64_t done;
        std::uint64_t total;
        std::string wanted;
    };
    const std::string empty(30, ' ');
    const std::string full(30, '#');
    const std::vector<Case> cases{
        {0, 200, "[" + empty + "]   0%"},
        {1, 200, "[" + empty + "]   0%"},
        {90, 200, "[" + std::string(13, '#') + std::string(17, ' ') + "]  45%"},
        {199, 200, "[" + std::string(29, '#') + " ]  99%"},
        {200, 200, "[" + full + "] 100%"},
        // More than the total (an input that grew while it was read) stays at the whole.
        {500, 200, "[" + full + "] 100%"},
        // Nothing to do is done.
        {0, 0, "[" + full + "] 100%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.done) + " of " + std::to_string(c.total));
        EXPECT_EQ(progressLine(c.done, c.total), c.wanted);
    }
}

// Each drawing starts at the line's start and is the whole line.
std::vector<std::string> drawings(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line, '\r'); // before the first carriage return: nothing
    while (std::getline(in, line, '\r')) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ProgressBar, DrawsAtOnceThenAtMostFiveTimesASecond) {
    std::ostringstream out;
    ProgressBar bar(out, 1000);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t done = 0; done < 1000; ++done) {
        bar.update(done);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::vector<std::string> drawn = drawings(out.str());
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.front(), progressLine(0, 1000));
    EXPECT_LE(static_cast<std::int64_t>(drawn.size()), 1 + elapsed / 200ms);

    // Once the interval has passed, the next update shows where the run is.
    std::this_thread::sleep_for(250ms);
    bar.update(600);
    EXPECT_EQ(drawings(out.str()).back(), progressLine(600, 1000));
}

// Nothing of the bar stays: its line is blanked and the cursor left at its start, where the
// next message goes. A bar never drawn writes nothing.
TEST(ProgressBar, LeavesAnEmptyLine) {
    for (const bool drawn : {true, false}) {
        SCOPED_TRACE(drawn ? "drawn" : "never drawn");
        std::ostringstream out;
        {
            ProgressBar bar(out, 10);
            if (drawn) {
                bar.update(10);
            }
        }
        const std::string wanted = "\r" + progressLine(10, 10) + "\r" +
                                   std::string(progressLine(10, 10).size(), ' ') + "\r";
        EXPECT_EQ(out.str(), drawn ? wanted : "");
    }
}

} // namespace
} // namespace talvo::cli
