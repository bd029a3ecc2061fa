// talvo-map end to end: rasters built here, the real executable run on them, and its cells
// compared with what talvo-batch writes for the same numbers as text.

#include "estimation/catalogue.h"
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
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvo::map::test {
namespace {

namespace fs = std::filesystem;
using estimation::Input;

constexpr double Nodata = -32768;

// A folder of its own for one test, emptied first.
fs::path testFolder(const std::string& name) {
    fs::path folder = fs::current_path() / "runs" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

struct RasterLayout {
    int width = 40;
    int height = 30;
    GDALDataType type = GDT_Int16;
    std::array<double, 6> transform{500000, 250, 0, 4000000, 0, -250};
    std::optional<double> scale{}; // declared by the band itself
    bool striped = false;          // one row a block, as GDAL writes GeoTIFFs unless told
};

// A compressed GeoTIFF of one band holding `values` row by row, tiled unless striped.
void writeRaster(const fs::path& path, const RasterLayout& layout, std::vector<double> values) {
    GDALAllRegister();
    const std::array tiled{"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE",
                           static_cast<const char*>(nullptr)};
    const std::array striped{"BLOCKYSIZE=1", "COMPRESS=DEFLATE", static_cast<const char*>(nullptr)};
    const char* const* options = layout.striped ? striped.data() : tiled.data();
    const GDALDatasetUniquePtr dataset(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(
        path.c_str(), layout.width, layout.height, 1, layout.type, options));
    if (!dataset) {
        throw std::runtime_error("cannot create " + path.string());
    }
    std::array<double, 6> transform = layout.transform;
    dataset->SetGeoTransform(transform.data());
    OGRSpatialReference crs;
    crs.importFromEPSG(32632);
    dataset->SetSpatialRef(&crs);
    GDALRasterBand* const band = dataset->GetRasterBand(1);
    band->SetNoDataValue(Nodata);
    if (layout.scale) {
        band->SetScale(*layout.scale);
    }
    if (band->RasterIO(GF_Write, 0, 0, layout.width, layout.height, values.data(), layout.width,
                       layout.height, GDT_Float64, 0, 0, nullptr) != CE_None) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// The bands of a raster, each row by row, as doubles.
std::vector<std::vector<double>> readBands(const fs::path& path) {
    GDALAllRegister();
    const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    if (!dataset) {
        throw std::runtime_error("cannot open " + path.string());
    }
    const int width = dataset->GetRasterXSize();
    const int height = dataset->GetRasterYSize();
    std::vector<std::vector<double>> bands;
    for (int b = 1; b <= dataset->GetRasterCount(); ++b) {
        std::vector<double> cells(static_cast<std::size_t>(width) *
                                  static_cast<std::size_t>(height));
        if (dataset->GetRasterBand(b)->RasterIO(GF_Read, 0, 0, width, height, cells.data(), width,
                                                height, GDT_Float64, 0, 0, nullptr) != CE_None) {
            throw std::runtime_error("cannot read " + path.string());
        }
        bands.push_back(std::move(cells));
    }
    return bands;
}

std::array<double, 6> transformOf(const fs::path& path) {
    const GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
    std::array<double, 6> transform{};
    dataset->GetGeoTransform(transform.data());
    return transform;
}

struct Outcome {
    int status = -1;
    std::string errorText; // standard error, without the last line break
};

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a program with its arguments, standard output discarded.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    const fs::path errors =
        fs::temp_directory_path() / ("talvo-map-test-" + std::to_string(::getpid()));
    std::string command = shellQuoted(program);
    for (const std::string& argument : arguments) {
        command += " " + shellQuoted(argument);
    }
    command += " >/dev/null 2>" + shellQuoted(errors.string());
    const int status = std::system(command.c_str()); // NOLINT(cert-env33-c): the test's own
    Outcome outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream file(errors);
    outcome.errorText.assign(std::istreambuf_iterator<char>(file), {});
    if (!outcome.errorText.empty() && outcome.errorText.back() == '\n') {
        outcome.errorText.pop_back();
    }
    fs::remove(errors);
    return outcome;
}

// The text a table would hold for a cell in tenths: "52.3" for 523, empty for nodata.
std::string cellText(double raw) {
    if (raw == Nodata) {
        return "";
    }
    const auto value = static_cast<long>(raw);
    return (value < 0 ? "-" : "") + std::to_string(std::labs(value) / 10) + "." +
           std::to_string(std::labs(value) % 10);
}

// Four int16 rasters in tenths (the soil grids' form) with nodata here and there.
struct Soils {
    fs::path folder;
    RasterLayout layout;
    std::array<std::vector<double>, 4> raw;

    fs::path raster(Input input, const std::string& form = "") const {
        return folder / (std::string(estimation::name(input)) + form + ".tif");
    }
    std::vector<std::string> inputs(const std::string& form = "") const {
        std::vector<std::string> arguments;
        for (const Input input : estimation::allInputs) {
            arguments.insert(arguments.end(), {"--" + std::string(estimation::name(input)),
                                               raster(input, form).string()});
        }
        return arguments;
    }
};

Soils makeSoils(const std::string& name, int width = RasterLayout{}.width,
                int height = RasterLayout{}.height) {
    Soils soils{testFolder(name), {width, height}, {}};
    const auto cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> content(0, 1000);
    std::uniform_int_distribution<int> carbon(0, 2500);
    for (std::size_t i = 0; i < cells; ++i) {
        const int sand = content(random);
        const int clay = std::uniform_int_distribution<int>(0, 1000 - sand)(random);
        // Most soils sum to 100 %, some not, so that the sum flag has work.
        const int silt = i % 7 == 0 ? content(random) : 1000 - sand - clay;
        soils.raw[0].push_back(sand);
        soils.raw[1].push_back(silt);
        soils.raw[2].push_back(clay);
        soils.raw[3].push_back(carbon(random));
    }
    // Values whose products are not exact in binary, out of range, zero, and nodata.
    const std::vector<std::array<double, 4>> chosen{
        {523, 233, 244, 100},    {0, 0, 0, 0},
        {1000, 0, 0, 0},         {-5, 500, 505, 1},
        {333, 333, 334, 17},     {999, 1, 1, 2499},
        {1234, 0, 1, 9},         {Nodata, 300, 300, 10},
        {400, Nodata, 200, 50},  {400, 400, Nodata, 50},
        {400, 400, 200, Nodata}, {1, 1, 1, 1},
    };
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        for (std::size_t input = 0; input < 4; ++input) {
            soils.raw[input][i * 37] = chosen[i][input];
        }
    }
    for (const Input input : estimation::allInputs) {
        writeRaster(soils.raster(input), soils.layout, soils.raw[static_cast<std::size_t>(input)]);
    }
    return soils;
}

Outcome runMap(std::vector<std::string> arguments, const std::vector<std::string>& more = {}) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runProgram(TALVO_MAP_EXE, arguments);
}

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
         "--model: unknown model '7': give a position 0 to 6 or a name exactly as talvo-batch "
         "--list-models shows it (see --help)"},
        {withModel0({"--tile", "2/2"}),
         "--tile 2/2: the map has only 1 rows of blocks of 256 rows; give at most 1 tiles"},
        {withModel0({"--tile", "5/4"}),
         "--tile '5/4': give I/N, the I-th of N tiles, with 1 <= I <= N (see --help)"},
        {withModel0({"--scale", "sand=0"}), "scale '0': a scale must be above zero (see --help)"},
        {withModel0({"--soilgrids", "--scale", "sand=1"}),
         "--scale excludes --soilgrids (see --help)"},
        {withModel0({"--output", a}),
         "--output " + a + " is an input: write the map to another file"},
        {withModel0({"--output", kept}), "cannot write " + kept + ": it is read-only"},
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

// A terminating signal (Ctrl-C, a scheduler's SIGTERM) ends the run as it would have, leaves
// no half-written map and keeps the old one.
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
    const fs::path other = folder / "map.tif.partial-0000000000000001";
    std::ofstream(other) << "another run";
    const auto files = [&] {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            // A test run from a background job inherits SIGINT ignored, and so would the tool.
            std::signal(signal, SIG_DFL);
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
