#pragma once

#include "base/options.h"
#include "base/scale.h"
#include "estimation/estimation.h"
#include "map/tiles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvo::map {

// The bands hold the values of the two-decimal texts (fixed) or of the 15-digit ones.
using estimation::Precision;

// int16: FC, PWP and AWC as hundredths with the band's scale 0.01, exact for the two-decimal
// values; flags and texture as they are.
enum class OutputType { float32, float64, int16 };

// The GeoTIFF's compression, each with the predictor that suits the band type.
enum class Compression { deflate, zstd, lerc, none };

// One layer of a layered map: its depths, and the text that stands for {depth} in its names.
struct Layer {
    double top = 0;    // cm
    double bottom = 0; // cm
    std::string name;  // as --depths gives it: "0-5", or "0-5cm"
};

// A root-zone map from layers of soil rasters, one name pattern per quantity, each holding
// {depth}; the soil's own rasters (Settings::rasters) are patterns too.
struct DepthSettings {
    std::vector<Layer> layers;   // top down as given; empty: a map of one soil
    std::string bulkDensity;     // g/cm³ after scaling; empty: none (assumed, flagged bd)
    std::string coarseFragments; // % after scaling; empty: none
    std::optional<base::DecimalScale> bulkDensityScale;     // unset: the band's own scale, else 1
    std::optional<base::DecimalScale> coarseFragmentsScale; // likewise
    estimation::CoarseFragmentBasis basis = estimation::CoarseFragmentBasis::volume;
    estimation::RootZone zone;
};

// The deepest a layer or the root zone may reach, in cm: the deepest horizon a table may
// have, far below any soil, and shallow enough that a layer's water in mm stays finite.
inline constexpr double MaxDepth = estimation::DeepestHorizon;

// The layers of "0-5,5-15,15-30" (cm, "cm" after each allowed), top down as given. Throws
// Error where a layer's bottom is not below its top, or lies below MaxDepth.
std::vector<Layer> parseDepths(std::string_view text);

// `pattern` with every {depth} replaced by the layer's name.
std::string layerPath(const std::string& pattern, const Layer& layer);

// A map of a hydraulic model's curve instead of a model's FC and PWP (--hydraulics).
struct HydraulicSettings {
    std::optional<estimation::HydraulicModel> model; // unset: none
    std::optional<bool> topsoil;                     // --topsoil; HYPRES needs it
    double fcHead = estimation::FieldCapacityHead;
};

struct Settings {
    int model = 0;                      // position in the catalogue
    std::array<std::string, 4> rasters; // by estimation::Input; empty when not given
    base::ScaleSet scales;              // unset: the band's own scale, else 1
    // The scale of sand, silt and clay; USDA contents are converted for the models.
    estimation::ParticleSizeScale particleSizeScale = estimation::ParticleSizeScale::international;
    // The unit of oc after scaling, moved into the model's; unset: as the cells hold it.
    std::optional<estimation::CarbonUnit> carbonUnit;
    Precision precision = Precision::fixed;
    OutputType type = OutputType::float32;
    Compression compression = Compression::deflate; // what every GIS reads
    bool cog = false;                               // finished as a Cloud Optimized GeoTIFF
    std::optional<Tile> tile;                       // unset: the whole map
    unsigned threads = 0;                           // 0: as many as the machine has
    bool trustedInputs = false; // inputs may reach beyond the files named (map/reach.h)
    std::string output;
    DepthSettings depths; // its bulk density also serves --hydraulics
    HydraulicSettings hydraulics;
    // Input uncertainty (--sd): standard deviations in the unit of the input after scaling
    // (OC's in --oc-unit where given), one number for every cell or a raster (its path in
    // `column`) scaled as the input is; the bands gain the percentiles.
    base::SpreadSources spreads{};
    estimation::DrawSettings draws;
    bool uncertain() const noexcept;
};

// The global soil grids 2.0 as published (soilGridsScales(), on the USDA scale; bulk density
// in cg/cm³, coarse fragments in cm³/dm³).
void useSoilGrids(Settings& settings);

} // namespace talvo::map
