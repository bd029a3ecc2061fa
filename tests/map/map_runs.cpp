#include "map/map_runs.h"

#include "table/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gdal_rat.h>
#include <iterator>
#include <ogr_spatialref.h>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace talvo::map::test {

using estimation::Input;

// A folder of its own for one test, emptied first.
fs::path testFolder(const std::string& name) {
    fs::path folder = fs::current_path() / "runs" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

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

namespace {

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

// Runs a program with its arguments, standard output discarded.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& shellPrefix) {
    const fs::path errors =
        fs::temp_directory_path() / ("talvo-map-test-" + std::to_string(::getpid()));
    std::string command = shellPrefix + shellQuoted(program);
    for (const std::string& argument : arguments) {
        command += " " + shellQuoted(argument);
    }
    command += " >/dev/null 2>" + shellQuoted(errors.string());
    const int status = std::system(command.c_str()); // NOLINT(cert-env33-c): the test's own
    Outcome outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (outcome.status > 128) {
        outcome.status = -1; // the shell says a signal ended the program
    }
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

std::string percentText(double raw) {
    if (raw == Nodata) {
        return "";
    }
    const auto value = static_cast<long>(raw);
    const long whole = std::labs(value);
    return (value < 0 ? "-" : "") + std::to_string(whole / 100) + "." +
           std::to_string(whole % 100 / 10) + std::to_string(whole % 10);
}

fs::path Soils::raster(Input input, const std::string& form) const {
    return folder / (std::string(estimation::name(input)) + form + ".tif");
}

std::vector<std::string> Soils::inputs(const std::string& form) const {
    std::vector<std::string> arguments;
    for (const Input input : estimation::allInputs) {
        arguments.insert(arguments.end(), {"--" + std::string(estimation::name(input)),
                                           raster(input, form).string()});
    }
    return arguments;
}

Soils makeSoils(const std::string& name, int width, int height) {
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
    // The bits rasters and arrays store, written out: they must never move.
    const std::array<std::pair<std::string, int>, 8> bitOfCode{{
        {"sum", 1},
        {"range", 2},
        {"oc", 4},
        {"fc<=pwp", 8},
        {"result", 16},
        {"psd", 32},
        {"porosity", 128},
        {"domain", 256},
    }};
    int bits = 0;
    for (const auto& [code, bit] : bitOfCode) {
        bits |= (';' + codes + ';').find(';' + code + ';') != std::string::npos ? bit : 0;
    }
    return bits;
}

// Names in `folder` that a run must not leave: its temporary files.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".talvo-map.", 0) == 0) {
            names.push_back(name);
        }
    }
    return names;
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

Outcome runMap(std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runProgram(TALVO_MAP_EXE, arguments);
}

} // namespace talvo::map::test
