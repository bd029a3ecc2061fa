// talvo-map --sd end to end: each cell's percentiles against talvo-batch --sd's for the same
// soils written as text, whatever windows and threads the cells come in.

#include "map/map_runs.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gdal_priv.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvo::map::test {
namespace {

constexpr std::array<const char*, 9> Percentiles{
    "fc_p05", "fc_p50", "fc_p95", "pwp_p05", "pwp_p50", "pwp_p95", "awc_p05", "awc_p50", "awc_p95"};
constexpr std::size_t SoilBands = 5; // fc, pwp, awc, flags, texture

// Two blocks across, the second short, with soils here and there in both and nodata between:
// 1,000 draws a soil take a millisecond in a debug build. In tenths, as the soil grids hold
// them: soils that sum to 100 % and some that do not, sand near 0 (draws cut at 0), beyond
// 100 % (none fall within) and no OC.
Soils spreadSoils(const std::string& name) {
    Soils soils{testFolder(name), {300, 2}, {}};
    const std::vector<std::array<double, 4>> chosen{
        {523, 233, 244, 100},   {400, 400, 200, 50}, {100, 600, 300, 25},  {855, 45, 100, 4},
        {333, 333, 334, 17},    {5, 495, 500, 300},  {700, 100, 200, 120}, {200, 200, 600, 0},
        {600, 300, 300, 80},    {1200, 0, 0, 10},    {10, 10, 980, 2499},  {450, 350, 200, 9},
        {Nodata, 300, 300, 10}, {950, 30, 20, 1},    {250, 250, 500, 60},  {0, 500, 500, 30},
    };
    for (std::vector<double>& raw : soils.raw) {
        raw.assign(600, Nodata);
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        for (std::size_t input = 0; input < 4; ++input) {
            soils.raw[input][i * 37] = chosen[i][input];
        }
    }
    for (const estimation::Input input : estimation::allInputs) {
        writeRaster(soils.raster(input), soils.layout, soils.raw[static_cast<std::size_t>(input)]);
    }
    return soils;
}

// Each row's percentile texts as talvo-batch wrote them, empty where it wrote none.
std::vector<std::array<std::string, 9>> batchPercentiles(const fs::path& path) {
    std::ifstream file(path);
    table::CsvReader reader(file, ',');
    table::Records records;
    while (reader.next(records)) {
    }
    const table::RecordView header = records[0];
    std::array<std::size_t, 9> columns{};
    for (std::size_t p = 0; p < columns.size(); ++p) {
        columns[p] = header.size();
        for (std::size_t i = 0; i < header.size(); ++i) {
            columns[p] = header[i] == Percentiles[p] ? i : columns[p];
        }
        if (columns[p] == header.size()) {
            throw std::runtime_error(std::string("no column ") + Percentiles[p]);
        }
    }
    std::vector<std::array<std::string, 9>> rows;
    for (std::size_t i = 1; i < records.size(); ++i) {
        std::array<std::string, 9> row{};
        for (std::size_t p = 0; p < columns.size(); ++p) {
            row[p] = std::string(records[i][columns[p]]);
        }
        rows.push_back(row);
    }
    return rows;
}

// The soils, and a spread of sand for each in tenths as a raster holds it: 1.5 to 3.5 %, one
// nodata and one below 0.
void writeTable(const Soils& soils, const std::vector<double>& sandSpread, const fs::path& table) {
    std::ofstream out(table);
    out << "sand,silt,clay,oc,sand_sd\n";
    for (std::size_t i = 0; i < soils.raw[0].size(); ++i) {
        out << cellText(soils.raw[0][i]) << ',' << cellText(soils.raw[1][i]) << ','
            << cellText(soils.raw[2][i]) << ',' << cellText(soils.raw[3][i]) << ','
            << cellText(sandSpread[i]) << '\n';
    }
}

std::vector<double> sandSpread(const Soils& soils, const fs::path& raster) {
    std::vector<double> raw(soils.raw[0].size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = i == 74 ? Nodata : (i == 185 ? -10 : 15 + static_cast<double>(i % 5) * 5);
    }
    writeRaster(raster, soils.layout, raw);
    return raw;
}

// What a band of `type` holds for a percentile's text: in Int16 its hundredths, the step the
// band's scale states.
double expectedCell(const std::string& text, const std::string& type) {
    const double number = std::strtod(text.c_str(), nullptr);
    if (type == "Float32") {
        return static_cast<float>(number);
    }
    return type == "Int16" ? std::round(number * 100) : number;
}

struct SpreadCase {
    const char* model;
    const char* sd;
    std::string mapSd;             // where a raster stands for batch's column
    std::vector<std::string> more; // for both tools
    const char* precision;
    std::vector<std::string> types; // Int16 holds the two-decimal values alone
};

// Each cell's nine percentiles are talvo-batch's for the row of the cell's numbers as text:
// the same draws from the same seed, rounded as its texts are; none where batch wrote none
// (failed soils, too little room to draw in). OC's spread follows OC into each model's unit.
TEST(SpreadsTest, EveryCellsPercentilesAreTheBatchTools) {
    const Soils soils = spreadSoils("spreads");
    const fs::path table = soils.folder / "soils.csv";
    const fs::path sandSd = soils.folder / "sand_sd.tif";
    writeTable(soils, sandSpread(soils, sandSd), table);
    const fs::path batchOut = soils.folder / "batch.csv";
    const fs::path out = soils.folder / "out.tif";
    const std::vector<SpreadCase> cases{
        {"0", "sand=2,clay=2", "", {}, "fixed", {"Float32", "Int16"}},
        {"2", "sand=3,oc=1", "", {"--seed", "7", "--draws", "1500"}, "general", {"Float64"}},
        {"1", "silt=4,oc=2.5", "", {"--psd", "usda"}, "fixed", {"Int16"}},
        {"0",
         "sand=sand_sd,clay=1",
         "sand=" + sandSd.string() + ",clay=1",
         {},
         "fixed",
         {"Float32"}},
    };
    for (const SpreadCase& c : cases) {
        std::vector<std::string> batch{"--model",     c.model,          "--sd",      c.sd,
                                       "--precision", c.precision,      "--oc-unit", "g/kg",
                                       "--output",    batchOut.string()};
        batch.insert(batch.end(), c.more.begin(), c.more.end());
        batch.push_back(table.string());
        ASSERT_NE(runProgram(TALVO_BATCH_EXE, batch).status, 2);
        const auto rows = batchPercentiles(batchOut);
        for (const std::string& type : c.types) {
            SCOPED_TRACE(testing::Message() << c.model << ' ' << c.sd << ' ' << type);
            std::vector<std::string> map{"--model", c.model, "--sd",
                                         c.mapSd.empty() ? std::string(c.sd) : c.mapSd};
            map.insert(map.end(), {"--scale", "sand=0.1,silt=0.1,clay=0.1,oc=0.1", "--precision",
                                   c.precision, "--type", type, "--output", out.string()});
            map.insert(map.end(), c.more.begin(), c.more.end());
            const Outcome outcome = runMap(soils.inputs(), map);
            ASSERT_EQ(outcome.status, 0) << outcome.errorText;
            const auto bands = readBands(out);
            ASSERT_EQ(bands.size(), SoilBands + Percentiles.size());
            ASSERT_EQ(rows.size(), bands[0].size());
            std::size_t drawn = 0;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                drawn += rows[i][0].empty() ? 0U : 1U;
                for (std::size_t p = 0; p < Percentiles.size(); ++p) {
                    const double cell = bands[SoilBands + p][i];
                    if (rows[i][p].empty()) {
                        ASSERT_TRUE(type == "Int16" ? cell == Nodata : std::isnan(cell))
                            << "cell " << i << ' ' << Percentiles[p];
                    } else {
                        ASSERT_EQ(cell, expectedCell(rows[i][p], type))
                            << "cell " << i << ' ' << Percentiles[p] << ' ' << rows[i][p];
                    }
                }
            }
            EXPECT_GE(drawn, 12U); // the comparison is not of nodata alone
        }
    }
}

