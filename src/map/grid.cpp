#include "map/grid.h"

#include "base/error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <ogr_spatialref.h>

namespace talvo::map {

namespace {

constexpr double CellTolerance = 1e-6;

// Coordinates read best without an exponent: 500000, not 5e+05.
std::string shortest(double value) {
    std::array<char, 400> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return {text.data(), result.ptr};
}

std::string transformText(const std::array<double, 6>& transform) {
    std::string text = "(";
    for (std::size_t i = 0; i < transform.size(); ++i) {
        text += (i == 0 ? "" : ", ") + shortest(transform[i]);
    }
    return text + ")";
}

// "EPSG:4326", else the system's name, else "none".
std::string crsName(const OGRSpatialReference& crs, const std::string& wkt) {
    if (wkt.empty()) {
        return "none";
    }
    const char* const authority = crs.GetAuthorityName(nullptr);
    const char* const code = crs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr) {
        return std::string(authority) + ":" + code;
    }
    const char* const name = crs.GetName();
    return name != nullptr ? name : "unnamed";
}

bool sameTransform(const std::array<double, 6>& a, const std::array<double, 6>& b) {
    const double cell =
        std::max(std::fabs(a[1]) + std::fabs(a[2]), std::fabs(a[4]) + std::fabs(a[5]));
    const double tolerance = CellTolerance * (cell > 0 ? cell : 1.0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(std::fabs(a[i] - b[i]) <= tolerance)) {
            return false;
        }
    }
    return true;
}

} // namespace

Grid Grid::rows(int first, int end) const {
    Grid part = *this;
    part.height = end - first;
    part.transform[0] += first * transform[2];
    part.transform[3] += first * transform[5];
    return part;
}

std::optional<std::string> gridDifference(const Grid& a, const Grid& b) {
    if (a.width != b.width || a.height != b.height) {
        return "size: " + std::to_string(a.width) + "x" + std::to_string(a.height) + " against " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    }
    if (!sameTransform(a.transform, b.transform)) {
        return "geotransform: " + transformText(a.transform) + " against " +
               transformText(b.transform);
    }
    if (a.crs == b.crs) {
        return std::nullopt;
    }
    OGRSpatialReference crsA;
    OGRSpatialReference crsB;
    const bool readA = !a.crs.empty() && crsA.importFromWkt(a.crs.c_str()) == OGRERR_NONE;
    const bool readB = !b.crs.empty() && crsB.importFromWkt(b.crs.c_str()) == OGRERR_NONE;
    if (readA && readB && crsA.IsSame(&crsB) != 0) {
        return std::nullopt;
    }
    std::string nameA = crsName(crsA, a.crs);
    std::string nameB = crsName(crsB, b.crs);
    if (nameA == nameB) { // same name, different definitions: show enough to tell them apart
        nameA = a.crs;
        nameB = b.crs;
    }
    return "coordinate system: " + nameA + " against " + nameB;
}

void requireSameGrid(std::string_view labelA, const Grid& a, std::string_view labelB,
                     const Grid& b) {
    if (const auto difference = gridDifference(a, b)) {
        throw base::Error(std::string(labelA) + " and " + std::string(labelB) + " differ in " +
                          *difference);
    }
}

} // namespace talvo::map
