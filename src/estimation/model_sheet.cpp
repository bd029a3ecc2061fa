#include "estimation/detail/plausibility.h"
#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <limits>

namespace talvo::estimation {

namespace {

// The fractions as the window labels them.
constexpr InputUnit Sand{Input::sand, "% (0.02-2 mm)"};
constexpr InputUnit Silt{Input::silt, "% (0.002-0.02 mm)"};
constexpr InputUnit Clay{Input::clay, "% (<0.002 mm)"};
constexpr InputUnit CarbonPerKilogram{Input::oc, "g/kg"};
constexpr InputUnit CarbonPercent{Input::oc, "% (g/100 g)"};

constexpr std::array sandClay{Sand, Clay};
constexpr std::array sandClayCarbon{Sand, Clay, CarbonPerKilogram};
constexpr std::array sandClayCarbonPercent{Sand, Clay, CarbonPercent};
constexpr std::array siltClay{Silt, Clay};
constexpr std::array sandSiltClay{Sand, Silt, Clay};

constexpr std::string_view ByMass = "% w/w: g of water per 100 g of dry soil";
constexpr std::string_view ByVolume = "% v/v: cm3 of water per 100 cm3 of soil";
constexpr std::string_view AwcByMass =
    "mm of water in a 15 cm layer: (FC - PWP) / 100 x 1.49 x 150, with 1.49 g/cm3 an assumed "
    "bulk density that turns % w/w into % v/v";
constexpr std::string_view AwcByVolume = "mm of water in a 15 cm layer: (FC - PWP) / 100 x 150";

constexpr std::string_view Density =
    "AWC holds for a bulk density of 1.49 g/cm3; a denser soil holds more water per layer, a "
    "looser one less.";

// Tables give organic matter more often than carbon; the factor is the usual one, not the model's.
constexpr std::string_view OrganicMatter =
    "Organic matter in a table (om, om_r) is read as OC = OM / 1.724, the conventional van "
    "Bemmelen factor, in the unit of its numbers.";

constexpr std::array psdCaveats{
    std::string_view{"Silt is asked for but not read: the equations use sand and clay."},
    Density,
};
constexpr std::array psdCarbonCaveats{
    std::string_view{"Silt is asked for but not read."},
    std::string_view{"PWP divides by organic carbon, so OC must not be 0."},
    OrganicMatter,
    Density,
};
constexpr std::array rawlsCaveats{
    std::string_view{
        "Enter organic carbon in percent for this model's published results: its coefficients "
        "(5.17868 for FC, 2.73656 for PWP) are for OC in g/100 g, and the number entered is "
        "used as it stands, whatever unit a form or a column names. Sand 40, clay 20 and OC 5 "
        "give FC 50.85 % v/v; 5 g/kg entered as 0.5 gives the published 27.55."},
    std::string_view{"Silt is not read."},
    OrganicMatter,
};
constexpr std::array siltClayCaveats{
    std::string_view{"Sand is not read: FC and PWP follow from silt and clay."},
};
constexpr std::array sandOrClayCaveats{
    std::string_view{"FC follows from sand alone and PWP from clay alone; silt is not read."},
};
constexpr std::array sandSiltOrClayCaveats{
    std::string_view{"FC follows from sand and silt, PWP from clay alone."},
};
constexpr std::array threeFractionCaveats{Density};

// The soils each paper says its equations were fitted on; models without any stated have none.
// Rawls et al. read OC in %, so their organic matter bounds OC x 1.724 in %.
constexpr std::string_view Rawls1982 = "Rawls et al., 1982";
constexpr std::array rawlsDomain{
    CalibrationRange{DomainQuantity::sand, 0.1, 99.0, "%", Rawls1982},
    CalibrationRange{DomainQuantity::clay, 0.1, 94.0, "%", Rawls1982},
    CalibrationRange{DomainQuantity::organicMatter, 0.1, 12.5, "%", Rawls1982},
};
// Their model reads no carbon: a soil is judged on it only where it is given.
constexpr std::array chakrabortyDomain{
    CalibrationRange{DomainQuantity::oc, 0.2, 11.8, "g/kg", "Chakraborty et al., 2011"},
};

constexpr std::array<ModelSheet, ModelCount> sheets{{
    {"This calculator's own regression on particle-size distribution", sandClay, ByMass, AwcByMass,
     psdCaveats},
    {"This calculator's own regression on particle-size distribution and organic carbon",
     sandClayCarbon, ByMass, AwcByMass, psdCarbonCaveats},
    {Rawls1982, sandClayCarbonPercent, ByVolume, AwcByVolume, rawlsCaveats, rawlsDomain},
    {"Tomasella and Hodnett, 1998", siltClay, ByVolume, AwcByVolume, siltClayCaveats},
    {"Singh, 2000", sandClay, ByVolume, AwcByVolume, sandOrClayCaveats},
    {"Adhikary et al., 2008", sandSiltClay, ByVolume, AwcByVolume, sandSiltOrClayCaveats},
    {"Chakraborty et al., 2011", sandSiltClay, ByMass, AwcByMass, threeFractionCaveats,
     chakrabortyDomain},
}};

// The flags' bounds of every sheet's ranges, by position; made in the build, so that no
// estimate can run before them.
constexpr std::array<detail::DomainBounds, ModelCount>
boundsOf(const std::array<ModelSheet, ModelCount>& all) {
    std::array<detail::DomainBounds, ModelCount> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        out.at(i) = detail::domainBounds(all.at(i).calibration);
    }
    return out;
}
constexpr std::array<detail::DomainBounds, ModelCount> bounds = boundsOf(sheets);

} // namespace

