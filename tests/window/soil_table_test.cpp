#include "window/soil_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <sstream>
#include <string>

namespace talvo::window {
namespace {

using estimation::DecimalSeparator;

std::string cell(const SoilTable& table, int model, SoilColumn column) {
    return table.at(static_cast<std::size_t>(model)).at(static_cast<std::size_t>(column));
}

struct Case {
    estimation::InputTexts texts;
    char separator;
    int model;
    std::array<std::string, 4> expected; // fc, pwp, awc, remarks
};

// The texts themselves come from the engine; what is checked here is which form each row
// takes, which wording explains a failure, and the separator.
const std::array<Case, 6> Cases{{
    {{"40", " ", "20", "5"}, '.', 2, {"50.85", "26.28", "36.86", ""}},
    {{"40", " ", "20,0", "5"}, ',', 2, {"50,85", "26,28", "36,86", ""}},
    {{"40", "40", "20", " "}, '.', 2, {"", "", "", "needs organic carbon"}},
    {{" ", "40", "20", ""}, '.', 1, {"", "", "", "needs sand and organic carbon"}},
    {{"40", "40", "abc", "5"},
     '.',
     0,
     {"", "", "", "Clay content is not a number. Type a number such as 12.5."}},
    // FC is written in full before PWP divides by zero, as the window leaves it.
    {{"40", " ", "20", "0"},
     '.',
     1,
     {"23.35323", "", "", "Organic carbon content is zero, and this model divides by it."}},
}};

TEST(SoilTable, RowsTakeTheWindowsFormsAndWords) {
    for (const Case& c : Cases) {
        const SoilTable table = soilTable(c.texts, DecimalSeparator(c.separator));
        SCOPED_TRACE(c.model);
        EXPECT_EQ(cell(table, c.model, SoilColumn::model),
                  estimation::ModelCatalogue.at(static_cast<std::size_t>(c.model)).listText);
        EXPECT_EQ(cell(table, c.model, SoilColumn::fc), c.expected[0]);
        EXPECT_EQ(cell(table, c.model, SoilColumn::pwp), c.expected[1]);
        EXPECT_EQ(cell(table, c.model, SoilColumn::awc), c.expected[2]);
        EXPECT_EQ(cell(table, c.model, SoilColumn::remarks), c.expected[3]);
    }
}

TEST(SoilTable, WarningsFollowTheNumbers) {
    const SoilTable table = soilTable({"150", "0", "20", "5"}, {});
    EXPECT_EQ(cell(table, 2, SoilColumn::remarks)
                  .rfind("A sand, silt or clay content is below 0 % or above 100 %.", 0),
              0U);
    EXPECT_NE(cell(table, 2, SoilColumn::fc), "");
}

TEST(SoilTable, UnitsFollowTheModel) {
    const SoilTable table = soilTable({"40", "40", "20", "5"}, {});
    for (int model = 0; model < estimation::ModelCount; ++model) {
        EXPECT_EQ(cell(table, model, SoilColumn::unit),
                  estimation::ModelCatalogue.at(static_cast<std::size_t>(model)).unit);
    }
}

TEST(SoilTable, TabSeparatedHasTheHeaderThenOneLinePerModel) {
    const SoilTable table = soilTable({"40", "40", "20", " "}, {});
    std::istringstream lines(tabSeparated(table));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "Model\tUnit\tFC\tPWP\tAWC (mm)\tRemarks");
    for (const SoilRow& row : table) {
        std::getline(lines, line);
        EXPECT_EQ(line, row[0] + '\t' + row[1] + '\t' + row[2] + '\t' + row[3] + '\t' + row[4] +
                            '\t' + row[5]);
    }
    EXPECT_FALSE(std::getline(lines, line));
}

} // namespace
} // namespace talvo::window
