#pragma once

#include "base/result_spreads.h"
#include "estimation/estimation.h"
#include "table/csv.h"
#include "table/horizons.h"
#include "table/input_names.h"
#include "table/settings.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

// The names of the added columns, in their order after the input's own.
inline constexpr std::array<std::string_view, 8> AddedColumns{"model", "unit",    "fc",    "pwp",
                                                              "awc",   "texture", "flags", "error"};

// The table's layout, from its header.
struct Columns {
    std::size_t count = 0;                             // fields of the header
    std::array<std::optional<std::size_t>, 4> input{}; // sand, silt, clay, oc
    bool organicMatter = false;                        // the oc column holds organic matter
    estimation::InputSet read{};                       // inputs the chosen models read or flag
    std::vector<const estimation::PtfModel*> models;   // the models that run, in order
    std::string_view lineEnd = "\n";                   // the header's: rows end the same way
    // A horizon table's columns by HorizonInput; all but profile, top and bottom may be absent.
    std::array<std::optional<std::size_t>, allHorizonInputs.size()> horizon{};
    // The columns holding standard deviations (--sd), by estimation::Input.
    std::array<std::optional<std::size_t>, 4> spread{};
};

// With --sd, the percentiles each row gains before `error`: fc_p05, fc_p50, fc_p95, pwp_p05, ...
inline constexpr std::array SpreadColumns = base::SpreadNames;

// With --spread, the range of the models' results each row gains before `error`; the spread
// row's fc, pwp and awc hold their mean.
inline constexpr std::array<std::string_view, 6> ModelSpreadColumns{
    "fc_min", "fc_max", "pwp_min", "pwp_max", "awc_min", "awc_max"};

// Finds the inputs by the names real tables give them (input_names.h), or by the header
// --column gave. With every model asked for, a model whose columns are missing is left out
// and `notice` says so; it also hears once that organic matter is read as carbon. Throws
// base::Error for a header the models cannot use: UTF-16 text, a stray quote, missing columns
// (naming the headers found), an input a model reads that two columns could be, a column named like
// an added one.
Columns findColumns(const RecordView& header, const Settings& settings,
                    const std::function<void(const std::string&)>& notice = {});

// A horizon table's profile, top, bottom, bd and cf, by the name --column gave or the
// column's own (profile also as id). Throws base::Error where profile, top or bottom is missing.
using HorizonColumnsFound = std::array<std::optional<std::size_t>, allHorizonInputs.size()>;
HorizonColumnsFound horizonColumns(const RecordView& header, const Settings& settings);

// The columns --sd names, by their header in any case, by estimation::Input. Throws
// base::Error for one the header lacks.
std::array<std::optional<std::size_t>, 4> spreadColumns(const RecordView& header,
                                                        const Settings& settings);

// An input's cell as the models read it: at the input's scale where one is set, and organic
// matter as organic carbon.
estimation::InputValue readInputCell(std::string_view text, estimation::Input input,
                                     const Settings& settings, const Columns& columns);

// The header line of the output: the input's own columns (marked with --safe-cells), then the
// added ones.
std::string outputHeader(const RecordView& header, const Settings& settings,
                         const Columns& columns);

} // namespace talvo::table
