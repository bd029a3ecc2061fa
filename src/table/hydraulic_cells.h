#pragma once

// A --hydraulics table's row as the models read it: the header's layout, then each row's
// cells once for all its models, its soil for each, its horizon and its spreads.

#include "estimation/estimation.h"
#include "table/csv.h"
#include "table/horizon_cells.h"
#include "table/horizons.h"
#include "table/hydraulics.h"
#include "table/settings.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::table {

// Where the header holds what the models read besides the four inputs.
struct HydraulicLayout {
    std::array<std::optional<std::size_t>, 4> inputs; // sand, silt, clay, oc
    bool organicMatter = false;                       // the oc column holds OM
    std::optional<std::size_t> bulkDensity;
    std::optional<std::size_t> topsoil;
    bool hypres = false;                              // HYPRES runs: it reads bd and the layer
    std::array<std::optional<std::size_t>, 4> spread; // --sd's columns
    table::HorizonColumnsFound horizon{};             // with --profiles
    std::size_t width = 0;
};

// Throws base::Error where the header lacks an input, names one twice, or HYPRES has no layer.
HydraulicLayout findHydraulicLayout(const RecordView& header, const Settings& settings,
                                    const HydraulicArguments& arguments);

// A row's cells as the models read them, read once for all its models.
struct HydraulicCells {
    estimation::HydraulicInputs inputs{}; // bd and the layer only where their cells gave them
    std::string inputError;               // of the four inputs
    bool hasDensity = false;              // a bd cell that is not empty
    std::string densityError;             // of the bd cell, where it was read
    std::string layerError;               // of the topsoil cell, where HYPRES runs
};

// One row's soil as a model reads it, or why it has none.
struct HydraulicRowSoil {
    estimation::HydraulicInputs inputs{};
    estimation::HydraulicSoil soil{};
    estimation::Flags flags; // psd where the sizes were converted
    std::string error;       // empty: the soil is whole
};

HydraulicCells readHydraulicCells(const RecordView& row, const HydraulicLayout& layout,
                                  const Settings& settings, const HydraulicArguments& arguments);

// HYPRES's layer from a topsoil cell (none where there is no such column), --topsoil's
// `option` standing in for the column or its empty cells; the error text of a cell that names
// neither layer.
std::string readTopsoil(std::optional<std::string_view> cell, std::optional<bool> option,
                        bool& topsoil);

// The row's soil for `model`. A conversion that fails is told before a density or layer
// cell that does, as the sizes come first; Saxton and Rawls read bd only where it is given.
HydraulicRowSoil hydraulicRowSoil(const RecordView& row, const HydraulicCells& cells,
                                  estimation::HydraulicModel model, const HydraulicLayout& layout);

// A row's horizon, read once for all its models.
struct HydraulicHorizon {
    table::Horizon horizon;
    std::string fault;     // a depth, bd or cf cell without a sound number: no water
    std::string malformed; // no profile: not a horizon at all
};

HydraulicHorizon readHydraulicHorizon(const RecordView& row, const HydraulicLayout& layout,
                                      const Settings& settings);

// The row's standard deviations, in its inputs' units; the error text of a cell that gives
// none, as the other tables word it.
std::string readHydraulicSpread(const RecordView& row, const HydraulicLayout& layout,
                                const Settings& settings, estimation::InputSpread& spread);

} // namespace talvo::table
