// AquaCrop's soil profile file (.SOL), as its reference manual (version 7.1) lays it out.

#include "table/soil_file_format.h"

#include <cmath>
#include <string>

namespace talvo::table::soil_file {

namespace {

// AquaCrop's soil classes for capillary rise, judged on the horizon's water as its manual
// does: 1 sandy, 2 loamy, 3 sandy clayey, 4 silty clayey.
int soilClass(const SoilLayer& layer, double ksatMm) {
    if (layer.sat > 55.0) {
        return 4;
    }
    if (layer.pwp >= 20.0) {
        return layer.sat >= 49.0 && layer.fc >= 40.0 ? 4 : 3;
    }
    if (layer.fc < 23.0) {
        return 1;
    }
    if (layer.pwp > 16.0 && ksatMm < 100.0) {
        return 3;
    }
    if (layer.pwp < 6.0 && layer.fc < 28.0 && ksatMm > 750.0) {
        return 1;
    }
    return 2;
}

// The capillary-rise parameters a and b of the class, from Ksat in mm/day.
std::pair<double, double> capillaryRise(int soilClassNumber, double ksatMm) {
    const double lnKsat = std::log(ksatMm);
    switch (soilClassNumber) {
    case 1:
        return {-0.3112 - ksatMm * 1e-5, -1.4936 + 0.2416 * lnKsat};
    case 2:
        return {-0.4986 + ksatMm * 9e-5, -2.1320 + 0.4778 * lnKsat};
    case 3:
        return {-0.5677 - ksatMm * 4e-5, -3.7189 + 0.5922 * lnKsat};
    default:
        return {-0.6366 + ksatMm * 8e-4, -1.9165 + 0.7063 * lnKsat};
    }
}

// A line of the head: the value, then its description after the colon.
std::string headLine(const std::string& value, std::string_view what) {
    std::string line = value;
    line.resize(std::max<std::size_t>(line.size(), 28), ' ');
    return line + ": " + std::string(what) + "\n";
}

constexpr double MmPerCm = 10.0;

} // namespace

std::string aquacropProfile(const SoilProfile& profile, const SoilFileOptions& options) {
    require(profile, &SoilLayer::sat, "saturation (SAT)");
    require(profile, &SoilLayer::ks, "Ksat");
    const SoilLayer& top = profile.layers.front();
    const int curve = options.curveNumber.value_or(curveNumber(top.ks * MmPerCm));
    const double rew = options.readilyEvaporable.value_or(readilyEvaporableWater(top.fc, top.pwp));
    std::string text = "profile " + estimation::printable(profile.id) + " from talvo-batch; " +
                       std::string(convertedUnits(SoilFormat::aquacrop)) +
                       "; water of the whole soil, stones counted in it (Gravel 0)\n";
    text += headLine("        7.1", "AquaCrop Version (August 2023)");
    text += headLine(fixed(curve, 9, 0), "CN (Curve Number)");
    text += headLine(fixed(rew, 9, 0), "Readily evaporable water from top layer (mm)");
    text += headLine(fixed(static_cast<double>(profile.layers.size()), 9, 0),
                     "number of soil horizons");
    text += headLine("       -9", "variable no longer applicable");
    text += "  Thickness  Sat   FC    WP     Ksat   Penetrability  Gravel  CRa       CRb      "
            "     description\n";
    text += "  ---(m)-   ----(vol %)-----  (mm/day)      (%)        (%)    "
            "-----------------------------------------\n";
    for (const SoilLayer& layer : profile.layers) {
        const double ksatMm = layer.ks * MmPerCm;
        const auto [a, b] = capillaryRise(soilClass(layer, ksatMm), ksatMm);
        text += fixed((layer.bottom - layer.top) / 100.0, 8, 2) + fixed(layer.sat, 8, 1) +
                fixed(layer.fc, 6, 1) + fixed(layer.pwp, 6, 1) + fixed(ksatMm, 9, 1) +
                "        100         0    " + fixed(a, 10, 6) + fixed(b, 10, 6) +
                "         horizon " + estimation::generalText(layer.top) + "-" +
                estimation::generalText(layer.bottom) + " cm\n";
    }
    return text;
}

} // namespace talvo::table::soil_file
