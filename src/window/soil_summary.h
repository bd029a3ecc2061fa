#pragma once

// What the soil view says about the soil whatever the model.

#include "estimation/estimation.h"

#include <optional>
#include <string>
#include <vector>

namespace talvo::window {

// The class of sand, silt and clay as typed; none where one is no number or off the triangle.
std::optional<estimation::TextureClass> soilTexture(const estimation::InputTexts& texts,
                                                    estimation::DecimalSeparator separator);

// "Texture class: silt loam", or "Texture class: none" while sand, silt and clay give none.
std::string textureLine(const estimation::InputTexts& texts,
                        estimation::DecimalSeparator separator);

// The soil's plausibility warnings in words, one sentence each.
std::vector<std::string> soilWarnings(const estimation::InputTexts& texts,
                                      estimation::DecimalSeparator separator);

} // namespace talvo::window
