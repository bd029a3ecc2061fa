#pragma once

// Cells a spreadsheet would run as formulas. Outputs keep them byte for byte; the tools say
// so, and --safe-cells marks them as text.

#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::table {

// Whether a cell starting with `first` may be a formula: a test cheap enough for every field.
constexpr bool mayBeFormula(char first) noexcept {
    return first == '=' || first == '+' || first == '-' || first == '@';
}

// Whether a spreadsheet would read `cell` as a formula: it starts with =, +, - or @ and is
// not a plain number (-1.5, +3,25, -2e-3) nor a sign alone ("-" for no value).
bool readAsFormula(std::string_view cell) noexcept;

// What spreadsheets read as "text follows": --safe-cells writes it before such a cell.
inline constexpr char TextMark = '\'';

// `cell` as --safe-cells writes it: TextMark before a formula, others as they are. Appended to
// `out`, unquoted.
void appendSafeCell(std::string& out, std::string_view cell);

// "2 cells begin with =, +, - or @, which a spreadsheet may run as formulas", followed by
// `remedy` after "; " where it is not empty; empty when `cells` is 0.
std::string formulaCellsNote(std::uint64_t cells, std::string_view remedy);

} // namespace talvo::table
