#pragma once

#include "estimation/estimation.h"

#include <string>
#include <string_view>

namespace talvo::form {

// An input in words: "sand", "silt", "clay", "organic carbon".
std::string_view inputWords(estimation::Input input);

// A model's sheet in plain lines for people: the source, the inputs it reads with their units,
// what FC and PWP mean, how AWC follows, and each caveat on a line of its own.
std::string sheetText(const estimation::PtfModel& model);

} // namespace talvo::form
