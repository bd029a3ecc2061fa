#include "estimation/estimation.h"

#include <cstddef>

namespace talvo::estimation {

namespace {

constexpr std::array<std::string_view, allParticleSizeScales.size()> Names{"international", "usda"};

} // namespace

std::string_view name(ParticleSizeScale scale) {
    return Names.at(static_cast<std::size_t>(scale));
}

std::optional<ParticleSizeScale> particleSizeScale(std::string_view name) noexcept {
    for (const ParticleSizeScale scale : allParticleSizeScales) {
        if (Names[static_cast<std::size_t>(scale)] == name) {
            return scale;
        }
    }
    return std::nullopt;
}

} // namespace talvo::estimation
