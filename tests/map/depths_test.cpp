// Root-zone maps from layered rasters (--depths) in the soil grids' units, against each
// cell's horizons reckoned one by one through the engine: the soil of its texts on the USDA
// scale, horizonWater() and a Profile, as talvo-batch --profiles sums them.

#include "estimation/estimation.h"
#include "map/map_runs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace talvo::map::test {
namespace {

using estimation::CoarseFragmentBasis;

struct TestLayer {
    double top;
    double bottom;
    std::string name;
};

// The grids' depths down to 60 cm, named as they name them.
const std::vector<TestLayer> testLayers{
    {0, 5, "0-5cm"}, {5, 15, "5-15cm"}, {15, 30, "15-30cm"}, {30, 60, "30-60cm"}};

// Each layer's rasters as stored: sand, silt, clay (g/kg), soc (dg/kg), bdod (cg/cm³) and
// cfvo (cm³/dm³), int16 with nodata.
struct LayeredSoils {
    fs::path folder;
    RasterLayout layout{300, 30};
    std::vector<std::array<std::vector<double>, 6>> raw; // by layer
};

constexpr std::array<const char*, 6> quantities{"sand", "silt", "clay", "soc", "bdod", "cfvo"};

fs::path rasterPath(const fs::path& folder, std::size_t quantity, const std::string& depth) {
    return folder / (std::string(quantities[quantity]) + "_" + depth + "_mean.tif");
}

LayeredSoils makeLayeredSoils(const std::string& name) {
    LayeredSoils soils{testFolder(name), {300, 30}, {}};
    const auto cells = static_cast<std::size_t>(soils.layout.width) *
                       static_cast<std::size_t>(soils.layout.height);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> content(0, 1000);
    for (std::size_t layer = 0; layer < testLayers.size(); ++layer) {
        std::array<std::vector<double>, 6>& raw = soils.raw.emplace_back();
        for (std::size_t i = 0; i < cells; ++i) {
            const int sand = content(random);
            const int clay = std::uniform_int_distribution<int>(0, 1000 - sand)(random);
            raw[0].push_back(sand);
            raw[1].push_back(1000 - sand - clay);
            raw[2].push_back(clay);
            raw[3].push_back(std::uniform_int_distribution<int>(0, 600)(random));
            raw[4].push_back(std::uniform_int_distribution<int>(90, 190)(random));
            raw[5].push_back(std::uniform_int_distribution<int>(0, 500)(random));
        }
        // Nodata: sand in one layer (missing), bulk density here and there (assumed), stones.
        for (std::size_t i = 0; i < cells; i += 11) {
            raw[4][i] = Nodata;
        }
        if (layer == 2) {
            for (std::size_t i = 0; i < cells; i += 13) {
                raw[0][i] = Nodata;
            }
            raw[5][5] = Nodata;
        }
    }
    // A cell of sea: nothing in any layer.
    for (std::array<std::vector<double>, 6>& raw : soils.raw) {
        for (std::vector<double>& values : raw) {
            values[7] = Nodata;
        }
    }
    for (std::size_t layer = 0; layer < testLayers.size(); ++layer) {
        for (std::size_t quantity = 0; quantity < quantities.size(); ++quantity) {
            writeRaster(rasterPath(soils.folder, quantity, testLayers[layer].name), soils.layout,
                        soils.raw[layer][quantity]);
        }
    }
    return soils;
}

std::string pattern(const fs::path& folder, std::size_t quantity) {
    return rasterPath(folder, quantity, "{depth}").string();
}

// --sand, --silt, --clay and --oc, each a pattern.
std::vector<std::string> soilPatterns(const fs::path& folder) {
    std::vector<std::string> arguments;
    for (std::size_t quantity = 0; quantity < 4; ++quantity) {
        arguments.insert(arguments.end(),
                         {"--" + std::string(estimation::name(estimation::allInputs[quantity])),
                          pattern(folder, quantity)});
    }
    return arguments;
}

struct DepthRun {
    int model;
    double rootDepth;
    CoarseFragmentBasis basis;
    bool withDensity; // --bd given
};

// The bands the cell should hold: taw_0_30, taw_0_100, taw_root, flags.
std::array<double, 4> reckoned(const LayeredSoils& soils, const DepthRun& run, std::size_t cell) {
    const estimation::PtfModel& model =
        estimation::ModelCatalogue.at(static_cast<std::size_t>(run.model));
    estimation::Profile profile;
    estimation::Flags flags;
    bool any = false;
    for (std::size_t layer = 0; layer < testLayers.size(); ++layer) {
        const auto& raw = soils.raw[layer];
        const estimation::SoilEstimate soil = estimation::estimateSoil(
            model,
            {cellText(raw[0][cell]), cellText(raw[1][cell]), cellText(raw[2][cell]),
             estimation::modelCarbonUnit(model) == estimation::CarbonUnit::percent
                 ? percentText(raw[3][cell])
                 : cellText(raw[3][cell])},
            {}, estimation::Precision::general, estimation::ParticleSizeScale::usda);
        flags |= soil.flags();
        const double density =
            run.withDensity && raw[4][cell] != Nodata ? raw[4][cell] / 100.0 : std::nan("");
        const double stones = raw[5][cell] != Nodata ? raw[5][cell] / 10.0 : std::nan("");
        const auto numbers = soil.numbers();
        const double thickness = (testLayers[layer].bottom - testLayers[layer].top) * 10.0;
        const std::optional<estimation::HorizonWater> water =
            numbers ? estimation::horizonWater(model, (*numbers)[0], (*numbers)[1],
                                               {density, stones, run.basis}, thickness)
                    : std::nullopt;
        estimation::addHorizonFlags(water, flags); // bd, porosity
        any = any || water.has_value();
        profile.add(testLayers[layer].top, testLayers[layer].bottom,
                    water ? std::optional(water->waterMm) : std::nullopt);
    }
    if (!any) {
        return {std::nan(""), std::nan(""), std::nan(""), std::nan("")};
    }
    const estimation::ProfileWater sums = profile.water({run.rootDepth, 0.5});
    return {sums.topsoil, sums.subsoil, sums.root,
            // The soil's bits 0-7, the profile's from 8, the soil's domain at 12.
            static_cast<double>((flags.bits() & 0xFFU) |
                                (static_cast<unsigned>(sums.flags.bits()) << 8U) |
                                (flags.contains(estimation::Flag::domain) ? 1U << 12U : 0U))};
}

// Gravimetric and volumetric models, a root depth that cuts a layer and one below them all,
// stones by volume and by weight, with and without bulk density.
TEST(DepthsTest, EveryCellIsItsProfileOfHorizons) {
    const LayeredSoils soils = makeLayeredSoils("depths");
    const fs::path out = soils.folder / "taw.tif";
    const std::vector<DepthRun> runs{
        {0, 100, CoarseFragmentBasis::volume, true}, {1, 45, CoarseFragmentBasis::weight, true},
        {1, 20, CoarseFragmentBasis::volume, false}, {2, 50, CoarseFragmentBasis::weight, false},
        {5, 60, CoarseFragmentBasis::volume, true},
    };
    for (const DepthRun& run : runs) {
        SCOPED_TRACE(testing::Message() << "model " << run.model << ", root " << run.rootDepth);
        std::vector<std::string> arguments = soilPatterns(soils.folder);
        arguments.insert(arguments.end(),
                         {"--model", std::to_string(run.model), "--soilgrids", "--depths",
                          "0-5cm,5-15cm,15-30cm,30-60cm", "--root-depth",
                          estimation::generalText(run.rootDepth), "--cf-by",
                          run.basis == CoarseFragmentBasis::volume ? "volume" : "weight", "--cf",
                          pattern(soils.folder, 5), "--type", "Float64", "--output", out.string()});
        if (run.withDensity) {
            arguments.insert(arguments.end(), {"--bd", pattern(soils.folder, 4)});
        }
        const Outcome outcome = runMap(arguments);
        ASSERT_EQ(outcome.status, 0) << outcome.errorText;
        EXPECT_NE(outcome.errorText.find("1 without an estimate"), std::string::npos)
            << outcome.errorText;
        const auto bands = readBands(out);
        ASSERT_EQ(bands.size(), 4U);
        for (std::size_t i = 0; i < bands[0].size(); ++i) {
            const std::array<double, 4> expected = reckoned(soils, run, i);
            for (std::size_t band = 0; band < 4; ++band) {
                if (std::isnan(expected[band])) {
                    ASSERT_TRUE(std::isnan(bands[band][i])) << "cell " << i << " band " << band;
                } else {
                    ASSERT_EQ(bands[band][i], expected[band]) << "cell " << i << " band " << band;
                }
            }
        }
    }
}

// The bands say what they hold, and the flags band names its bits, the profile's from 8 and
// the soil's later ones above them; a map in g/kg read as percent is pointed out as in a
// single-layer map.
TEST(DepthsTest, BandsAndFlagBitsAreNamed) {
    const LayeredSoils soils = makeLayeredSoils("depths-named");
    const fs::path out = soils.folder / "taw.tif";
    const Outcome outcome =
        runMap(soilPatterns(soils.folder), {"--model", "0", "--soilgrids", "--depths",
                                            "0-5cm,15-30cm", "--output", out.string()});
    ASSERT_EQ(outcome.status, 0) << outcome.errorText;
    const GDALDatasetUniquePtr map(GDALDataset::Open(out.c_str(), GDAL_OF_RASTER));
    ASSERT_EQ(map->GetRasterCount(), 4);
    const std::array<std::string, 4> names{"taw_0_30", "taw_0_100", "taw_root", "flags"};
    for (int band = 1; band <= 4; ++band) {
        EXPECT_EQ(map->GetRasterBand(band)->GetDescription(),
                  names.at(static_cast<std::size_t>(band - 1)));
    }
    EXPECT_STREQ(map->GetRasterBand(1)->GetUnitType(), "mm");
    GDALRasterBand* const flags = map->GetRasterBand(4);
    EXPECT_STREQ(flags->GetMetadataItem("BIT_5"), "psd");
    EXPECT_STREQ(flags->GetMetadataItem("BIT_6"), "bd");
    EXPECT_STREQ(flags->GetMetadataItem("BIT_8"), "gap");
    EXPECT_STREQ(flags->GetMetadataItem("BIT_11"), "missing");
    EXPECT_STREQ(flags->GetMetadataItem("BIT_12"), "domain");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_DEPTHS"), "0-5cm,15-30cm");
    // The layers leave 5-15 cm uncovered: every cell says so.
    const auto bands = readBands(out);
    EXPECT_EQ(static_cast<int>(bands[3][0]) & (1 << 8), 1 << 8);

    // g/kg read as percent: the top layer's cells give it away, counted once a cell.
    const Outcome grams =
        runMap(soilPatterns(soils.folder),
               {"--model", "0", "--depths", "0-5cm,5-15cm", "--output", out.string()});
    ASSERT_EQ(grams.status, 0) << grams.errorText;
    EXPECT_NE(grams.errorText.find(" of 8999 cells hold sand, silt or clay above 100 %"),
              std::string::npos)
        << grams.errorText;
}

// What cannot make a root-zone map stops before anything is written, with status 2.
TEST(DepthsTest, RefusesWhatCannotBeMapped) {
    const LayeredSoils soils = makeLayeredSoils("depths-refused");
    const fs::path out = soils.folder / "taw.tif";
    std::vector<std::string> soil = soilPatterns(soils.folder);
    soil.insert(soil.end(), {"--model", "0", "--output", out.string(), "--soilgrids"});
    struct Refused {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Refused> cases{
        {{"--depths", "0-5cm", "--type", "Int16"}, "--type Int16 stores hundredths"},
        {{"--depths", "5-0"}, "--depths: layer 5-0: give 0 <= top < bottom"},
        {{"--depths", "0-5,x"}, "'x' is no layer"},
        {{"--depths", "0-5cm", "--bd", (soils.folder / "bdod.tif").string()}, "holds no {depth}"},
        {{"--bd", pattern(soils.folder, 4)}, "--bd requires --depths"},
        {{"--depths", "0-5cm", "--root-depth", "nan"}, "give a depth in cm above 0"},
        // Depths whose water in mm overflows, or lies far below any soil.
        {{"--depths", "0-1e308"}, "--depths: layer 0-1e308: give 0 <= top < bottom <= 10000"},
        {{"--depths", "0-5,5-10001"}, "layer 5-10001: give 0 <= top < bottom <= 10000"},
        {{"--depths", "0-5cm", "--root-depth", "1e7"},
         "--root-depth '1e7': give a depth in cm above 0 and at most 10000"},
        {{"--depths", "0-5cm", "--precision", "fixed"}, "excludes"},
        {{"--depths", "0-5cm,5-10cm"}, "cannot read --sand"},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.message);
        const Outcome outcome = runMap(soil, refused.arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.errorText.find(refused.message), std::string::npos) << outcome.errorText;
        EXPECT_FALSE(fs::exists(out));
    }
}

} // namespace
} // namespace talvo::map::test
