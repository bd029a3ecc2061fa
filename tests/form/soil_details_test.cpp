#include "estimation/estimation.h"
#include "form/results_text.h"
#include "form/soil_summary.h"
#include "form/soil_table.h"
#include "form/triangle_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace talvo::form {
namespace {

const std::string Header = "model\tsand\tsilt\tclay\toc\tunit\tfc\tpwp\tawc\n";

ShownEstimate rawls() {
    return {"Rawls et al., 1982",
            {{{" 40", true}, {" 7", false}, {" 20 ", true}, {"\t5", true}}},
            "(% v/v)",
            {"50.85", "26.28", "36.86"}};
}

struct ResultsCase {
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

    const std::array<ResultsCase, 4> cases{{
        {"start", start, "\t\t\t\t\t\t\t\t\n"},
        {"stray blank in the unit", talvo,
         "TALVO PTF model (PSD + OC)\t40\t7\t20\t5\t% w/w\t50.85\t26.28\t36.86\n"},
        {"tab and line break in a box", pasted,
         "Rawls et al., 1982\t4 0\t\t2  0\t5\t% v/v\t50.85\t26.28\t36.86\n"},
        {"long result", longResult,
         "Rawls et al., 1982\t40\t\t20\t5\t% v/v\t" + huge + "\t26.28\t36.86\n"},
    }};
    for (const ResultsCase& c : cases) {
        EXPECT_EQ(resultsText(c.shown), Header + c.values) << c.what;
    }
}

using estimation::TexturePoint;

constexpr double Near = 1e-9;
const TriangleFrame Frame = fitTriangle(400, 400, 40);

void expectAt(PlanePoint actual, PlanePoint expected) {
    EXPECT_NEAR(actual.x, expected.x, Near);
    EXPECT_NEAR(actual.y, expected.y, Near);
}

TEST(TriangleGeometry, FrameIsEquilateralCentredAndClearOfTheMargin) {
    const double side = Frame.silt.x - Frame.sand.x;
    EXPECT_NEAR(side, 320, Near); // the width limits it
    EXPECT_NEAR(Frame.sand.y, Frame.silt.y, Near);
    EXPECT_NEAR(std::hypot(Frame.clay.x - Frame.sand.x, Frame.clay.y - Frame.sand.y), side, Near);
    EXPECT_NEAR(Frame.clay.x, 200, Near);
    EXPECT_NEAR(Frame.clay.y - 0, 400 - Frame.sand.y, Near);
    const TriangleFrame wide = fitTriangle(800, 300, 20); // the height limits it
    EXPECT_NEAR(wide.clay.y, 20, Near);
    EXPECT_NEAR(wide.sand.y, 280, Near);
    const TriangleFrame tiny = fitTriangle(30, 30, 20);
    EXPECT_EQ(tiny.silt.x - tiny.sand.x, 0);
}

TEST(TriangleGeometry, TicksRunAlongTheSidesAndPointOutwards) {
    const auto ticks = axisTicks(Frame, 10);
    ASSERT_EQ(ticks.size(), 33U);
    const PlanePoint centre{Frame.clay.x, (Frame.sand.y + 2 * Frame.clay.y) / 3};
    for (const AxisTick& tick : ticks) {
        // On its axis's side: that content at the tick, the next (sand, silt, clay) the rest.
        std::array<double, 3> soil{};
        const auto axis = static_cast<std::size_t>(tick.axis);
        soil.at(axis) = tick.percent;
        soil.at((axis + 1) % 3) = 100.0 - tick.percent;
        expectAt(tick.at, place(Frame, {soil[0], soil[1], soil[2]}));
        EXPECT_NEAR(std::hypot(tick.outward.x, tick.outward.y), 1, Near);
        EXPECT_GT((tick.at.x - centre.x) * tick.outward.x + (tick.at.y - centre.y) * tick.outward.y,
                  0);
    }
}

TEST(TriangleGeometry, ClassWidthIsWhereTheLabelGoes) {
    using estimation::TextureClass;
    const auto heavy = estimation::outline(TextureClass::heavyClay);
    const double y = place(Frame, estimation::labelPoint(TextureClass::heavyClay)).y;
    EXPECT_GT(widthAt(Frame, heavy, y), 0);
    EXPECT_LT(widthAt(Frame, heavy, y), Frame.silt.x - Frame.sand.x);
    EXPECT_EQ(widthAt(Frame, heavy, Frame.sand.y), 0);
    EXPECT_NEAR(widthAt(Frame, estimation::outline(TextureClass::siltLoam), Frame.sand.y),
                0.55 * (Frame.silt.x - Frame.sand.x), Near);
}

struct MarkCase {
    estimation::InputTexts texts;
    char separator;
    std::optional<TexturePoint> point;
    std::string text;
};

TEST(TriangleGeometry, SoilMarkFollowsTheTexts) {
    // clang-format off
    const std::array<MarkCase, 9> cases{{
        {{"40", "40", "20", ""}, '.', TexturePoint{40, 40, 20}, ""},
        {{" 0", "0", "1e2", "x"}, '.', TexturePoint{0, 0, 100}, ""},
        {{"50", "50", "0.5", ""}, '.', TexturePoint{100 / 1.005 * 0.5, 100 / 1.005 * 0.5, 100 / 1.005 * 0.005}, ""},
        {{"50", "30", "13", ""}, '.', std::nullopt, "sand + silt + clay = 93"},
        {{"50,5", "30", "13", ""}, ',', std::nullopt, "sand + silt + clay = 93,5"},
        {{"33.3", "33.3", "23.3", ""}, '.', std::nullopt, "sand + silt + clay = 89.9"},
        {{"-10", "60", "50", ""}, '.', std::nullopt, "A sand, silt or clay content is below 0 % or above 100 %."},
        {{"40", " ", "20", "5"}, '.', std::nullopt, ""},
        {{"40", "40", "2O", ""}, '.', std::nullopt, ""},
    }};
    // clang-format on
    for (const MarkCase& c : cases) {
        SCOPED_TRACE(std::string(c.texts[0]) + " " + std::string(c.texts[1]) + " " +
                     std::string(c.texts[2]));
        const SoilMark mark = soilMark(c.texts, estimation::DecimalSeparator(c.separator));
        EXPECT_EQ(mark.text, c.text);
        ASSERT_EQ(mark.point.has_value(), c.point.has_value());
        if (c.point) {
            EXPECT_NEAR(mark.point->sand, c.point->sand, Near);
            EXPECT_NEAR(mark.point->silt, c.point->silt, Near);
            EXPECT_NEAR(mark.point->clay, c.point->clay, Near);
        }
    }
}

// The results and failure details are Form1's (the soil view test holds them against it);
// here, what only the table says: the wording for blank boxes, the warnings and the unit.
TEST(SoilTable, CellsOfTheWindowsOwnWords) {
    const std::string domain(estimation::sentence(estimation::Flag::domain));
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
        // warnings, and the results all the same: sand 150 is also beyond the 99 % Rawls et al. fitted
        {{"150", "0", "20", "5"}, 2, SoilColumn::remarks, "A sand, silt or clay content is below 0 % or above 100 %. " + domain},
        // OC 12 g/kg lies above the 11.8 Chakraborty et al. fitted; without OC nothing is judged or needed
        {{"40", "40", "20", "12"}, 6, SoilColumn::remarks, domain},
        {{"40", "40", "20", " "}, 6, SoilColumn::remarks, ""},
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

// Copied, every row carries the soil: its inputs as typed, trimmed and kept in one cell, and
// its texture class, empty without one.
TEST(SoilTable, CopyCarriesTheSoil) {
    const std::string header = "Sand (%)\tSilt (%)\tClay (%)\tOC (g/kg)\tTexture class\t"
                               "Model\tUnit\tFC\tPWP\tAWC (mm)\tRemarks\n";
    struct Case {
        estimation::InputTexts texts;
        std::string soil;
    };
    const std::array<Case, 3> cases{{
        {{" 40", "40 ", "20", "5"}, "40\t40\t20\t5\tclay loam\t"},
        {{"4\t0", "40", "2\n0", ""}, "4 0\t40\t2 0\t\t\t"},
        {{"50", "30", "13", "x"}, "50\t30\t13\tx\t\t"},
    }};
    for (const Case& c : cases) {
        const SoilTable table = soilTable(c.texts, {});
        const std::string text = tabSeparated(c.texts, {}, table);
        ASSERT_EQ(text.substr(0, header.size()), header);
        std::size_t line = header.size();
        for (const SoilRow& row : table) {
            const std::size_t end = text.find('\n', line);
            ASSERT_NE(end, std::string::npos);
            const std::string expected = c.soil + row[0];
            EXPECT_EQ(text.substr(line, expected.size()), expected) << c.texts[0];
            line = end + 1;
        }
        EXPECT_EQ(line, text.size());
    }
}

// The soil details on the USDA scale: the models get the converted soil (Tomasella and
// Hodnett's FC of USDA 40/40/20 is 24.32 by hand), the conversion is said once, not per model,
// and the class and the mark are the USDA triangle's.
TEST(SoilDetails, OnTheUsdaScale) {
    using estimation::ParticleSizeScale;
    const estimation::InputTexts texts{"40", "40", "20", "5"};
    const SoilTable table = soilTable(texts, {}, ParticleSizeScale::usda);
    EXPECT_EQ(table.at(3).at(static_cast<std::size_t>(SoilColumn::fc)), "24.32");
    EXPECT_EQ(table.at(3).at(static_cast<std::size_t>(SoilColumn::remarks)), "");
    EXPECT_EQ(soilTable(texts, {}).at(3).at(static_cast<std::size_t>(SoilColumn::fc)), "29.17");
    EXPECT_EQ(textureLine({"45", "20", "35", ""}, {}, ParticleSizeScale::usda),
              "USDA texture class: clay loam");
    EXPECT_EQ(textureLine({"45", "20", "35", ""}, {}), "Texture class: light clay");
    const std::vector<std::string> warnings = soilWarnings(texts, {}, ParticleSizeScale::usda);
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings.front(), estimation::sentence(estimation::Flag::psd));
    EXPECT_EQ(soilMark(texts, {}, ParticleSizeScale::usda).scale, ParticleSizeScale::usda);
    // Copied, the soil's class is the USDA one, and the header says so.
    const std::string copied = tabSeparated(texts, {}, table, ParticleSizeScale::usda);
    EXPECT_NE(copied.find("\tUSDA texture class\t"), std::string::npos);
    EXPECT_NE(copied.find("\n40\t40\t20\t5\tloam\t"), std::string::npos);
}

// A blank box names itself, also silt where only the conversion from the USDA scale reads it.
TEST(SoilTable, NeedsNamesTheBlankInputs) {
    using estimation::ParticleSizeScale;
    struct Case {
        int model;
        ParticleSizeScale scale;
        estimation::InputTexts texts;
        std::string remarks;
    };
    constexpr auto usda = ParticleSizeScale::usda;
    constexpr auto international = ParticleSizeScale::international;
    const std::vector<Case> cases{
        {2, usda, {"40", "", "20", "5"}, "needs silt"},
        {2, usda, {"40", " ", "20", ""}, "needs silt and organic carbon"},
        {2, international, {"40", "", "20", ""}, "needs organic carbon"},
        {3, usda, {"40", "", "20", ""}, "needs silt"},
        {0, usda, {"", "", "", "5"}, "needs sand, silt and clay"},
    };
    for (const Case& c : cases) {
        const SoilTable table = soilTable(c.texts, {}, c.scale);
        EXPECT_EQ(table.at(static_cast<std::size_t>(c.model))
                      .at(static_cast<std::size_t>(SoilColumn::remarks)),
                  c.remarks)
            << c.model << " " << estimation::name(c.scale) << " " << c.texts[3];
    }
}

// ---- The models' spread

// The soil of talvo-batch's model_spread case read as the window reads it (OC as typed, so
// Rawls et al. reads 12 %): FC (23.10 + 23.20 + 25.99) x 1.49 + 87.90 + 26.93 + 35.08 + 25.32
// = 282.94 over 7 = 40.42; PWP 131.38 / 7 = 18.77; AWC 227.37 / 7 = 32.48. The page shows the
// same row, held equal to talvo-batch's.
TEST(SoilSpread, MeanAndRangeByVolume) {
    const std::string note = std::string(estimation::SpreadNote) + ".";
    struct Case {
        estimation::InputTexts texts;
        char separator;
        SoilRow expected;
    };
    // clang-format off
    const std::vector<Case> cases{
        {{"45", "30", "25", "12"}, '.', {"mean of 7 models", "% v/v", "40.42", "18.77", "32.48",
            "Range: FC 25.32\u201387.90, PWP 11.71\u201347.94, AWC 17.42\u201359.95 mm. " + note}},
        {{"45", "30", "25", "12"}, ',', {"mean of 7 models", "% v/v", "40,42", "18,77", "32,48",
            "Range: FC 25,32\u201387,90, PWP 11,71\u201347,94, AWC 17,42\u201359,95 mm. " + note}},
        {{"", "x", "", ""}, '.', {"mean of 0 models", "% v/v", "", "", "",
            "No mean: no model gave a number"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(soilSpread(c.texts, estimation::DecimalSeparator(c.separator)), c.expected)
            << c.texts[0] << " " << c.separator;
    }
}

} // namespace
} // namespace talvo::form
