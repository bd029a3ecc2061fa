// Each format read back by a small parser written from its published description: pyfao56's
// SoilProfile file, AquaCrop's soil profile file (reference manual 7.1), DSSAT's SOIL.CDE
// columns and APSIM's Physical node.

#include "base/error.h"
#include "table/soil_files.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

// Two horizons, reckoned by hand below: TAW 0.15 x 300 mm + 0.13 x 700 mm = 45 + 91 mm.
SoilProfile loam(std::string id = "P1") {
    SoilProfile profile{std::move(id), {}};
    // Given deepest first: a table's order must not matter.
    profile.layers.push_back({.top = 30,
                              .bottom = 100,
                              .fc = 25,
                              .pwp = 12,
                              .sat = 40,
                              .ks = 4.8,
                              .bulkDensity = 1.5,
                              .organicCarbon = 0.4,
                              .clay = 30,
                              .silt = 35,
                              .stones = 10});
    profile.layers.push_back({.top = 0,
                              .bottom = 30,
                              .fc = 30,
                              .pwp = 15,
                              .sat = 45,
                              .ks = 24,
                              .bulkDensity = 1.4,
                              .organicCarbon = 1.2,
                              .clay = 20,
                              .silt = 40,
                              .stones = 0});
    return profile;
}

std::vector<SoilFile> write(SoilFormat format, const std::vector<SoilProfile>& profiles) {
    SoilFileOptions options;
    options.timestamp = "12/09/2026 10:00:00";
    return soilFiles(format, profiles, options);
}

// pyfao56: the data follow the line after the last line of 72 '*'; each row the bottom depth
// in whole cm, then thetaFC, thetaWP and theta0.
TEST(SoilFiles, Fao56ReadsBackAsPyfao56LoadsIt) {
    const std::vector<SoilFile> files = write(SoilFormat::fao56, {loam()});
    ASSERT_EQ(files.size(), 2U);
    EXPECT_EQ(files[0].name, "P1.sol");
    const std::vector<std::string> text = lines(files[0].text);
    std::size_t lastStars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        lastStars = text[i] == std::string(72, '*') ? i : lastStars;
    }
    EXPECT_EQ(lastStars, 6U);
    EXPECT_EQ(text[3], "Timestamp: 12/09/2026 10:00:00");
    ASSERT_EQ(text.size(), lastStars + 4);
    const std::vector<std::vector<double>> expected{{30, 0.30, 0.15, 0.30},
                                                    {100, 0.25, 0.12, 0.25}};
    for (std::size_t row = 0; row < expected.size(); ++row) {
        const std::vector<std::string> fields = words(text[lastStars + 2 + row]);
        ASSERT_EQ(fields.size(), 4U);
        EXPECT_EQ(std::stoi(fields[0]), static_cast<int>(expected[row][0]));
        for (std::size_t i = 1; i < 4; ++i) {
            EXPECT_DOUBLE_EQ(std::stod(fields[i]), expected[row][i]) << row << ' ' << i;
        }
    }
    // FAO-56: TAW = 1000 (thetaFC - thetaWP) Zr, layer by layer; RAW = p TAW, p = 0.5.
    EXPECT_EQ(files[1].name, "P1_taw.csv");
    EXPECT_EQ(files[1].text, "root_depth_cm,taw_mm,raw_mm\n30,45.00,22.50\n100,136.00,68.00\n");
}

// AquaCrop: a description, then version, CN, REW, horizons and one more number, each
// before a colon; two heading lines; then per horizon thickness (m), SAT, FC, WP (vol %),
// Ksat (mm/day), penetrability (%), gravel (%), CRa and CRb.
TEST(SoilFiles, AquacropReadsBackAsTheManualDescribesIt) {
    const std::vector<SoilFile> files = write(SoilFormat::aquacrop, {loam()});
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(files[0].name, "P1.SOL");
    const std::vector<std::string> text = lines(files[0].text);
    std::vector<double> head;
    for (std::size_t i = 1; i <= 5; ++i) {
        head.push_back(std::stod(text[i].substr(0, text[i].find(':'))));
    }
    // Ksat 240 mm/day: hydrologic group C, CN 72. REW = (0.30 - 0.15 / 2) x 40 mm = 9 mm.
    EXPECT_EQ(head, (std::vector<double>{7.1, 72, 9, 2, -9}));
    ASSERT_EQ(text.size(), 10U);
    const std::vector<std::vector<double>> expected{{0.30, 45, 30, 15, 240, 100, 0},
                                                    {0.70, 40, 25, 12, 48, 100, 0}};
    for (std::size_t row = 0; row < expected.size(); ++row) {
        const std::vector<std::string> fields = words(text[8 + row]);
        ASSERT_GE(fields.size(), 9U);
        for (std::size_t i = 0; i < expected[row].size(); ++i) {
            EXPECT_DOUBLE_EQ(std::stod(fields[i]), expected[row][i]) << row << ' ' << i;
        }
    }
}

