// The map's file as GIS tools read it: each compression, the Cloud Optimized layout with its
// overviews, and both whole or not at all.

#include "map/map_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gdal_priv.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvo::map::test {
namespace {

std::string imageStructure(const fs::path& path, const char* item) {
    const GDALDatasetUniquePtr map(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    const char* const value = map->GetMetadataItem(item, "IMAGE_STRUCTURE");
    return value != nullptr ? value : "";
}

// Every compression gives back the cells of an uncompressed map, bit for bit, in each type;
// integers go with the horizontal predictor, floating point and LERC without.
TEST(LayoutTest, EachCompressionReadsBackBitForBit) {
    const Soils soils = makeSoils("compress", 300, 40);
    std::vector<std::string> common = soils.inputs();
    common.insert(common.end(), {"--model", "1", "--soilgrids"});
    for (const std::string type : {"Float32", "Float64", "Int16"}) {
        const fs::path plain = soils.folder / ("plain" + type + ".tif");
        ASSERT_EQ(runMap(common, {"--type", type, "--compress", "none", "--output", plain.string()})
                      .status,
                  0);
        EXPECT_EQ(imageStructure(plain, "COMPRESSION"), "");
        for (const std::string compression : {"deflate", "zstd", "lerc"}) {
            SCOPED_TRACE(testing::Message() << type << " " << compression);
            const fs::path out = soils.folder / (compression + type).append(".tif");
            const Outcome outcome = runMap(
                common, {"--type", type, "--compress", compression, "--output", out.string()});
            ASSERT_EQ(outcome.status, 0) << outcome.errorText;
            std::string method = compression;
            std::ranges::transform(method, method.begin(), ::toupper);
            EXPECT_EQ(imageStructure(out, "COMPRESSION"), method);
            const bool predicted = type == "Int16" && compression != "lerc";
            EXPECT_EQ(imageStructure(out, "PREDICTOR"), predicted ? "2" : "");
            expectSameBands(out, plain);
        }
    }
}

// --cog passes GDAL's own check of the layout (overviews after the full map, tiles in order,
// headers first), with overviews down to one block, the same cells, scale and class names;
// and no scratch file stays.
TEST(LayoutTest, ACogIsValidWithOverviews) {
    const Soils soils = makeSoils("cog", 600, 600); // overviews of 300 and 150
    std::vector<std::string> common = soils.inputs();
    common.insert(common.end(), {"--model", "0", "--soilgrids"});
    for (const auto& [type, compression] :
         {std::pair{"Int16", "zstd"}, std::pair{"Float32", "deflate"}}) {
        SCOPED_TRACE(std::string(type) + " " + compression);
        const fs::path tiled = soils.folder / "tiled.tif";
        const fs::path cog = soils.folder / "cog.tif";
        const std::vector<std::string> layout{"--type", type, "--compress", compression};
        std::vector<std::string> tiledLayout = layout;
        tiledLayout.insert(tiledLayout.end(), {"--output", tiled.string()});
        ASSERT_EQ(runMap(common, tiledLayout).status, 0);
        std::vector<std::string> cogLayout = layout;
        cogLayout.insert(cogLayout.end(), {"--cog", "--output", cog.string()});
        const Outcome outcome = runMap(common, cogLayout);
        ASSERT_EQ(outcome.status, 0) << outcome.errorText;

        const Outcome check = runProgram(
            "/usr/bin/python3",
            {"-m", "osgeo_utils.samples.validate_cloud_optimized_geotiff", "-q", cog.string()});
        EXPECT_EQ(check.status, 0) << check.errorText;
        EXPECT_EQ(imageStructure(cog, "LAYOUT"), "COG");
        expectSameBands(cog, tiled);
        const GDALDatasetUniquePtr map(GDALDataset::Open(cog.c_str(), GDAL_OF_RASTER));
        for (int b = 1; b <= 5; ++b) {
            GDALRasterBand* const band = map->GetRasterBand(b);
            ASSERT_EQ(band->GetOverviewCount(), 2) << "band " << b;
            EXPECT_EQ(band->GetOverview(1)->GetXSize(), 150);
        }
        EXPECT_EQ(map->GetRasterBand(1)->GetScale(), type == std::string("Int16") ? 0.01 : 1.0);
        EXPECT_EQ(textureNames(cog), textureNames(tiled));
        EXPECT_TRUE(leftovers(soils.folder).empty());
    }
}

// A COG that cannot be finished (here a file size limit, as a full disk) leaves nothing: not
// the map, nor the tiled file it is copied from, nor their side files; the old map stays.
TEST(LayoutTest, ACogIsWholeOrNothing) {
    const Soils soils = makeSoils("cog-failure", 600, 600);
    const fs::path out = soils.folder / "map.tif";
    std::ofstream(out) << "old map";
    std::vector<std::string> arguments = soils.inputs();
    arguments.insert(arguments.end(), {"--model", "0", "--soilgrids", "--cog", "--compress", "none",
                                       "--output", out.string()});
    const Outcome outcome = runProgram(TALVO_MAP_EXE, arguments, "ulimit -f 1024;");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.errorText.rfind("talvo-map: cannot write " + out.string() + ": ", 0), 0U)
        << outcome.errorText;
    EXPECT_TRUE(leftovers(soils.folder).empty());
    EXPECT_EQ(fs::file_size(out), 7U);
    EXPECT_FALSE(fs::exists(out.string() + ".aux.xml"));
}

// A signal while the tiled file of a COG is written removes it with the map's own file.
TEST(LayoutTest, ASignalLeavesNoScratchOfACog) {
    const fs::path folder = testFolder("cog-signal");
    GDALAllRegister();
    // Large but empty: the run lasts while reading costs nothing.
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    const std::array options{"TILED=YES", "SPARSE_OK=TRUE", static_cast<const char*>(nullptr)};
    {
        const GDALDatasetUniquePtr raster(driver->Create((folder / "soil.tif").c_str(), 20000,
                                                         20000, 1, GDT_Int16, options.data()));
        ASSERT_TRUE(raster);
        raster->GetRasterBand(1)->SetNoDataValue(Nodata);
    }
    const fs::path map = folder / "map.tif";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGTERM, SIG_DFL);
        ::execl(TALVO_MAP_EXE, "talvo-map", "--model", "0", "--sand", (folder / "soil.tif").c_str(),
                "--clay", (folder / "soil.tif").c_str(), "--cog", "--output", map.c_str(), nullptr);
        ::_exit(127);
    }
    const auto scratchWritten = [&] {
        return std::ranges::any_of(leftovers(folder), [](const std::string& name) {
            return name.ends_with(".tiled.tif");
        });
    };
    for (int wait = 0; wait < 30000 && !scratchWritten(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool writing = scratchWritten();
    ::kill(child, writing ? SIGTERM : SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(writing);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(leftovers(folder).empty());
    EXPECT_FALSE(fs::exists(map));
}

} // namespace
} // namespace talvo::map::test
