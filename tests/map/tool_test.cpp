// talvo-map end to end: rasters built here, the real executable run on them, and its cells
// compared with what talvo-batch writes for the same numbers as text.

#include "estimation/estimation.h"
#include "map/map_runs.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gdal_priv.h>
#include <gdal_rat.h>
#include <map>
#include <ogr_spatialref.h>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvo::map::test {
namespace {

using estimation::Input;

// Cells equal as doubles, NaN equal to NaN.
void expectSameBands(const fs::path& actual, const fs::path& expected) {
    const auto actualBands = readBands(actual);
    const auto expectedBands = readBands(expected);
    ASSERT_EQ(actualBands.size(), expectedBands.size());
    for (std::size_t b = 0; b < expectedBands.size(); ++b) {
        EXPECT_TRUE(std::ranges::equal(
            actualBands[b], expectedBands[b],
            [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); }))
            << "band " << b + 1;
    }
}

// The fc, pwp, awc, texture and flags texts of each row talvo-batch wrote.
std::vector<std::array<std::string, 5>> batchResults(const fs::path& path) {
    std::ifstream file(path);
    table::CsvReader reader(file, ',');
    table::Records records;
    while (reader.next(records)) {
    }
    std::vector<std::array<std::string, 5>> rows;
    for (std::size_t i = 1; i < records.size(); ++i) { // sand,silt,clay,oc,model,unit,fc,...
        const table::RecordView row = records[i];
        rows.push_back({std::string(row[6]), std::string(row[7]), std::string(row[8]),
                        std::string(row[9]), std::string(row[10])});
    }
    return rows;
}

// A table's flag codes as the map's bits.
double flagBits(const std::string& codes) {
    int bits = 0;
    int bit = 1;
    for (const std::string code : {"sum", "range", "oc", "fc<=pwp", "result"}) {
        bits |= (';' + codes + ';').find(';' + code + ';') != std::string::npos ? bit : 0;
        bit *= 2;
    }
    return bits;
}

// The texture band's class names by number, from the map's attribute table.
std::map<double, std::string> textureNames(const fs::path& path) {
    const GDALDatasetUniquePtr map(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    const GDALRasterAttributeTable* const table = map->GetRasterBand(5)->GetDefaultRAT();
    std::map<double, std::string> names;
    for (int row = 0; table != nullptr && row < table->GetRowCount(); ++row) {
        names[table->GetValueAsInt(row, 0)] = table->GetValueAsString(row, 1);
    }
    return names;
}

// Every cell of every model, in both precisions and both types, is what talvo-batch writes
// for the cell's numbers as text, read back (and cast to Float32 for Float32).
TEST(ToolTest, EveryCellIsTheBatchToolsResult) {
    const Soils soils = makeSoils("batch", 300); // two blocks across, the second one short
    const fs::path table = soils.folder / "soils.csv";
    {
        std::ofstream out(table);
        out << "sand,silt,clay,oc\n";
        for (std::size_t i = 0; i < soils.raw[0].size(); ++i) {
            out << cellText(soils.raw[0][i]) << ',' << cellText(soils.raw[1][i]) << ','
                << cellText(soils.raw[2][i]) << ',' << cellText(soils.raw[3][i]) << '\n';
        }
    }
    const fs::path batchOut = soils.folder / "batch.csv";
    const fs::path out = soils.folder / "out.tif";
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const std::string position = std::to_string(model.position);
        for (const std::string precision : {"fixed", "general"}) {
            ASSERT_NE(runProgram(TALVO_BATCH_EXE, {"--model", position, "--precision", precision,
                                                   "--output", batchOut.string(), table.string()})
                          .status,
                      2);
            const std::vector<std::array<std::string, 5>> rows = batchResults(batchOut);
            for (const std::string type : {"Float32", "Float64"}) {
                SCOPED_TRACE(testing::Message()
                             << model.listText << ' ' << precision << ' ' << type);
                const Outcome outcome = runMap(
                    soils.inputs(), {"--model", position, "--soilgrids", "--precision", precision,
                                     "--type", type, "--output", out.string(), "--threads", "2"});
                ASSERT_EQ(outcome.status, 0) << outcome.errorText;
                const auto bands = readBands(out);
                std::map<double, std::string> names = textureNames(out);
                ASSERT_EQ(bands.size(), 5U);
                ASSERT_EQ(rows.size(), bands[0].size());
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    if (rows[i][0].empty()) {
                        for (const std::vector<double>& band : bands) {
                            ASSERT_TRUE(std::isnan(band[i])) << "cell " << i;
                        }
                        continue;
                    }
                    for (std::size_t r = 0; r < 3; ++r) {
                        const double number = std::strtod(rows[i][r].c_str(), nullptr);
                        ASSERT_EQ(bands[r][i],
                                  type == "Float32" ? static_cast<float>(number) : number)
                            << "cell " << i << " " << rows[i][r];
                    }
                    ASSERT_EQ(bands[3][i], flagBits(rows[i][4])) << "cell " << i;
                    ASSERT_EQ(names[bands[4][i]], rows[i][3].empty() ? "none" : rows[i][3])
                        << "cell " << i;
                }
            }
        }
    }
}

