#include "rasters.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ogr_spatialref.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace talvo::map::test {

namespace {

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

std::filesystem::path testFolder(const std::string& name) {
    std::filesystem::path folder = std::filesystem::current_path() / "runs" / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

void writeRaster(const std::filesystem::path& path, const RasterLayout& layout,
                 const std::vector<double>& values) {
    GDALAllRegister();
    GDALDriver* const driver = GetGDALDriverManager()->GetDriverByName("GTiff");
    CPLStringList options;
    options.SetNameValue("TILED", "YES");
    options.SetNameValue("BLOCKXSIZE", "16");
    options.SetNameValue("BLOCKYSIZE", "16");
    options.SetNameValue("COMPRESS", "DEFLATE");
    GDALDatasetUniquePtr dataset(
        driver->Create(path.c_str(), layout.width, layout.height, 1, layout.type, options.List()));
    if (!dataset) {
        throw std::runtime_error("cannot create " + path.string());
    }
    std::array<double, 6> transform = layout.transform;
    dataset->SetGeoTransform(transform.data());
    OGRSpatialReference crs;
    crs.importFromEPSG(layout.epsg);
    dataset->SetSpatialRef(&crs);
    GDALRasterBand* const band = dataset->GetRasterBand(1);
    if (layout.nodata) {
        band->SetNoDataValue(*layout.nodata);
    }
    if (layout.scale) {
        band->SetScale(*layout.scale);
    }
    std::vector<double> cells = values;
    if (band->RasterIO(GF_Write, 0, 0, layout.width, layout.height, cells.data(), layout.width,
                       layout.height, GDT_Float64, 0, 0, nullptr) != CE_None) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<std::vector<double>> readBands(const std::filesystem::path& path) {
    GDALAllRegister();
    GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER));
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

Outcome runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    const std::filesystem::path errors =
        std::filesystem::temp_directory_path() / ("talvo-map-test-" + std::to_string(::getpid()));
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
    std::filesystem::remove(errors);
    return outcome;
}

bool sameCells(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) {
            return false;
        }
    }
    return true;
}

} // namespace talvo::map::test
