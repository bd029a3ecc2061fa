#pragma once

// The scores as a CSV table: one row per model and quantity.

#include "estimation/estimation.h"
#include "evaluation/evaluation.h"

#include <array>
#include <string>
#include <string_view>

namespace talvo::evaluation {

inline constexpr std::array<std::string_view, 13> MetricsColumns{
    "model", "unit", "quantity", "n",         "me", "me_low", "me_high",
    "mae",   "rmse", "rmse_low", "rmse_high", "r2", "nse"};

// The header and a row per comparison; numbers with up to 15 significant digits, a score
// that is undefined (no rows, no spread) left empty.
std::string metricsTable(const Outcome& outcome, char delimiter = ',',
                         estimation::DecimalSeparator decimal = {});

} // namespace talvo::evaluation
