// APSIM Next Generation's Physical node of a soil, as JSON to paste or import.

#include "table/soil_file_format.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table::soil_file {

namespace {

// The air-dry water of a layer as APSIM's soil guidelines take it: half of LL15 near the
// surface, which dries the most, four fifths to 30 cm, LL15 below.
double airDryShare(const SoilLayer& layer) {
    if (layer.top < 15.0) {
        return 0.5;
    }
    return layer.top < 30.0 ? 0.8 : 1.0;
}

// A key and its array, each value to `decimals` decimals.
template <typename Value>
std::string array(std::string_view key, const std::vector<SoilLayer>& layers, int decimals,
                  Value value) {
    std::string text = "  \"" + std::string(key) + "\": [";
    for (std::size_t i = 0; i < layers.size(); ++i) {
        text += (i == 0 ? "" : ", ") + json(value(layers[i]), decimals);
    }
    return text + "],\n";
}

} // namespace

std::string apsimProfile(const SoilProfile& profile) {
    require(profile, &SoilLayer::bulkDensity, "bulk density");
    require(profile, &SoilLayer::sat, "saturation (SAT)");
    require(profile, &SoilLayer::ks, "Ks");
    const std::vector<SoilLayer>& layers = profile.layers;
    const auto known = [&layers](double SoilLayer::*value) {
        return std::all_of(layers.begin(), layers.end(),
                           [value](const SoilLayer& layer) { return std::isfinite(layer.*value); });
    };
    std::string text = "{\n  \"$type\": \"Models.Soils.Physical, Models\",\n";
    text += "  \"Name\": \"Physical\",\n";
    text +=
        array("Thickness", layers, 1, [](const SoilLayer& l) { return (l.bottom - l.top) * 10.0; });
    if (known(&SoilLayer::clay) && known(&SoilLayer::silt)) {
        text += array("ParticleSizeClay", layers, 1, [](const SoilLayer& l) { return l.clay; });
        text += array("ParticleSizeSilt", layers, 1, [](const SoilLayer& l) { return l.silt; });
    }
    text += array("BD", layers, 3, [](const SoilLayer& l) { return l.bulkDensity; });
    text += array("AirDry", layers, 4,
                  [](const SoilLayer& l) { return airDryShare(l) * l.pwp / 100.0; });
    text += array("LL15", layers, 4, [](const SoilLayer& l) { return l.pwp / 100.0; });
    text += array("DUL", layers, 4, [](const SoilLayer& l) { return l.fc / 100.0; });
    text += array("SAT", layers, 4, [](const SoilLayer& l) { return l.sat / 100.0; });
    text += array("KS", layers, 1, [](const SoilLayer& l) { return l.ks * 10.0; });
    if (known(&SoilLayer::stones)) {
        text += array("Rocks", layers, 1, [](const SoilLayer& l) { return l.stones; });
    }
    return text + "  \"Children\": []\n}\n";
}

} // namespace talvo::table::soil_file
