#pragma once

// --oc-unit, which talvo-batch and talvo-map share: the unit organic carbon is given in,
// moved into the unit each model reads.

#include "base/scale.h"
#include "estimation/estimation.h"

#include <CLI/CLI.hpp>

#include <optional>

namespace talvo::cli {

// Declares --oc-unit g/kg|% on `app`, into `unit`.
CLI::Option* addCarbonUnitOption(CLI::App& app, std::optional<estimation::CarbonUnit>& unit);

// The unit OC is known in once the options are read: --oc-unit's, else g/kg where --scale
// gives oc (its help says oc=0.1 reads dg/kg as g/kg), else none: as entered.
std::optional<estimation::CarbonUnit> knownCarbonUnit(std::optional<estimation::CarbonUnit> given,
                                                      const base::ScaleSet& scales);

} // namespace talvo::cli
