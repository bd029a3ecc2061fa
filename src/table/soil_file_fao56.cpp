// pyfao56's layered soil-profile file, and the water it holds by root depth.

#include "table/soil_file_format.h"

#include <cmath>
#include <string>

namespace talvo::table::soil_file {

namespace {

constexpr double PercentPerFraction = 100.0;

} // namespace

std::string fao56Profile(const SoilProfile& profile, const SoilFileOptions& options) {
    const std::string stars(72, '*');
    std::string text =
        stars + "\npyfao56: FAO-56 Evapotranspiration in Python\nSoil Profile Data\n";
    text += "Timestamp: " + options.timestamp + "\n" + stars + "\n";
    text += "Comments: profile " + estimation::printable(profile.id) + " from talvo-batch; " +
            std::string(convertedUnits(SoilFormat::fao56)) + "\n" + stars + "\n";
    text += "Depth thetaFC thetaWP  theta0\n";
    for (const SoilLayer& layer : profile.layers) {
        // pyfao56 indexes its layers by bottom depth as a whole number of cm.
        if (layer.bottom != std::round(layer.bottom)) {
            fail(profile, "pyfao56 takes whole cm, and a horizon ends at " +
                              estimation::generalText(layer.bottom) + " cm");
        }
        text += fixed(layer.bottom, 5, 0);
        // The initial water is unknown: a soil at field capacity, as after heavy rain.
        for (const double value : {layer.fc, layer.pwp, layer.fc}) {
            text += ' ' + fixed(value / PercentPerFraction, 7, 3);
        }
        text += '\n';
    }
    return text;
}

std::string fao56Water(const SoilProfile& profile, const SoilFileOptions& options) {
    std::string text = "root_depth_cm,taw_mm,raw_mm\n";
    double taw = 0.0;
    for (const SoilLayer& layer : profile.layers) {
        // TAW = 1000 (theta_FC - theta_WP) Zr, layer by layer.
        taw += (layer.fc - layer.pwp) / PercentPerFraction * (layer.bottom - layer.top) * 10.0;
        text += estimation::generalText(layer.bottom) + ',' + fixed(taw, 0, 2) + ',' +
                fixed(options.rootZone.depletion * taw, 0, 2) + '\n';
    }
    return text;
}

} // namespace talvo::table::soil_file
