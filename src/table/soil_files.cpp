#include "table/soil_files.h"

#include "base/error.h"
#include "table/soil_file_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <set>
#include <vector>

namespace talvo::table {

namespace {

constexpr std::array<std::string_view, allSoilFormats.size()> FormatNames{"fao56", "aquacrop",
                                                                          "dssat", "apsim"};

// A depth as a reader of the message wrote it: "30", "22.5".
std::string depthText(double cm) {
    return estimation::generalText(cm);
}

// Horizons from the surface down, one after another: every format lays its layers so.
void checkLayers(const SoilProfile& profile) {
    if (profile.layers.empty()) {
        soil_file::fail(profile, "it has no horizons");
    }
    double reached = 0.0;
    for (const SoilLayer& layer : profile.layers) {
        const std::string depths = depthText(layer.top) + "-" + depthText(layer.bottom) + " cm";
        if (!std::isfinite(layer.top) || !std::isfinite(layer.bottom) ||
            !(layer.bottom > layer.top)) {
            soil_file::fail(profile, "the horizon at " + depths + " has no thickness");
        }
        if (layer.top > reached) {
            soil_file::fail(profile, "a gap between " + depthText(reached) + " and " +
                                         depthText(layer.top) + " cm");
        }
        if (layer.top < reached) {
            soil_file::fail(profile, "the horizon at " + depths + " overlaps the one above");
        }
        reached = layer.bottom;
    }
    soil_file::require(profile, &SoilLayer::fc, "FC");
    soil_file::require(profile, &SoilLayer::pwp, "PWP");
}

// The layers sorted from the surface down, so that a table's order does not matter.
SoilProfile sorted(const SoilProfile& profile) {
    SoilProfile out = profile;
    std::stable_sort(out.layers.begin(), out.layers.end(),
                     [](const SoilLayer& a, const SoilLayer& b) { return a.top < b.top; });
    return out;
}

// Two profiles whose ids make one file name would overwrite each other: refused. Names are
// compared without case, as some file systems do.
void checkNames(const std::vector<SoilFile>& files) {
    std::set<std::string> seen;
    for (const SoilFile& file : files) {
        std::string folded = file.name;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!seen.insert(folded).second) {
            throw base::Error("two profiles would both be written to " + file.name +
                              ": give them ids that differ in letters or digits");
        }
    }
}

} // namespace

std::string_view name(SoilFormat format) {
    return FormatNames.at(static_cast<std::size_t>(format));
}

std::optional<SoilFormat> soilFormat(std::string_view formatName) noexcept {
    for (const SoilFormat format : allSoilFormats) {
        if (name(format) == formatName) {
            return format;
        }
    }
    return std::nullopt;
}

bool filePerProfile(SoilFormat format) noexcept {
    return format != SoilFormat::dssat;
}

std::string_view convertedUnits(SoilFormat format) {
    switch (format) {
    case SoilFormat::fao56:
        return "FC, PWP and theta0 (set to FC) in cm3/cm3, bottom depths in whole cm";
    case SoilFormat::aquacrop:
        return "thickness in m, SAT, FC and WP in % by volume, Ksat in mm/day";
    case SoilFormat::dssat:
        return "SLLL, SDUL and SSAT in cm3/cm3, SSKS in cm/h, depths in cm";
    case SoilFormat::apsim:
        return "Thickness in mm, LL15, DUL, SAT and AirDry in mm/mm, KS in mm/day";
    }
    return {};
}

int curveNumber(double ksatMmPerDay) noexcept {
    // Hydrologic soil groups A to D by the top horizon's Ksat.
    if (ksatMmPerDay > 864.0) {
        return 46;
    }
    if (ksatMmPerDay >= 347.0) {
        return 61;
    }
    if (ksatMmPerDay >= 36.0) {
        return 72;
    }
    return 77;
}

double readilyEvaporableWater(double fc, double pwp) noexcept {
    constexpr double SurfaceLayerMm = 40.0;
    constexpr double MostRew = 15.0;
    const double rew = std::round((fc - pwp / 2.0) / 100.0 * SurfaceLayerMm);
    return std::clamp(rew, 0.0, MostRew);
}

std::vector<SoilFile> soilFiles(SoilFormat format, std::span<const SoilProfile> profiles,
                                const SoilFileOptions& options) {
    std::vector<SoilProfile> checked;
    checked.reserve(profiles.size());
    for (const SoilProfile& profile : profiles) {
        checked.push_back(sorted(profile));
        checkLayers(checked.back());
    }
    std::vector<SoilFile> files;
    for (const SoilProfile& profile : checked) {
        switch (format) {
        case SoilFormat::fao56:
            files.push_back({soil_file::fileName(profile.id, ".sol"),
                             soil_file::fao56Profile(profile, options)});
            files.push_back({soil_file::fileName(profile.id, "_taw.csv"),
                             soil_file::fao56Water(profile, options)});
            break;
        case SoilFormat::aquacrop:
            files.push_back({soil_file::fileName(profile.id, ".SOL"),
                             soil_file::aquacropProfile(profile, options)});
            break;
        case SoilFormat::apsim:
            files.push_back(
                {soil_file::fileName(profile.id, ".json"), soil_file::apsimProfile(profile)});
            break;
        case SoilFormat::dssat:
            break;
        }
    }
    if (format == SoilFormat::dssat) {
        files.push_back({"", soil_file::dssatFile(checked)});
    }
    checkNames(files);
    return files;
}

namespace soil_file {

std::string fixed(double value, int width, int decimals, std::string_view missing) {
    std::array<char, 64> text{};
    const int length =
        std::isfinite(value)
            ? std::snprintf(text.data(), text.size(), "%*.*f", width, decimals, value)
            : std::snprintf(text.data(), text.size(), "%*.*s", width,
                            static_cast<int>(missing.size()), missing.data());
    return {text.data(), static_cast<std::size_t>(std::max(length, 0))};
}

std::string json(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "null";
    }
    const double scale = std::pow(10.0, decimals);
    value = std::round(value * scale) / scale;
    // The engine's own text: the browser's standard library has no to_chars for doubles.
    return estimation::generalText(value);
}

std::string fileName(std::string_view id, std::string_view suffix) {
    std::string out;
    for (const char c : id) {
        const bool safe = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' ||
                          c == '_' || (c == '.' && !out.empty());
        out += safe ? c : '_';
    }
    if (out.empty()) {
        out = "_";
    }
    return out + std::string(suffix);
}

void fail(const SoilProfile& profile, const std::string& message) {
    // Ids are echoed as the engine echoes cells: a line break cannot forge a line.
    throw base::Error("profile " + estimation::printable(profile.id) + ": " + message);
}

void require(const SoilProfile& profile, double SoilLayer::*value, std::string_view what) {
    for (const SoilLayer& layer : profile.layers) {
        if (!std::isfinite(layer.*value)) {
            fail(profile, "the horizon at " + depthText(layer.top) + "-" + depthText(layer.bottom) +
                              " cm has no " + std::string(what));
        }
    }
}

} // namespace soil_file

} // namespace talvo::table
