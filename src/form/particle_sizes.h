#pragma once

// The particle-size scales a form offers for sand, silt and clay, with the words its chooser
// shows: the desktop's soil details and the browser page list the same choices.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace talvo::form {

struct ParticleSizeChoice {
    estimation::ParticleSizeScale scale;
    std::string_view label;  // in the chooser
    std::string_view detail; // its tooltip
    // The form's sand and silt labels where a form can change them (the page's).
    std::string_view sandLabel;
    std::string_view siltLabel;
    // Where the labels are fixed (the window's), its flag line says this instead; empty for
    // the scale the labels name.
    std::string_view formNote;
};

// In the chooser's order; the first is the default, what the models read.
inline constexpr std::array particleSizeChoices{
    ParticleSizeChoice{estimation::ParticleSizeScale::international,
                       "International (silt 2-20 \u00b5m)",
                       "Sand, silt and clay as the models read them.",
                       "Sand content (0.02-2 mm) (%)", "Silt content (0.002-0.02 mm) (%)", ""},
    ParticleSizeChoice{estimation::ParticleSizeScale::usda, "USDA (silt 2-50 \u00b5m)",
                       "As SoilGrids, SSURGO and KSSL give them: converted to the international "
                       "scale by log-linear interpolation between 2 and 50 \u00b5m, an "
                       "approximation; the class is read on the USDA triangle.",
                       "Sand content (0.05-2 mm) (%)", "Silt content (0.002-0.05 mm) (%)",
                       "USDA sizes: sand 0.05-2 mm, silt 0.002-0.05 mm"},
};

// Each scale's choice sits at the scale's number.
static_assert(particleSizeChoices[0].scale == estimation::ParticleSizeScale::international &&
              particleSizeChoices[1].scale == estimation::ParticleSizeScale::usda);

inline constexpr const ParticleSizeChoice& particleSizeChoice(estimation::ParticleSizeScale scale) {
    return particleSizeChoices.at(static_cast<std::size_t>(scale));
}

} // namespace talvo::form
