#pragma once

// What the soil view says about the soil whatever the model.

#include "estimation/estimation.h"

#include <optional>
#include <string>
#include <vector>

namespace talvo::form {

// The class of sand, silt and clay as typed, on the triangle of `scale`; none where one is no
// number or off the triangle.
std::optional<estimation::TextureClass>
soilTexture(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
            estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

// "Texture class: silt loam", or "Texture class: none" while sand, silt and clay give none;
// on the USDA scale "USDA texture class: silt loam", from the USDA triangle.
std::string
textureLine(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
            estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

// The soil's plausibility warnings in words, one sentence each; on the USDA scale, first that
// sand and silt are converted.
std::vector<std::string>
soilWarnings(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
             estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

} // namespace talvo::form