// The same soils as a striped band that declares its own scale, through a VRT, and as Float32
// percentages give the map of the int16 tenths: a Float32 cell holding 52.3 is the soil "52.3"
// of a table, not 52.2999992370605.
TEST(ToolTest, TheSameSoilsInOtherFormsGiveTheSameMap) {
    const Soils soils = makeSoils("forms");
    RasterLayout declared = soils.layout;
    declared.scale = 0.1;
    declared.striped = true;
    const fs::path sand = soils.folder / "sand_scaled.tif";
    writeRaster(sand, declared, soils.raw[0]);
    const fs::path clay = soils.folder / "clay.vrt";
    const GDALDatasetUniquePtr source(
        GDALDataset::Open(soils.raster(Input::clay).c_str(), GDAL_OF_RASTER));
    // Closed at once: a VRT is written when closed.
    GDALClose(GetGDALDriverManager()->GetDriverByName("VRT")->CreateCopy(
        clay.c_str(), source.get(), FALSE, nullptr, nullptr, nullptr));
    const std::vector<std::string> scaled{"--sand",  sand.string(),
                                          "--clay",  clay.string(),
                                          "--oc",    soils.raster(Input::oc).string(),
                                          "--silt",  soils.raster(Input::silt).string(),
                                          "--scale", "clay=0.1,oc=0.1,silt=0.1"};
    RasterLayout single = soils.layout;
    single.type = GDT_Float32;
    for (const Input input : estimation::allInputs) {
        std::vector<double> values = soils.raw[static_cast<std::size_t>(input)];
        for (double& value : values) {
            value = value == Nodata ? Nodata : value / 10;
        }
        writeRaster(soils.raster(input, "32"), single, values);
    }
    const std::vector<std::string> percent = soils.inputs("32");
    const fs::path reference = soils.folder / "reference.tif";
    const fs::path out = soils.folder / "out.tif";
    std::vector<std::string> tenths = soils.inputs();
    tenths.emplace_back("--soilgrids");
    for (const std::string precision : {"general", "fixed"}) {
        for (const std::string model : {"2", "5"}) {
            const auto status = [&](const std::vector<std::string>& inputs,
                                    const fs::path& output) {
                return runMap(inputs, {"--model", model, "--precision", precision, "--type",
                                       "Float64", "--output", output.string()})
                    .status;
            };
            ASSERT_EQ(status(tenths, reference), 0);
            for (const std::vector<std::string>& inputs : {scaled, percent}) {
                SCOPED_TRACE(testing::Message()
                             << "model " << model << ", " << precision << ", " << inputs[1]);
                ASSERT_EQ(status(inputs, out), 0);
                expectSameBands(out, reference);
            }
        }
    }
}

// Four tiles stitched with gdalbuildvrt are the single run, cell for cell, whatever the threads.
TEST(ToolTest, FourTilesMakeTheWholeMap) {
    const Soils soils = makeSoils("tiles", 300, 1100); // five rows of output blocks, one short
    const fs::path folder = soils.folder;
    std::vector<std::string> common = soils.inputs();
    common.insert(common.end(), {"--model", "0", "--soilgrids"});
    ASSERT_EQ(
        runMap(common, {"--threads", "1", "--output", (folder / "whole.tif").string()}).status, 0);

    std::vector<std::string> stitch{"-q", (folder / "union.vrt").string()};
    for (int tile = 1; tile <= 4; ++tile) {
        const std::string part = (folder / ("part" + std::to_string(tile) + ".tif")).string();
        const Outcome outcome = runMap(common, {"--tile", std::to_string(tile) + "/4", "--threads",
                                                std::to_string(tile), "--output", part});
        ASSERT_EQ(outcome.status, 0) << outcome.errorText;
        stitch.push_back(part);
    }
    ASSERT_EQ(runProgram("gdalbuildvrt", stitch).status, 0);

    EXPECT_EQ(transformOf(folder / "union.vrt"), transformOf(folder / "whole.tif"));
    expectSameBands(folder / "union.vrt", folder / "whole.tif");
}

