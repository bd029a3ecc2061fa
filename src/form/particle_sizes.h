#pragma once

// The particle-size scales a form offers for sand, silt and clay, with the words its chooser
// shows: the desktop's soil details and the browser page list the same choices.

#include "estimation/estimation.h"

#include <array>
#include <string_view>

namespace talvo::form {

struct ParticleSizeChoice {
    estimation::ParticleSizeScale scale;
    std::string_view label;  // in the chooser
    std::string_view detail; // its tooltip
};

// In the chooser's order; the first is the default, what the models read.
inline constexpr std::array particleSizeChoices{
    ParticleSizeChoice{estimation::ParticleSizeScale::international,
                       "International (silt 2-20 \u00b5m)",
                       "Sand, silt and clay as the models read them."},
    ParticleSizeChoice{estimation::ParticleSizeScale::usda, "USDA (silt 2-50 \u00b5m)",
                       "As SoilGrids, SSURGO and KSSL give them: converted to the international "
                       "scale by log-linear interpolation between 2 and 50 \u00b5m, an "
                       "approximation; the class is read on the USDA triangle."},
};

} // namespace talvo::form
