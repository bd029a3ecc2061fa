#pragma once

#include "base/options.h"
#include "base/scale.h"
#include "estimation/estimation.h"
#include "table/horizons.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace talvo::table {

using estimation::Precision;

// A run's settings, checked and typed; the command line makes them.
struct Settings {
    std::vector<const estimation::PtfModel*> models; // in output order, none twice
    // Every model was asked for: one whose columns are missing is left out, not an error.
    bool allModels = false;
    // --spread: each row's models are followed by a row with their mean and range.
    bool modelSpread = false;
    Precision precision = Precision::fixed;
    estimation::DecimalSeparator decimal;
    char delimiter = ','; // never the decimal separator, a quote or a line break
    // Cells a spreadsheet would run as formulas are written with a ' before them.
    bool safeCells = false;
    // The header naming each input (sand, silt, clay, oc); empty: the input's own name.
    std::array<std::string, 4> columnNames{};
    // Put before the names of the added columns, for tables that have such columns already.
    std::string prefix;
    // The scale sand, silt and clay are given on; the texture column follows it.
    estimation::ParticleSizeScale particleSizeScale = estimation::ParticleSizeScale::international;
    // Each input's text is read at its scale, where one is set: g/kg, fractions of 1.
    base::ScaleSet scales{};
    // The unit OC is given in, moved into each model's own; unset: as entered, as the window
    // reads it.
    std::optional<estimation::CarbonUnit> carbonUnit;

    // A horizon table (--profiles): its rows gain their water, their profiles the sums.
    bool profiles = false;
    // Each horizon keeps its soil and its FC and PWP for soil files (--write).
    bool soilDetails = false;
    estimation::RootZone rootZone;
    estimation::CoarseFragmentBasis basis = estimation::CoarseFragmentBasis::volume;
    // The header naming each HorizonInput's column; empty: the column's own name.
    std::array<std::string, allHorizonInputs.size()> horizonNames{};

    // ---- Input uncertainty (--sd): each row and model gains the percentiles of FC, PWP and
    // AWC over soils drawn around its own.
    base::SpreadSources spreads{};
    estimation::DrawSettings draws;
    bool uncertain() const noexcept {
        return std::any_of(spreads.begin(), spreads.end(),
                           [](const auto& spread) { return spread.has_value(); });
    }
};

} // namespace talvo::table
