#pragma once

// Estimates every row of a CSV table with the calculator's own EstimateAction.

#include "estimation/number_text.h"
#include "table/error.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

enum class Precision {
    fixed,  // the two-decimal texts the window finally shows
    general // the 15-digit texts written before the formatting pass
};

struct Settings {
    std::vector<int> models; // positions in the catalogue, in output order
    Precision precision = Precision::fixed;
    estimation::DecimalSeparator decimal;
    char delimiter = ',';
};

// Settings from the option texts as typed: MODEL is a position 0 to 6, a list text exactly as
// the chooser shows it, or "all"; an empty delimiter means the default for the decimal
// separator ("," or ";" after a decimal comma); "tab" is a tab. Throws Error.
Settings makeSettings(std::string_view model, std::string_view precision, std::string_view decimal,
                      std::string_view delimiter);

// The catalogue as a table for people: position, list text, inputs read, unit captions.
std::string modelListing();

struct Summary {
    std::uint64_t records = 0;       // records below the header
    std::uint64_t rows = 0;          // rows written below the header: records x models
    std::uint64_t rowsWithError = 0; // of these, rows with a reason in `error`
};

struct RunOptions {
    unsigned threads = 0; // 0: as many as the machine has, at most 4
    // Called now and then, in order, with the count of input bytes consumed so far.
    std::function<void(std::uint64_t)> progress;
};

// Reads the CSV table from `input` and writes it to `output` with the columns model, fc,
// pwp, awc and error added: one row per record and model, in input order. Memory stays
// constant whatever the length of the table. Throws Error (CsvError for the input itself,
// after the rows before the damage have been written).
Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options = {});

} // namespace talvo::table
