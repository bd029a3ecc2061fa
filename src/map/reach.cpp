#include "map/reach.h"

#include "base/error.h"

#include <algorithm>
#include <array>
#include <cpl_conv.h>
#include <cpl_minixml.h>
#include <cpl_string.h>
#include <filesystem>
#include <gdal.h>
#include <string_view>

namespace talvo::map {

namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 11> Allowed{"GTiff",   "VRT",  "netCDF", "GPKG",
                                              "AAIGrid", "GRIB", "Zarr",   "JP2OpenJPEG",
                                              "PNG",     "JPEG", nullptr};

// GDAL itself nests VRTs no deeper than this.
constexpr int MaxNesting = 8;

// What an input was refused for, and the way to read it anyway.
base::Error refused(std::string subject, std::string_view reason) {
    subject.append(reason).append(": give --trusted-inputs to read it");
    return base::Error(subject);
}

void checkAt(const std::string& path, const std::string& label, int nesting);

// A source as GDAL opens it, relative to the VRT's folder where it says so.
fs::path sourcePath(const CPLXMLNode& node, const fs::path& folder) {
    const fs::path name = CPLGetXMLValue(&node, nullptr, "");
    const bool relative = CPLTestBool(CPLGetXMLValue(&node, "relativeToVRT", "0"));
    return relative && name.is_relative() ? folder / name : name;
}

// Inside `folder`, after following links and "..".
bool inside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path relative =
        fs::weakly_canonical(path, error).lexically_relative(fs::weakly_canonical(folder, error));
    return !error && !relative.empty() && *relative.begin() != "..";
}

void checkSource(const CPLXMLNode& node, const fs::path& folder, const std::string& label,
                 int nesting) {
    const std::string_view written = CPLGetXMLValue(&node, nullptr, "");
    // GDAL reads a ':' as its own syntax ("NETCDF:file:var", "MEM:::"), which can reach
    // anything; a plain file's name needs none.
    if (written.find(':') != std::string_view::npos || written.starts_with("/vsi") ||
        written.starts_with('<')) {
        throw refused(label + " reads " + std::string(written), ", which is no plain file's name");
    }
    const fs::path source = sourcePath(node, folder);
    if (!inside(source, folder)) {
        throw refused(label + " reads " + source.string(),
                      ", outside its own folder " + folder.string());
    }
    checkAt(source.string(), label + " reads " + source.string(), nesting + 1);
}

// Every element of a VRT, depth first: bands, sources, overviews, masks.
void checkVrtNode(const CPLXMLNode& node, const fs::path& folder, const std::string& label,
                  int nesting) {
    for (const CPLXMLNode* child = node.psChild; child != nullptr; child = child->psNext) {
        if (child->eType != CXT_Element) {
            continue;
        }
        const std::string_view name = child->pszValue;
        if (name == "VRTRasterBand" &&
            EQUAL(CPLGetXMLValue(child, "subClass", ""), "VRTRawRasterBand")) {
            throw refused(label, ": a raw band (VRTRawRasterBand) reads any file's bytes");
        }
        if (name == "PixelFunctionLanguage" &&
            EQUAL(CPLGetXMLValue(child, nullptr, ""), "Python")) {
            throw refused(label, ": a pixel function runs Python");
        }
        if (name == "SourceFilename" || name == "SourceDataset") {
            checkSource(*child, folder, label, nesting);
        } else {
            checkVrtNode(*child, folder, label, nesting);
        }
    }
}

void checkVrt(const std::string& path, const std::string& label, int nesting) {
    if (nesting > MaxNesting) {
        throw base::Error(label + ": VRTs nested more than " + std::to_string(MaxNesting) +
                          " deep");
    }
    const CPLXMLTreeCloser root(CPLParseXMLFile(path.c_str()));
    if (!root) {
        // vrt:// and a VRT written out in the name: nothing to check them by.
        throw refused(label, ": no VRT file whose sources can be checked");
    }
    const fs::path folder =
        fs::path(path).has_parent_path() ? fs::path(path).parent_path() : fs::path(".");
    checkVrtNode(*root, folder, label, nesting);
}

void checkAt(const std::string& path, const std::string& label, int nesting) {
    if (std::string_view(path).starts_with("/vsi")) {
        throw refused(label, ": a virtual path, which may reach the network or other files");
    }
    GDALDriverH driver = GDALIdentifyDriverEx(path.c_str(), GDAL_OF_RASTER, nullptr, nullptr);
    if (driver == nullptr) {
        return; // opening it will say why
    }
    const std::string name = GDALGetDriverShortName(driver);
    if (std::none_of(Allowed.begin(), Allowed.end() - 1,
                     [&name](const char* allowed) { return name == allowed; })) {
        throw refused(label + ": GDAL reads it with its " + name + " driver",
                      ", which may reach beyond the file named");
    }
    if (name == "VRT") {
        checkVrt(path, label, nesting);
    }
}

} // namespace

const char* const* allowedDrivers() {
    return Allowed.data();
}

void limitGdalReach() {
    CPLSetConfigOption("GDAL_VRT_ENABLE_RAWRASTERBAND", "NO");
    CPLSetConfigOption("GDAL_VRT_ENABLE_PYTHON", "NO");
}

void checkReach(const std::string& path, const std::string& label) {
    checkAt(path, label, 0);
}

} // namespace talvo::map