// What a GIS shows: georeferencing of the input, named bands, nodata, units and the model.
TEST(ToolTest, TheMapDescribesItself) {
    const Soils soils = makeSoils("describe");
    const fs::path out = soils.folder / "out.tif";
    ASSERT_EQ(runMap(soils.inputs(),
                     {"--model", "Rawls et al., 1982", "--soilgrids", "--output", out.string()})
                  .status,
              0);
    EXPECT_EQ(transformOf(out), soils.layout.transform);
    const GDALDatasetUniquePtr map(GDALDataset::Open(out.c_str(), GDAL_OF_RASTER));
    EXPECT_STREQ(map->GetSpatialRef()->GetAuthorityCode(nullptr), "32632");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_MODEL"), "Rawls et al., 1982");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_UNIT"), "% v/v");
    EXPECT_STREQ(map->GetMetadataItem("TALVO_VERSION"), "1.00");
    EXPECT_STREQ(map->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    const std::array names{"fc", "pwp", "awc", "flags", "texture"};
    for (int b = 1; b <= 5; ++b) {
        GDALRasterBand* const band = map->GetRasterBand(b);
        EXPECT_STREQ(band->GetDescription(), names[static_cast<std::size_t>(b - 1)]);
        int hasNodata = 0;
        EXPECT_TRUE(std::isnan(band->GetNoDataValue(&hasNodata)));
        EXPECT_EQ(hasNodata, 1);
        EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
        int blockWidth = 0;
        int blockHeight = 0;
        band->GetBlockSize(&blockWidth, &blockHeight);
        EXPECT_EQ(blockWidth, 256);
    }
    EXPECT_STREQ(map->GetRasterBand(1)->GetUnitType(), "% v/v");
    EXPECT_STREQ(map->GetRasterBand(3)->GetUnitType(), "mm");
    EXPECT_STREQ(map->GetRasterBand(4)->GetMetadataItem("BIT_3"), "fc<=pwp");
}

