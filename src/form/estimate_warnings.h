#pragma once

#include "estimation/estimation.h"

#include <string>

namespace talvo::form {

// The plausibility warnings of an estimate in words, the soil's then the model's, one
// sentence a line; empty when there are none or no model is chosen.
std::string estimateWarnings(int modelIndex, const estimation::InputTexts& texts,
                             estimation::DecimalSeparator separator);

} // namespace talvo::form