// DSSAT: a profile line '*' and a 10-character id; the layer tier's columns are six
// characters wide, each heading right-aligned over its values.
std::map<std::string, std::vector<std::string>> dssatLayers(const std::string& text,
                                                            const std::string& id) {
    const std::vector<std::string> all = lines(text);
    std::size_t at = 0;
    while (at < all.size() && all[at].rfind("*" + id, 0) != 0) {
        ++at;
    }
    while (at < all.size() && all[at].rfind("@  SLB", 0) != 0) {
        ++at;
    }
    std::map<std::string, std::vector<std::string>> columns;
    if (at == all.size()) {
        return columns;
    }
    const std::string& heading = all[at];
    for (std::size_t row = at + 1; row < all.size() && !all[row].empty(); ++row) {
        for (std::size_t start = 0; start + 6 <= heading.size(); start += 6) {
            const std::vector<std::string> label = words(heading.substr(start + 1, 5));
            columns[label.empty() ? "" : label[0]].push_back(all[row].substr(start, 6));
        }
    }
    return columns;
}

TEST(SoilFiles, DssatColumnsLieWhereTheirHeadingsAre) {
    const std::vector<SoilFile> files = write(SoilFormat::dssat, {loam()});
    ASSERT_EQ(files.size(), 1U);
    auto columns = dssatLayers(files[0].text, "P1        ");
    const std::map<std::string, std::vector<std::string>> expected{
        {"SLB", {"    30", "   100"}},  {"SLLL", {" 0.150", " 0.120"}},
        {"SDUL", {" 0.300", " 0.250"}}, {"SSAT", {" 0.450", " 0.400"}},
        {"SSKS", {"  1.00", "  0.20"}}, {"SBDM", {"  1.40", "  1.50"}},
        {"SLOC", {"  1.20", "  0.40"}}, {"SLCL", {"  20.0", "  30.0"}},
        {"SLSI", {"  40.0", "  35.0"}}, {"SLCF", {"   0.0", "  10.0"}},
        {"SLMH", {"   -99", "   -99"}}, {"SLNI", {"   -99", "   -99"}}};
    for (const auto& [column, values] : expected) {
        EXPECT_EQ(columns[column], values) << column;
    }
    // Root growth: 1 to 15 cm, then exp(-0.02 x the layer's middle): 15 cm, 65 cm.
    EXPECT_EQ(columns["SRGF"], (std::vector<std::string>{" 0.741", " 0.273"}));
}

TEST(SoilFiles, DssatMarksMissingValuesAndRefusesLongIds) {
    SoilProfile profile = loam();
    profile.layers[0].bulkDensity = NoValue;
    profile.layers[0].organicCarbon = NoValue;
    auto columns = dssatLayers(write(SoilFormat::dssat, {profile})[0].text, "P1        ");
    EXPECT_EQ(columns["SBDM"], (std::vector<std::string>{"  1.40", "   -99"}));
    EXPECT_EQ(columns["SLOC"], (std::vector<std::string>{"  1.20", "   -99"}));
    EXPECT_THROW(write(SoilFormat::dssat, {loam("ELEVENCHARS")}), base::Error);
}

// The numbers of one key's array in APSIM's JSON.
std::vector<double> jsonArray(const std::string& text, const std::string& key) {
    const std::size_t at = text.find("\"" + key + "\": [");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t open = text.find('[', at);
    std::string inside = text.substr(open + 1, text.find(']', open) - open - 1);
    for (char& c : inside) {
        c = c == ',' ? ' ' : c;
    }
    std::vector<double> out;
    for (const std::string& word : words(inside)) {
        out.push_back(std::stod(word));
    }
    return out;
}

