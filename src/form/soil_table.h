#pragma once

// Every model side by side for one soil: each row is what the window shows after choosing
// that model and pressing Estimate, or why the model cannot estimate.

#include "estimation/estimation.h"

#include <array>
#include <string>

namespace talvo::form {

enum class SoilColumn { model, unit, fc, pwp, awc, remarks };
inline constexpr int SoilColumnCount = 6;

using SoilRow = std::array<std::string, SoilColumnCount>;
using SoilTable = std::array<SoilRow, estimation::ModelCount>;

// "Model", "Unit", "FC", "PWP", "AWC (mm)", "Remarks".
const SoilRow& soilTableHeader();

// One row per model, in the chooser's order. FC, PWP and AWC are the two-decimal texts of a
// successful estimate; a failed one leaves the 15-digit texts the window writes before the
// failure, and its remark says why: "needs organic carbon" for an input left blank, the
// window's own failure wording otherwise. The model's plausibility warnings follow.
// Sand, silt and clay are given on `scale`.
SoilTable
soilTable(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
          estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

// The table with the soil it is for, as a spreadsheet takes it: a header line, then one line
// per model that starts with the soil's inputs as typed (trimmed) and its texture class
// (empty without one, on the triangle of `scale`); cells separated by tabs, lines ending in
// '\n'.
std::string
tabSeparated(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
             const SoilTable& table,
             estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

// ---- The models' spread

// The row under the models: "mean of 7 models" (those that gave a number), "% v/v", their mean
// FC, PWP and AWC as two-decimal texts, and in the remarks their range and that FC and PWP
// are by volume, a model's % w/w times 1.49. With no model's number, "mean of 0 models",
// empty numbers and the reason.
SoilRow
soilSpread(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
           estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

} // namespace talvo::form
