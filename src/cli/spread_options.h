#pragma once

// --sd, --draws and --seed, which talvo-batch and talvo-map share: standard deviations of the
// inputs, and the draws that carry them through the models.

#include "base/options.h"
#include "estimation/estimation.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

namespace talvo::cli {

// Declares the three on `app`, --sd described by `sdHelp`; `each` is what a tool draws around
// ("row", "cell"). Returns --sd, which the other two need.
CLI::Option* addSpreadOptions(CLI::App& app, base::SpreadSources& spreads,
                              estimation::DrawSettings& draws, const std::string& sdHelp,
                              std::string_view each);

} // namespace talvo::cli
