#pragma once

// Rasters made for a test, and the tools run on them as a user runs them.

#include "estimation/estimation.h"

#include <array>
#include <filesystem>
#include <gdal_priv.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace talvo::map::test {

namespace fs = std::filesystem;

inline constexpr double Nodata = -32768;

// A folder of its own for one test, emptied first.
fs::path testFolder(const std::string& name);

struct RasterLayout {
    int width = 40;
    int height = 30;
    GDALDataType type = GDT_Int16;
    std::array<double, 6> transform{500000, 250, 0, 4000000, 0, -250};
    std::optional<double> scale{}; // declared by the band itself
    bool striped = false;          // one row a block, as GDAL writes GeoTIFFs unless told
};

// A compressed GeoTIFF of one band holding `values` row by row, tiled unless striped.
void writeRaster(const fs::path& path, const RasterLayout& layout, std::vector<double> values);

// The bands of a raster, each row by row, as doubles.
std::vector<std::vector<double>> readBands(const fs::path& path);

std::array<double, 6> transformOf(const fs::path& path);

struct Outcome {
    int status = -1;       // -1: ended by a signal
    std::string errorText; // standard error, without the last line break
};

// Runs a program with its arguments, standard output discarded; `shellPrefix` comes before
// it in the shell's command line ("ulimit -v 400000;").
Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& shellPrefix = "");

// The text a table would hold for a cell in tenths: "52.3" for 523, empty for nodata.
std::string cellText(double raw);

// The text a table in % would hold for a cell in dg/kg: "0.52" for 52; organic carbon of the
// soil grids as Rawls et al., 1982 reads it.
std::string percentText(double raw);

// Four int16 rasters in tenths (the soil grids' form) with nodata here and there.
struct Soils {
    fs::path folder;
    RasterLayout layout;
    std::array<std::vector<double>, 4> raw;

    fs::path raster(estimation::Input input, const std::string& form = "") const;
    std::vector<std::string> inputs(const std::string& form = "") const;
};

Soils makeSoils(const std::string& name, int width = RasterLayout{}.width,
                int height = RasterLayout{}.height);

Outcome runMap(std::vector<std::string> arguments, const std::vector<std::string>& more = {});

// Cells equal as doubles, NaN equal to NaN, band by band.
void expectSameBands(const fs::path& actual, const fs::path& expected);

// The fc, pwp, awc, texture and flags texts of each row talvo-batch wrote.
std::vector<std::array<std::string, 5>> batchResults(const fs::path& path);

// A table's flag codes as the map's bits.
double flagBits(const std::string& codes);

// The texture band's class names by number, from the map's attribute table.
std::map<double, std::string> textureNames(const fs::path& path);

// Names in `folder` that a run must not leave: its temporary files.
std::vector<std::string> leftovers(const fs::path& folder);

} // namespace talvo::map::test
