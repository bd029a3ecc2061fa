#include "window/soil_table.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace talvo::window {
namespace {

// The results and failure details are Form1's (the soil view test holds them against it);
// here, what only the table says: the wording for blank boxes, the warnings and the unit.
TEST(SoilTable, CellsOfTheWindowsOwnWords) {
    struct Case {
        estimation::InputTexts texts;
        int model;
        SoilColumn column;
        std::string expected;
    };
    // clang-format off
    const std::vector<Case> cases{
        {{"40", "40", "20", " "}, 2, SoilColumn::remarks, "needs organic carbon"},
        {{" ", "40", "20", ""}, 1, SoilColumn::remarks, "needs sand and organic carbon"},
        {{" ", "40", "20", ""}, 1, SoilColumn::unit, "% w/w"},
        // a warning, and the results all the same
        {{"150", "0", "20", "5"}, 2, SoilColumn::remarks, "A sand, silt or clay content is below 0 % or above 100 %."},
        {{"150", "0", "20", "5"}, 2, SoilColumn::fc, "28.85"},
        {{"150", "0", "20", "5"}, 2, SoilColumn::unit, "% v/v"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const SoilTable table = soilTable(c.texts, {});
        EXPECT_EQ(
            table.at(static_cast<std::size_t>(c.model)).at(static_cast<std::size_t>(c.column)),
            c.expected)
            << c.texts[0] << " " << c.texts[1] << " " << c.texts[2] << " " << c.texts[3];
    }
}

} // namespace
} // namespace talvo::window
