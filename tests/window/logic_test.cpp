// The window's plain logic, without widgets: what it takes from the desktop (display, locale,
// theme), the results it copies, and the soil details' triangle and table.

#include "estimation/estimation.h"
#include "window/application.h"
#include "window/colours.h"
#include "window/display_check.h"
#include "window/locale_separator.h"
#include "window/results_text.h"
#include "window/soil_table.h"
#include "window/triangle_geometry.h"

#include <QPalette>
#include <QRect>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace talvo::window {
namespace {

struct DisplayCase {
    std::string_view platforms, x11, wayland;
    bool available;
};

// Qt's default tries X11 and Wayland; a named plugin needs its own display; a list needs one
// plugin that can start; plugins without a desktop session need none.
TEST(DisplayCheck, OneTriedPluginMustReachItsDisplay) {
    // clang-format off
    constexpr std::array<DisplayCase, 14> cases{{
        {"", "", "", false}, {"", ":0", "", true}, {"", "", "wayland-0", true},
        {"xcb", "", "wayland-0", false}, {"xcb", ":99", "", true}, {"xcb:nograb", "", "", false},
        {"wayland", ":0", "", false}, {"wayland-egl", "", "wayland-1", true},
        {"wayland;xcb", ":0", "", true}, {"wayland;xcb", "", "", false}, {";", "", "", false},
        {"offscreen", "", "", true}, {"minimal", "", "", true}, {"vnc:size=800x600", "", "", true},
    }};
    // clang-format on
    for (const DisplayCase& c : cases) {
        EXPECT_EQ(displayAvailable({c.platforms, c.x11, c.wayland}), c.available)
            << "platforms '" << c.platforms << "', DISPLAY '" << c.x11 << "', WAYLAND_DISPLAY '"
            << c.wayland << "'";
    }
}

TEST(DisplayCheck, PlatformArgument) {
    const std::array argv{"talvo", "-platform", "offscreen"};
    const std::array dashes{"talvo", "--platform", "xcb"};
    const std::array last{"talvo", "-platform"};
    EXPECT_EQ(platformArgument(argv), "offscreen");
    EXPECT_EQ(platformArgument(dashes), "xcb");
    EXPECT_EQ(platformArgument(last), "");
    EXPECT_EQ(platformArgument(std::span(argv).first(1)), "");
}

// Arabic (Egypt) writes a separator that is not ASCII: the number texts fall back to '.'.
TEST(LocaleSeparator, DecimalSeparators) {
    for (const auto& [locale, separator] :
         {std::pair{"en_US", '.'}, {"de_DE", ','}, {"ar_EG", '.'}}) {
        EXPECT_EQ(decimalSeparatorOf(QLocale(QString::fromLatin1(locale))).get(), separator)
            << locale;
    }
}

// The boxes in light and dark themes are the Form1 test's; here, what no theme reaches.
// Published reference values: #777 on white just fails 4.5:1.
TEST(Colours, ContrastRatios) {
    for (const auto& [a, b, ratio] : {std::tuple{QColor(Qt::black), QColor(Qt::white), 21.0},
                                      {QColor(0x80, 0x40, 0x20), QColor(0x80, 0x40, 0x20), 1.0},
                                      {QColor(Qt::white), QColor(0x77, 0x77, 0x77), 4.48}}) {
        EXPECT_NEAR(contrastRatio(a, b), ratio, 0.01);
    }
}

// Where no palette colour reads, black or white does, whatever the background.
TEST(Colours, FallsBackToBlackOrWhite) {
    QPalette grey;
    for (const auto role :
         {QPalette::Text, QPalette::Base, QPalette::WindowText, QPalette::Window}) {
        grey.setColor(role, QColor(0x77, 0x77, 0x77));
    }
    for (int level = 0; level < 256; level += 5) {
        const QColor background(level, level, 255 - level);
        EXPECT_GE(contrastRatio(readableTextOn(background, grey), background), ReadableContrast)
            << level;
    }
}

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

// Soil details beside the window, inside the screen's free area and never larger than it.
TEST(Placement, BesideTheWindowWithinTheScreen) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize wanted(720, 780);
    struct Case {
        const char* what;
        QRect main, available;
        QRect expected;
    };
    const std::array<Case, 6> cases{{
        {"to the right", {100, 100, 376, 507}, screen, {484, 100, 720, 780}},
        {"to the left", {900, 100, 376, 507}, screen, {172, 100, 720, 780}},
        {"over it, towards the wider side", {400, 100, 376, 507}, screen, {560, 100, 720, 780}},
        {"raised to stay on screen", {100, 400, 376, 507}, screen, {484, 244, 720, 780}},
        {"small screen", {212, 46, 376, 507}, {0, 0, 800, 600}, {80, 0, 720, 600}},
        {"panel at the top", {0, 30, 376, 507}, {0, 30, 1024, 738}, {304, 30, 720, 738}},
    }};
    for (const Case& c : cases) {
        const QRect placed = placedBeside(c.main, wanted, c.available);
        EXPECT_EQ(placed, c.expected) << c.what;
        EXPECT_TRUE(c.available.contains(placed)) << c.what;
    }
}

} // namespace
} // namespace talvo::window
