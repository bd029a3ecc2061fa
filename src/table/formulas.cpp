#include "table/formulas.h"

namespace talvo::table {

namespace {

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Digits from `at`; returns where they end.
std::size_t skipDigits(std::string_view text, std::size_t at) noexcept {
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    return at;
}

// A sign, digits with at most one point or comma among or before them, and an exponent: what
// spreadsheets read as a number in either separator's locale.
bool isPlainNumber(std::string_view cell) noexcept {
    std::size_t at = cell.empty() || (cell[0] != '+' && cell[0] != '-') ? 0 : 1;
    const std::size_t whole = skipDigits(cell, at);
    std::size_t end = whole;
    if (end < cell.size() && (cell[end] == '.' || cell[end] == ',')) {
        end = skipDigits(cell, end + 1);
    }
    const std::size_t digits = end - at - (end != whole ? 1 : 0);
    if (digits == 0) {
        return false;
    }
    if (end < cell.size() && (cell[end] == 'e' || cell[end] == 'E')) {
        at = end + 1;
        if (at < cell.size() && (cell[at] == '+' || cell[at] == '-')) {
            ++at;
        }
        end = skipDigits(cell, at);
        if (end == at) {
            return false;
        }
    }
    return end == cell.size();
}

} // namespace

bool readAsFormula(std::string_view cell) noexcept {
    if (cell.empty() || !mayBeFormula(cell[0])) {
        return false;
    }
    // A lone sign stands for no value in many tables; a spreadsheet keeps it as text.
    if (cell.size() == 1 && (cell[0] == '-' || cell[0] == '+')) {
        return false;
    }
    return !isPlainNumber(cell);
}

void appendSafeCell(std::string& out, std::string_view cell) {
    if (readAsFormula(cell)) {
        out += TextMark;
    }
    out += cell;
}

std::string formulaCellsNote(std::uint64_t cells, std::string_view remedy) {
    if (cells == 0) {
        return {};
    }
    std::string note = std::to_string(cells) + (cells == 1 ? " cell begins" : " cells begin") +
                       " with =, +, - or @, which a spreadsheet may run as " +
                       (cells == 1 ? "a formula" : "formulas");
    if (!remedy.empty()) {
        note += "; ";
        note += remedy;
    }
    return note;
}

} // namespace talvo::table
