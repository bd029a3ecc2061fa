#pragma once

// The first stage of every run, threaded or not: the header read, its columns found, and the
// output's header line made.

#include "table/chunks.h"
#include "table/columns.h"
#include "table/settings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace talvo::table {

struct Head {
    Columns columns;
    std::string line;               // the output's header, byte-order mark and line break included
    std::uint64_t formulaCells = 0; // of the header's, as Summary counts them
};

// Reads the header from `reader`. Throws base::Error for an empty input and for a header the
// models cannot use, naming `inputName` where it is not empty; `notice` hears of a model
// left out.
Head readHead(ChunkReader& reader, const Settings& settings, std::string_view inputName,
              const std::function<void(const std::string&)>& notice);

// An error of the input as the user reads it: "soils.csv, line 3: unterminated quote",
// "soils.csv: missing column: sand"; `what` alone when `inputName` is empty.
std::string aboutInput(std::string_view inputName, std::string_view what);

} // namespace talvo::table
