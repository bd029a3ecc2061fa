#include "window/results_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace talvo::window {
namespace {

const std::string Header = "model\tsand\tsilt\tclay\toc\tunit\tfc\tpwp\tawc\n";

ShownEstimate rawls() {
    return {"Rawls et al., 1982",
            {{{" 40", true}, {" 7", false}, {" 20 ", true}, {"\t5", true}}},
            "(% v/v)",
            {"50.85", "26.28", "36.86"}};
}

struct Case {
    const char* what;
    ShownEstimate shown;
    std::string values;
};

// Each value in its column: trimmed boxes, a disabled box empty whatever it holds, the unit
// without parentheses or blanks, results whole as they are; nothing a cell holds may start a
// new cell or row. The plain estimate is the Form1 test's copy.
TEST(ResultsText, HeaderAndValuesInTheirColumns) {
    ShownEstimate start;
    ShownEstimate talvo = rawls();
    talvo.model = "TALVO PTF model (PSD + OC)";
    talvo.fcUnit = "(% w/w )";
    talvo.boxes[1].enabled = true;
    ShownEstimate pasted = rawls();
    pasted.boxes[0].text = "4\t0";
    pasted.boxes[2].text = "2\r\n0";
    // What the window elides is still copied whole.
    const std::string huge = "-2" + std::string(309, '0') + ".00";
    ShownEstimate longResult = rawls();
    longResult.results[0] = huge;

    const std::array<Case, 4> cases{{
        {"start", start, "\t\t\t\t\t\t\t\t\n"},
        {"stray blank in the unit", talvo,
         "TALVO PTF model (PSD + OC)\t40\t7\t20\t5\t% w/w\t50.85\t26.28\t36.86\n"},
        {"tab and line break in a box", pasted,
         "Rawls et al., 1982\t4 0\t\t2  0\t5\t% v/v\t50.85\t26.28\t36.86\n"},
        {"long result", longResult,
         "Rawls et al., 1982\t40\t\t20\t5\t% v/v\t" + huge + "\t26.28\t36.86\n"},
    }};
    for (const Case& c : cases) {
        EXPECT_EQ(resultsText(c.shown), Header + c.values) << c.what;
    }
}

} // namespace
} // namespace talvo::window
