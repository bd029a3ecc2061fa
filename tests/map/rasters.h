#pragma once

// Small rasters built in the tests, and the real executables run on them.

#include <array>
#include <filesystem>
#include <gdal_priv.h>
#include <optional>
#include <string>
#include <vector>

namespace talvo::map::test {

// A folder of its own for one test, emptied first.
std::filesystem::path testFolder(const std::string& name);

struct RasterLayout {
    int width = 40;
    int height = 30;
    GDALDataType type = GDT_Int16;
    std::array<double, 6> transform{500000, 250, 0, 4000000, 0, -250};
    int epsg = 32632;
    std::optional<double> nodata = -32768;
    std::optional<double> scale; // declared by the band itself
};

// A tiled, compressed GeoTIFF of one band holding `values` row by row.
void writeRaster(const std::filesystem::path& path, const RasterLayout& layout,
                 const std::vector<double>& values);

// The bands of a raster, each row by row, as doubles.
std::vector<std::vector<double>> readBands(const std::filesystem::path& path);

struct Outcome {
    int status = -1;
    std::string errorText; // standard error, without the last line break
};

// Runs a program with its arguments, standard output discarded.
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments);

// Doubles equal to the bit, NaN equal to NaN.
bool sameCells(const std::vector<double>& a, const std::vector<double>& b);

} // namespace talvo::map::test