const detail::DomainBounds& detail::domainBounds(const PtfModel& model) noexcept {
    return bounds[static_cast<std::size_t>(model.position)];
}

const ModelSheet& modelSheet(const PtfModel& model) {
    return sheets.at(static_cast<std::size_t>(model.position));
}

// ---- Hydraulic models

namespace {

constexpr InputUnit UsdaSand{Input::sand, "% (0.05-2 mm, USDA)"};
constexpr InputUnit UsdaSilt{Input::silt, "% (0.002-0.05 mm, USDA)"};
constexpr InputUnit UsdaClay{Input::clay, "% (<0.002 mm)"};
constexpr InputUnit OrganicMatterPercent{Input::oc, "% organic matter (OM = OC x 1.724)"};

constexpr std::array saxtonRawlsInputs{UsdaSand, UsdaClay, OrganicMatterPercent};
constexpr std::array hypresInputs{UsdaSilt, UsdaClay, OrganicMatterPercent};

constexpr std::string_view CurveWater =
    "m3/m3 (shown as % v/v): FC read from the curve at 330 cm (33 kPa; 100 cm on request), "
    "PWP at 15,000 cm (1500 kPa)";
constexpr std::string_view CurveAwc = "FC - PWP of the curve, m3/m3";
constexpr std::string_view UsdaScale =
    "Sand, silt and clay on the international scale are turned to the USDA one first (silt "
    "2-50 um by the log-linear curve, taken from sand) and flagged psd; a soil with too little "
    "sand for it has no estimate.";
constexpr std::string_view CarbonAsMatter =
    "Organic carbon is read as organic matter OM = OC x 1.724 (the van Bemmelen factor); "
    "organic matter may be given directly.";

constexpr std::array saxtonRawlsCaveats{
    std::string_view{"Silt is read only to turn sizes on the international scale into USDA ones: "
                     "the equations use sand, clay and organic matter."},
    std::string_view{"The curve is the paper's own: theta_s to the air-entry tension, a straight "
                     "line to 33 kPa, a power law beyond; it has no theta_r, alpha or n."},
    std::string_view{"Ks in mm/h as published (x 2.4 for cm/day). A density factor (0.9-1.3) and "
                     "gravel by weight adjust theta_s, theta33, Ks and the available water."},
    std::string_view{"An air-entry tension below 0, as the regression gives some sands, is taken "
                     "as 0, so that the curve is saturated at 0 cm."},
    UsdaScale,
    CarbonAsMatter,
};
constexpr std::array hypresCaveats{
    std::string_view{"Sand is read only to turn sizes on the international scale into USDA ones."},
    std::string_view{"Reads bulk density (g/cm3) and whether the layer is topsoil; it divides by "
                     "clay, silt and OM and takes logarithms of silt and OM, so none may be 0."},
    std::string_view{"theta_r is 0, as the continuous PTF fits no residual water content."},
    std::string_view{"Copies of the equations differ in signs; the sign-corrected form is used, "
                     "with OM^-1 in n* as in the paper's other OM terms of that form."},
    UsdaScale,
    CarbonAsMatter,
};

// HYPRES's paper states no ranges for its continuous PTF.
constexpr double NoBound = std::numeric_limits<double>::infinity();
constexpr std::string_view SaxtonRawls2006 = "Saxton and Rawls, 2006";
constexpr std::array saxtonRawlsCalibration{
    CalibrationRange{DomainQuantity::clay, -NoBound, 60.0, "%", SaxtonRawls2006},
    CalibrationRange{DomainQuantity::organicMatter, -NoBound, 8.0, "%", SaxtonRawls2006},
    CalibrationRange{DomainQuantity::bulkDensity, 1.0, 1.8, "g/cm3", SaxtonRawls2006},
};

const std::array<ModelSheet, allHydraulicModels.size()> hydraulicSheets{{
    {"Saxton and Rawls, 2006, Soil Sci. Soc. Am. J. 70:1569-1578", saxtonRawlsInputs, CurveWater,
     CurveAwc, saxtonRawlsCaveats, saxtonRawlsCalibration},
    {"Wösten, Lilly, Nemes and Le Bas, 1999, Geoderma 90:169-185 (HYPRES continuous PTF)",
     hypresInputs, CurveWater, CurveAwc, hypresCaveats},
}};

} // namespace

const ModelSheet& modelSheet(HydraulicModel model) {
    return hydraulicSheets.at(static_cast<std::size_t>(model));
}

} // namespace talvo::estimation
