#pragma once

// Soil files for the models users feed: a profile's horizons in each model's own layers,
// units and names. The files are built whole in memory; the front end puts them in place.

#include "estimation/estimation.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

enum class SoilFormat : std::uint8_t { fao56, aquacrop, dssat, apsim };
inline constexpr std::array allSoilFormats{SoilFormat::fao56, SoilFormat::aquacrop,
                                           SoilFormat::dssat, SoilFormat::apsim};

// "fao56", "aquacrop", "dssat", "apsim": the values of --write.
std::string_view name(SoilFormat format);
std::optional<SoilFormat> soilFormat(std::string_view name) noexcept;
// A file for each profile in a folder, or every profile in one file (DSSAT's .SOL).
bool filePerProfile(SoilFormat format) noexcept;
// The units the format's files are written in, against the calculator's own, for the tool
// to print where the format has no room for comments (JSON).
std::string_view convertedUnits(SoilFormat format);

inline constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();

// One horizon as the files need it; NaN where not known.
struct SoilLayer {
    double top = 0.0;               // cm
    double bottom = 0.0;            // cm
    double fc = NoValue;            // % v/v of the whole soil, stones included
    double pwp = NoValue;           // likewise
    double sat = NoValue;           // likewise
    double ks = NoValue;            // cm/day
    double bulkDensity = NoValue;   // g/cm³ of the fine earth
    double organicCarbon = NoValue; // %
    double clay = NoValue;          // %
    double silt = NoValue;          // %, 2-50 um
    double stones = NoValue;        // % of the whole soil by volume
};

struct SoilProfile {
    std::string id;
    std::vector<SoilLayer> layers; // from the surface down
};

struct SoilFileOptions {
    estimation::RootZone rootZone; // the depletion fraction of fao56's RAW
    // AquaCrop's curve number and readily evaporable water (mm); derived where not given.
    std::optional<int> curveNumber;
    std::optional<double> readilyEvaporable;
    // pyfao56 files carry one: "mm/dd/YYYY HH:MM:SS".
    std::string timestamp = "01/01/2000 00:00:00";
};

struct SoilFile {
    std::string name; // a file name, safe in any folder; "" for a format's single file
    std::string text;
};

// The files of `profiles` in `format`. Throws base::Error naming the profile and what keeps
// it from being written (a gap between horizons, a quantity the format needs and the
// horizon lacks, an id the format cannot hold), before any file is built.
std::vector<SoilFile> soilFiles(SoilFormat format, std::span<const SoilProfile> profiles,
                                const SoilFileOptions& options = {});

// AquaCrop's derivations from the top horizon, as its manual gives them.
// The curve number from Ksat in mm/day, by hydrologic soil group.
int curveNumber(double ksatMmPerDay) noexcept;
// REW in mm from FC and WP in % v/v: the water of the top 4 cm evaporable down to half
// of WP, 0 to 15 mm.
double readilyEvaporableWater(double fc, double pwp) noexcept;

} // namespace talvo::table
