#include "table/formulas.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace talvo::table {
namespace {

TEST(Formulas, CellsASpreadsheetWouldRunAreTold) {
    struct Case {
        std::string_view cell;
        bool formula;
    };
    for (const Case& c : {
             Case{"=1+1", true},
             {"=HYPERLINK(\"http://x\";\"y\")", true},
             {"@SUM(A1:A9)", true},
             {"+cmd|' /C calc'!A0", true},
             {"-2+3", true},
             {"- 1", true},
             {"-inf", true},
             {"--1", true},
             {"-1,234.5", true}, // two separators: no plain number
             {"=", true},
             {"@", true},
             // Numbers a spreadsheet reads as numbers, in either separator's locale.
             {"-1.5", false},
             {"+3,25", false},
             {"-2e-3", false},
             {"-.5", false},
             {"+7", false},
             {"-1.", false},
             // A sign alone stands for no value.
             {"-", false},
             {"+", false},
             // Not at the start: text.
             {"", false},
             {" =1", false},
             {"a=b", false},
             {"1-2", false},
         }) {
        EXPECT_EQ(readAsFormula(c.cell), c.formula) << c.cell;
        std::string safe;
        appendSafeCell(safe, c.cell);
        EXPECT_EQ(safe, c.formula ? "'" + std::string(c.cell) : std::string(c.cell)) << c.cell;
    }
}

TEST(Formulas, TheNoteCountsCells) {
    EXPECT_EQ(formulaCellsNote(0, "x"), "");
    EXPECT_EQ(formulaCellsNote(1, ""),
              "1 cell begins with =, +, - or @, which a spreadsheet may run as a formula");
    EXPECT_EQ(formulaCellsNote(3, "use --safe-cells"),
              "3 cells begin with =, +, - or @, which a spreadsheet may run as formulas; use "
              "--safe-cells");
}

} // namespace
} // namespace talvo::table