// A cell's draws start from the seed wherever it lies: one thread over tiled inputs and three
// over striped ones (windows of other heights) give the same map, byte for byte. The bands
// say what they hold, and the map its spreads, draws and seed.
TEST(SpreadsTest, TheSameMapWhateverTheWindowsAndThreads) {
    const Soils soils = spreadSoils("spread-windows");
    const fs::path striped = soils.folder / "striped";
    fs::create_directories(striped);
    RasterLayout layout = soils.layout;
    layout.striped = true;
    std::vector<std::string> stripedInputs;
    for (const estimation::Input input : estimation::allInputs) {
        const std::string name(estimation::name(input));
        const fs::path path = striped / (name + ".tif");
        writeRaster(path, layout, soils.raw[static_cast<std::size_t>(input)]);
        stripedInputs.insert(stripedInputs.end(), {"--" + name, path.string()});
    }
    const std::vector<std::string> options{
        "--model", "0",      "--sd",  "sand=2.5,silt=1", "--seed",
        "42",      "--type", "Int16", "--scale",         "sand=0.1,silt=0.1,clay=0.1,oc=0.1"};
    const fs::path one = soils.folder / "one.tif";
    const fs::path three = soils.folder / "three.tif";
    std::vector<std::string> more = options;
    more.insert(more.end(), {"--threads", "1", "--output", one.string()});
    ASSERT_EQ(runMap(soils.inputs(), more).status, 0);
    more = options;
    more.insert(more.end(), {"--threads", "3", "--output", three.string()});
    ASSERT_EQ(runMap(stripedInputs, more).status, 0);
    expectSameBands(three, one);

    const GDALDatasetUniquePtr map(GDALDataset::Open(one.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetMetadataItem("TALVO_SD"), "sand=2.5,silt=1");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_DRAWS"), "1000");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_SEED"), "42");
    for (std::size_t p = 0; p < Percentiles.size(); ++p) {
        GDALRasterBand* const band = map->GetRasterBand(static_cast<int>(SoilBands + p) + 1);
        EXPECT_STREQ(band->GetDescription(), Percentiles[p]);
        EXPECT_STREQ(band->GetUnitType(), p < 6 ? "% w/w" : "mm") << Percentiles[p];
        EXPECT_EQ(band->GetScale(), 0.01);
        EXPECT_EQ(band->GetNoDataValue(), Nodata);
    }
}

