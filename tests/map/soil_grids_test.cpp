// Maps of the global soil grids as published: int16 sand, silt and clay in g/kg and organic
// carbon in dg/kg on the USDA particle-size scale, against the engine's one-soil estimate of
// each cell's texts on that scale.

#include "estimation/estimation.h"
#include "map/map_runs.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace talvo::map::test {
namespace {

using estimation::ParticleSizeScale;

// Every model, in both precisions: a cell of --soilgrids is the soil of its texts ("52.3")
// estimated alone on the USDA scale, with its flags (psd among them) and its class on the
// USDA triangle, which the map's class table names.
TEST(SoilGridsTest, EveryCellIsTheEnginesUsdaSoil) {
    const Soils soils = makeSoils("soilgrids", 300, 30);
    const fs::path out = soils.folder / "out.tif";
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        for (const auto precision :
             {estimation::Precision::fixed, estimation::Precision::general}) {
            const bool fixed = precision == estimation::Precision::fixed;
            SCOPED_TRACE(testing::Message() << model.listText << (fixed ? " fixed" : " general"));
            const Outcome outcome =
                runMap(soils.inputs(), {"--model", std::to_string(model.position), "--soilgrids",
                                        "--precision", fixed ? "fixed" : "general", "--type",
                                        "Float64", "--output", out.string()});
            ASSERT_EQ(outcome.status, 0) << outcome.errorText;
            EXPECT_EQ(outcome.errorText.find("warning"), std::string::npos);
            const auto bands = readBands(out);
            for (std::size_t i = 0; i < bands[0].size(); ++i) {
                std::array<std::string, 4> texts;
                for (std::size_t input = 0; input < 4; ++input) {
                    texts[input] = cellText(soils.raw[input][i]);
                }
                const estimation::SoilEstimate soil =
                    estimation::estimateSoil(model, {texts[0], texts[1], texts[2], texts[3]}, {},
                                             precision, ParticleSizeScale::usda);
                const auto numbers = soil.numbers();
                if (!numbers) {
                    ASSERT_TRUE(std::isnan(bands[0][i])) << "cell " << i;
                    continue;
                }
                for (std::size_t r = 0; r < 3; ++r) {
                    ASSERT_EQ(bands[r][i], (*numbers)[r]) << "cell " << i;
                }
                ASSERT_EQ(bands[3][i], soil.flags().bits()) << "cell " << i;
                ASSERT_TRUE(soil.flags().contains(estimation::Flag::psd));
                ASSERT_EQ(bands[4][i], soil.texture() ? static_cast<double>(*soil.texture())
                                                      : static_cast<double>(estimation::NoTexture))
                    << "cell " << i;
            }
        }
    }
    std::map<double, std::string> names{{estimation::NoTexture, "none"}};
    for (const estimation::TextureClass texture :
         estimation::textureClasses(ParticleSizeScale::usda)) {
        names[static_cast<double>(texture)] = std::string(estimation::name(texture));
    }
    EXPECT_EQ(textureNames(out), names);
    const GDALDatasetUniquePtr map(GDALDataset::Open(out.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetRasterBand(5)->GetMetadataItem("TRIANGLE"), "usda");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_PSD"), "usda");
}

// --psd usda on percentages is --soilgrids without the scales; international keeps the map
// as it was, and its class table names the international triangle.
TEST(SoilGridsTest, PsdChoosesTheScaleAndTheTriangle) {
    const Soils soils = makeSoils("psd", 300, 30);
    const fs::path grids = soils.folder / "grids.tif";
    const fs::path usda = soils.folder / "usda.tif";
    const fs::path international = soils.folder / "international.tif";
    const std::vector<std::string> common{"--model", "1", "--type", "Int16"};
    std::vector<std::string> arguments = common;
    arguments.insert(arguments.end(), {"--soilgrids", "--output", grids.string()});
    ASSERT_EQ(runMap(soils.inputs(), arguments).status, 0);
    arguments = common;
    arguments.insert(arguments.end(), {"--scale", "sand=0.1,silt=0.1,clay=0.1,oc=0.1", "--psd",
                                       "usda", "--output", usda.string()});
    ASSERT_EQ(runMap(soils.inputs(), arguments).status, 0);
    expectSameBands(usda, grids);
    arguments = common;
    arguments.insert(arguments.end(), {"--scale", "sand=0.1,silt=0.1,clay=0.1,oc=0.1", "--psd",
                                       "international", "--output", international.string()});
    ASSERT_EQ(runMap(soils.inputs(), arguments).status, 0);
    const GDALDatasetUniquePtr map(GDALDataset::Open(international.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetRasterBand(5)->GetMetadataItem("TRIANGLE"), "international");
    EXPECT_EQ(textureNames(international).at(0), "heavy clay");
    const auto bands = readBands(international);
    for (const double flags : bands[3]) {
        ASSERT_TRUE(flags == Nodata || (static_cast<int>(flags) & 32) == 0);
    }
}

} // namespace
} // namespace talvo::map::test