// Usage and input errors: one line, status 2, and no map left behind; an input or a read-only
// map (meant to stay, even for root) named as the output is untouched.
TEST(ToolTest, RefusesWhatItCannotMapExactly) {
    const fs::path folder = testFolder("failures");
    RasterLayout layout;
    writeRaster(folder / "a.tif", layout, std::vector<double>(std::size_t{40} * 30, 300.0));
    layout.height = 29;
    writeRaster(folder / "short.tif", layout, std::vector<double>(std::size_t{40} * 29, 300.0));
    const std::string a = (folder / "a.tif").string();
    const std::string shorter = (folder / "short.tif").string();
    const std::string none = (folder / "none.tif").string();
    const std::string kept = (folder / "kept.tif").string();
    std::ofstream(kept) << "old map";
    // Opens, but its cells cannot be read.
    const std::string lost = (folder / "lost.vrt").string();
    std::ofstream(lost) << R"(<VRTDataset rasterXSize="40" rasterYSize="30"><VRTRasterBand )"
                           R"(dataType="Int16" band="1"><SimpleSource><SourceFilename )"
                           R"(relativeToVRT="1">gone.tif</SourceFilename></SimpleSource>)"
                           R"(</VRTRasterBand></VRTDataset>)";
    fs::permissions(kept, fs::perms::owner_read);
    const auto withModel0 = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"--model", "0", "--sand", a, "--clay", a});
        return more;
    };
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--model", "0", "--sand", a, "--clay", shorter},
         "--sand " + a + " and --clay " + shorter + " differ in size: 40x30 against 40x29"},
        {{"--model", "2", "--sand", a, "--oc", a},
         "model Rawls et al., 1982 reads clay: give --clay"},
        {{"--model", "0", "--sand", a, "--clay", none},
         "cannot read --clay " + none + ": " + none + ": No such file or directory"},
        {{"--model", "0", "--sand", lost, "--clay", lost},
         "cannot read --sand " + lost + ": " + (folder / "gone.tif").string() +
             ": No such file or directory"},
        {{"--model", "7", "--sand", a, "--clay", a},
         "--model: unknown model '7': give a position 0 to 6 or a name, or its beginning, as "
         "--list-models shows it (see --help)"},
        {{"--model", "t", "--sand", a, "--clay", a},
         "--model: 't' names the beginning of TALVO PTF model (PSD), TALVO PTF model (PSD + OC), "
         "Tomasella and Hodnett, 1998: give more of the name, or the position (see --help)"},
        {withModel0({"--output", (folder / "map.PNG").string()}),
         "--output: '" + (folder / "map.PNG").string() +
             "': talvo-map writes GeoTIFF; give a name ending in .tif (see --help)"},
        {{"--sand", a, "--clay", a}, "--model is required (see --help and --list-models)"},
        {{"--long"}, "--long goes with --list-models (see --help)"},
        {withModel0({"--tile", "2/2"}),
         "--tile 2/2: the map has only 1 rows of blocks of 256 rows; give at most 1 tiles"},
        {withModel0({"--tile", "5/4"}),
         "--tile '5/4': give I/N, the I-th of N tiles, with 1 <= I <= N (see --help)"},
        {withModel0({"--scale", "sand=0"}), "scale '0': a scale must be above zero (see --help)"},
        {withModel0({"--soilgrids", "--scale", "sand=1"}),
         "--scale excludes --soilgrids (see --help)"},
        {withModel0({"--output", a}),
         "--output " + a + " is an input: write the map to another file"},
        {withModel0({"--output", kept}), "cannot write " + kept + ": Permission denied"},
        {withModel0({"--output", ""}), "the output has an empty name: name a file"},
    };
    const std::string out = (folder / "out.tif").string();
    for (auto [arguments, message] : cases) {
        if (std::find(arguments.begin(), arguments.end(), "--output") == arguments.end()) {
            arguments.insert(arguments.end(), {"--output", out});
        }
        const Outcome outcome = runMap(arguments);
        EXPECT_EQ(outcome.status, 2) << message;
        EXPECT_EQ(outcome.errorText, "talvo-map: " + message);
        EXPECT_FALSE(fs::exists(out)) << message;
    }
    EXPECT_EQ(readBands(a)[0][0], 300.0);
    EXPECT_EQ(fs::file_size(kept), 7U);
}

// A terminating signal (Ctrl-C, a scheduler's SIGTERM, a CPU time limit) ends the run as it
// would have, leaves no half-written map nor its side file, and keeps the old one.
TEST(ToolTest, ASignalLeavesNoHalfMap) {
    const fs::path folder = testFolder("signal");
    GDALAllRegister();
    // Large but empty: no block is stored, so the run lasts while reading costs nothing.
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    const std::array options{"TILED=YES", "SPARSE_OK=TRUE", static_cast<const char*>(nullptr)};
    for (const char* name : {"sand.tif", "clay.tif"}) {
        const GDALDatasetUniquePtr raster(
            driver->Create((folder / name).c_str(), 20000, 20000, 1, GDT_Int16, options.data()));
        ASSERT_TRUE(raster);
        raster->GetRasterBand(1)->SetNoDataValue(Nodata);
    }
    const fs::path map = folder / "map.tif";
    std::ofstream(map) << "old map";
    // Another run's file of the same map: its name differs, and it is not this run's to remove.
    const fs::path other = folder / ".talvo-map.map.tif.0000000000000001.tmp";
    std::ofstream(other) << "another run";
    const auto files = [&] {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    // Every signal whose default ends the process: a user's, a scheduler's, a time limit's.
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                             SIGPROF, SIGXCPU, SIGTRAP, SIGRTMIN}) {
        SCOPED_TRACE(signal);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            // A test run from a background job inherits SIGINT ignored, and so would the tool.
            std::signal(signal, SIG_DFL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore); // SIGQUIT and others would dump one
            ::execl(TALVO_MAP_EXE, "talvo-map", "--model", "0", "--sand",
                    (folder / "sand.tif").c_str(), "--clay", (folder / "clay.tif").c_str(),
                    "--output", map.c_str(), nullptr);
            ::_exit(127);
        }
        // Signalled once its own partial map appears; killed outright if it never does.
        for (int wait = 0; wait < 30000 && files() == 4; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const bool writing = files() == 5;
        ::kill(child, writing ? signal : SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(writing);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(files(), 4);
        EXPECT_TRUE(fs::exists(other));
        std::ifstream old(map);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old map");
    }
}

} // namespace
} // namespace talvo::map::test