// What --sd cannot map: one line, status 2.
TEST(SpreadsTest, RefusesWhatItCannotDraw) {
    const Soils soils = spreadSoils("spread-refusals");
    const std::string sand = soils.raster(estimation::Input::sand).string();
    const std::string out = (soils.folder / "out.tif").string();
    RasterLayout layout = soils.layout;
    layout.height = 1;
    const std::string shorter = (soils.folder / "short.tif").string();
    writeRaster(shorter, layout, std::vector<double>(300, 10.0));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--sd", "clay=" + shorter},
         "--sand " + sand + " and --sd clay " + shorter + " differ in size: 300x2 against 300x1"},
        {{"--sd", "sand=1,silt=1,clay=1"},
         "--sd gives sand, silt and clay: give at most two, as the third takes up their "
         "difference so that every draw keeps their sum"},
        {{"--sd", "sand=-1"},
         "--sd 'sand=-1': give NAME=NUMBER or NAME=HEADER, NAME sand, silt, clay or oc, NUMBER a "
         "standard deviation of 0 or more, such as --sd sand=2,clay=clay_sd"},
        {{"--sd", "sand=1", "--draws", "999"},
         "--draws '999': give a whole number from 1000 to 1000000"},
        {{"--seed", "3"}, "--seed requires --sd (see --help)"},
        {{"--sd", "sand=1", "--depths", "0-5"},
         "--sd maps the percentiles of one soil's FC, PWP and AWC: give it without --depths or "
         "--hydraulics"},
    };
    for (const auto& [more, message] : cases) {
        std::vector<std::string> arguments{"--model", "0", "--output", out};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const Outcome outcome = runMap(soils.inputs(), arguments);
        EXPECT_EQ(outcome.status, 2) << message;
        EXPECT_EQ(outcome.errorText, "talvo-map: " + message);
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace
} // namespace talvo::map::test
