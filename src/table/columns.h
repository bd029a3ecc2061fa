#pragma once

#include "estimation/input_values.h"
#include "table/csv.h"
#include "table/settings.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace talvo::table {

// Where the inputs are in the table, from its header.
struct Columns {
    std::size_t count = 0;                             // fields of the header
    std::array<std::optional<std::size_t>, 4> input{}; // sand, silt, clay, oc
    estimation::InputSet read{};                       // inputs some chosen model reads
};

// Finds the inputs the models read by name, in any case and ignoring blanks. Throws Error for
// a header the models cannot use: UTF-16 text, a stray quote, a missing column, two columns
// of one name that a model reads.
Columns findColumns(const RecordView& header, const Settings& settings);

// The header line of the output: the input's own columns, then the added ones.
std::string outputHeader(const RecordView& header, const Settings& settings);

} // namespace talvo::table
