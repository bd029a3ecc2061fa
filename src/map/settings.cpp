#include "map/settings.h"

#include "base/error.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace talvo::map {

namespace {

// A depth in cm: digits with an optional fraction, as the soil grids' names have them.
double depthNumber(std::string_view text, std::string_view layer) {
    double value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || !std::isfinite(value)) {
        throw base::Error("--depths: '" + std::string(layer) +
                          "' is no layer: give TOP-BOTTOM in cm, "
                          "such as 0-5");
    }
    return value;
}

Layer parseLayer(std::string_view name) {
    std::string_view depths = name;
    if (depths.ends_with("cm")) {
        depths.remove_suffix(2);
    }
    const std::size_t dash = depths.find('-', 1);
    if (dash == std::string_view::npos) {
        depthNumber({}, name); // throws
    }
    Layer layer{depthNumber(depths.substr(0, dash), name),
                depthNumber(depths.substr(dash + 1), name), std::string(name)};
    if (layer.top < 0 || layer.bottom <= layer.top || layer.bottom > MaxDepth) {
        throw base::Error("--depths: layer " + layer.name + ": give 0 <= top < bottom <= " +
                          estimation::generalText(MaxDepth) + ", in cm");
    }
    return layer;
}

} // namespace

std::vector<Layer> parseDepths(std::string_view text) {
    std::vector<Layer> layers;
    while (true) {
        const std::size_t comma = text.find(',');
        layers.push_back(parseLayer(text.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return layers;
        }
        text.remove_prefix(comma + 1);
    }
}

std::string layerPath(const std::string& pattern, const Layer& layer) {
    constexpr std::string_view Placeholder = "{depth}";
    std::string path;
    std::size_t from = 0;
    for (std::size_t at = pattern.find(Placeholder); at != std::string::npos;
         at = pattern.find(Placeholder, from)) {
        path.append(pattern, from, at - from).append(layer.name);
        from = at + Placeholder.size();
    }
    return path.append(pattern, from);
}

void useSoilGrids(Settings& settings) {
    settings.scales = base::soilGridsScales();
    settings.particleSizeScale =
        estimation::ParticleSizeScale::usda; // sand 0.05-2 mm, silt 0.002-0.05 mm
    settings.depths.bulkDensityScale = base::DecimalScale{1, 2};     // bdod: cg/cm³ to g/cm³
    settings.depths.coarseFragmentsScale = base::DecimalScale{1, 1}; // cfvo: cm³/dm³ to %
}

bool Settings::uncertain() const noexcept {
    return std::any_of(spreads.begin(), spreads.end(),
                       [](const auto& spread) { return spread.has_value(); });
}

} // namespace talvo::map