TEST(SoilFiles, ApsimPhysicalNodeInItsUnits) {
    const std::vector<SoilFile> files = write(SoilFormat::apsim, {loam()});
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(files[0].name, "P1.json");
    const std::string& text = files[0].text;
    EXPECT_NE(text.find("\"$type\": \"Models.Soils.Physical, Models\""), std::string::npos);
    const std::map<std::string, std::vector<double>> expected{
        {"Thickness", {300, 700}},
        {"BD", {1.4, 1.5}},
        {"LL15", {0.15, 0.12}},
        {"DUL", {0.30, 0.25}},
        {"SAT", {0.45, 0.40}},
        {"KS", {240, 48}},
        // Half of LL15 in the top 15 cm, LL15 from 30 cm.
        {"AirDry", {0.075, 0.12}},
        {"ParticleSizeClay", {20, 30}},
        {"Rocks", {0, 10}}};
    for (const auto& [key, values] : expected) {
        EXPECT_EQ(jsonArray(text, key), values) << key;
    }
    // A JSON object: balanced, and no comma before its closing brace.
    EXPECT_EQ(text.find(",\n}"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(SoilFiles, EveryFormatRefusesAProfileItCannotWrite) {
    SoilProfile gap = loam();
    gap.layers[0].top = 40; // 30-40 cm uncovered
    SoilProfile overlap = loam();
    overlap.layers[0].top = 20;
    SoilProfile deep = loam();
    deep.layers[1].top = 5; // nothing from the surface to 5 cm
    SoilProfile noFc = loam();
    noFc.layers[0].fc = NoValue;
    const std::vector<std::pair<SoilProfile, std::string>> cases{
        {gap, "profile P1: a gap between 30 and 40 cm"},
        {overlap, "profile P1: the horizon at 20-100 cm overlaps the one above"},
        {deep, "profile P1: a gap between 0 and 5 cm"},
        {noFc, "profile P1: the horizon at 30-100 cm has no FC"}};
    for (const SoilFormat format : allSoilFormats) {
        for (const auto& [profile, message] : cases) {
            try {
                write(format, {loam("good"), profile});
                ADD_FAILURE() << name(format) << ": " << message;
            } catch (const base::Error& error) {
                EXPECT_EQ(error.what(), message) << name(format);
            }
        }
    }
}

TEST(SoilFiles, QuantitiesAFormatNeedsAndWholeCentimetres) {
    SoilProfile noKs = loam();
    noKs.layers[1].ks = NoValue;
    SoilProfile noDensity = loam();
    noDensity.layers[1].bulkDensity = NoValue;
    SoilProfile halfCm = loam();
    halfCm.layers[1].bottom = 30.5;
    halfCm.layers[0].top = 30.5;
    EXPECT_THROW(write(SoilFormat::aquacrop, {noKs}), base::Error);
    EXPECT_THROW(write(SoilFormat::apsim, {noDensity}), base::Error);
    EXPECT_THROW(write(SoilFormat::fao56, {halfCm}), base::Error);
    EXPECT_NO_THROW(write(SoilFormat::dssat, {noKs}));      // -99
    EXPECT_NO_THROW(write(SoilFormat::aquacrop, {halfCm})); // thickness 0.305 m
}

TEST(SoilFiles, OneFilePerProfileOrOneForAll) {
    const std::vector<SoilProfile> two{loam("A1"), loam("B2")};
    const std::vector<std::pair<SoilFormat, std::vector<std::string>>> cases{
        {SoilFormat::fao56, {"A1.sol", "A1_taw.csv", "B2.sol", "B2_taw.csv"}},
        {SoilFormat::aquacrop, {"A1.SOL", "B2.SOL"}},
        {SoilFormat::apsim, {"A1.json", "B2.json"}},
        {SoilFormat::dssat, {""}}};
    for (const auto& [format, names] : cases) {
        std::vector<std::string> written;
        for (const SoilFile& file : write(format, two)) {
            written.push_back(file.name);
        }
        EXPECT_EQ(written, names) << name(format);
        EXPECT_EQ(filePerProfile(format), names.size() > 1) << name(format);
    }
    const std::string dssat = write(SoilFormat::dssat, two)[0].text;
    EXPECT_EQ(dssatLayers(dssat, "A1        ")["SLB"].size(), 2U);
    EXPECT_EQ(dssatLayers(dssat, "B2        ")["SLB"].size(), 2U);
}

TEST(SoilFiles, IdsBecomeSafeFileNames) {
    const std::vector<SoilFile> files = write(SoilFormat::aquacrop, {loam("../etc/x y")});
    EXPECT_EQ(files[0].name, "_._etc_x_y.SOL");
    // A line break in an id cannot add a line to a file whose lines are counted.
    for (const SoilFormat format : {SoilFormat::fao56, SoilFormat::aquacrop}) {
        EXPECT_EQ(lines(write(format, {loam("a\nb")})[0].text).size(),
                  lines(write(format, {loam("ab")})[0].text).size())
            << name(format);
    }
    // Two ids that make one name would overwrite each other.
    EXPECT_THROW(write(SoilFormat::aquacrop, {loam("a/b"), loam("A_b")}), base::Error);
}

TEST(SoilFiles, AquacropDerivationsAtTheirBounds) {
    // Hydrologic groups by Ksat (mm/day): A above 864, B from 347, C from 36, D below.
    const std::vector<std::pair<double, int>> groups{{1000, 46}, {864, 61}, {347, 61},
                                                     {346, 72},  {36, 72},  {35, 77}};
    for (const auto& [ksat, number] : groups) {
        EXPECT_EQ(curveNumber(ksat), number) << ksat;
    }
    // The top 40 mm down to half of WP: sand 10/4 -> 3 mm, clay 45/30 -> 12 mm; at most 15.
    EXPECT_DOUBLE_EQ(readilyEvaporableWater(10, 4), 3.0);
    EXPECT_DOUBLE_EQ(readilyEvaporableWater(45, 30), 12.0);
    EXPECT_DOUBLE_EQ(readilyEvaporableWater(60, 10), 15.0);
}

} // namespace
} // namespace talvo::table
