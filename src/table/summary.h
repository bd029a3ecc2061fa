#pragma once

// What a run's rows add up to, and the notes a front end prints from it.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::table {

struct Summary {
    std::uint64_t records = 0;       // records below the header
    std::uint64_t rows = 0;          // rows written below the header: records x models
    std::uint64_t rowsWithError = 0; // of these, rows with a reason in `error`
    // Of these, rows that failed on a cell holding a number with a decimal comma, which the
    // decimal point the run reads with cannot read.
    std::uint64_t rowsWithDecimalComma = 0;
    // Of these, rows that carry each flag, in the order of allFlags.
    std::array<std::uint64_t, estimation::allFlags.size()> rowsFlagged{};
    // Rows with a flag that asks for a look (any but psd, which every converted row carries,
    // and measured, which tells where the numbers came from).
    std::uint64_t rowsToCheck = 0;
    // What the records' sand, silt and clay, as read, say about their unit.
    estimation::ContentUnitTally units;
    // The table's own cells, header included, that a spreadsheet would run as formulas.
    std::uint64_t formulaCells = 0;

    void countFlags(estimation::Flags flags) noexcept {
        if (flags.empty()) {
            return;
        }
        for (std::size_t i = 0; i < rowsFlagged.size(); ++i) {
            rowsFlagged[i] += flags.contains(estimation::allFlags[i]) ? 1U : 0U;
        }
        flags.remove(estimation::Flag::psd);
        flags.remove(estimation::Flag::measured);
        rowsToCheck += flags.empty() ? 0U : 1U;
    }
    Summary& operator+=(const Summary& other) noexcept {
        records += other.records;
        rows += other.rows;
        rowsWithError += other.rowsWithError;
        rowsWithDecimalComma += other.rowsWithDecimalComma;
        for (std::size_t i = 0; i < rowsFlagged.size(); ++i) {
            rowsFlagged[i] += other.rowsFlagged[i];
        }
        rowsToCheck += other.rowsToCheck;
        units += other.units;
        formulaCells += other.formulaCells;
        return *this;
    }
};

// What a run tells of its rows with an error: "4 of 5 rows could not be estimated; the error
// column says why"; empty when there are none.
std::string failedRowsNote(const Summary& summary);

// What a run tells of its flagged rows, in one line for the flags some row carries: "12 of 97
// rows flagged sum, 3 flagged result", since the flags column is easy to miss in a long table;
// empty when no row is flagged.
std::string flaggedRowsNote(const Summary& summary);

// How a front end names its ways of reading misread contents right: talvo-batch's options,
// the page's choices. Each ends the sentence, after "; ".
struct UnitRemedies {
    std::string_view fractions;
    std::string_view gramsPerKilogram;
};

// One line when most records' sand, silt and clay look like fractions of 1 or like g/kg,
// naming the remedy; empty when they look like percent.
std::string misreadUnitNote(const Summary& summary, const UnitRemedies& remedies);

} // namespace talvo::table
