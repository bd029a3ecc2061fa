#pragma once

#include "estimation/estimation.h"
#include "table/csv.h"
#include "table/horizons.h"
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
    estimation::InputSet read{};                       // inputs some chosen model reads
    std::vector<const estimation::PtfModel*> models;   // the models that run, in order
    std::string_view lineEnd = "\n";                   // the header's: rows end the same way
    // A horizon table's profile, top, bottom, bd and cf; bd and cf may be absent.
    std::array<std::optional<std::size_t>, allHorizonInputs.size()> horizon{};
};

// Names as a user would match them: ASCII letters in any case.
bool sameName(std::string_view a, std::string_view b);

// Finds the inputs by name (the input's own, or the header --column gave), in any case and
// ignoring blanks. With every model asked for, a model whose columns are missing is left out
// and `leftOut` says so. Throws Error for a header the models cannot use: UTF-16 text, a stray
// quote, missing columns (naming the headers found), two columns of one name that a model
// reads, a column named like an added one.
Columns findColumns(const RecordView& header, const Settings& settings,
                    const std::function<void(const std::string&)>& leftOut = {});

// The header line of the output: the input's own columns (marked with --safe-cells), then the
// added ones.
std::string outputHeader(const RecordView& header, const Settings& settings,
                         const Columns& columns);

} // namespace talvo::table
