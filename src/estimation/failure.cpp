#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <string>

namespace talvo::estimation {

namespace {

// Every reason's text, so that a table row can name its failure without building a string.
constexpr std::array<std::array<std::string_view, 5>, 4> texts{{
    {"Type mismatch", "Type mismatch: sand", "Type mismatch: silt", "Type mismatch: clay",
     "Type mismatch: oc"},
    {"Division by zero", "Division by zero: sand", "Division by zero: silt",
     "Division by zero: clay", "Division by zero: oc"},
    {"Overflow", "Overflow: sand", "Overflow: silt", "Overflow: clay", "Overflow: oc"},
    {"Out of range", "Out of range: sand", "Out of range: silt", "Out of range: clay",
     "Out of range: oc"},
}};

} // namespace

std::string_view failureText(const FailureReason& reason) {
    const auto kind = static_cast<std::size_t>(reason.kind);
    const std::size_t input = reason.input ? static_cast<std::size_t>(*reason.input) + 1 : 0;
    return texts.at(kind).at(input);
}

bool missingText(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return true;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    return text.size() == 2 && (text[0] == 'N' || text[0] == 'n') &&
           (text[1] == 'A' || text[1] == 'a');
}

namespace {

// The cell as a message quotes it: long enough to recognise, cut at a character's start,
// with what would not show escaped.
void appendQuoted(std::string& out, std::string_view text) {
    constexpr std::size_t MaxQuoted = 40;
    out += '"';
    if (text.size() <= MaxQuoted) {
        out += printable(text);
    } else {
        std::size_t cut = MaxQuoted;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) {
            --cut; // a UTF-8 continuation byte
        }
        out += printable(text.substr(0, cut));
        out += "...";
    }
    out += '"';
}

void appendTypeMismatchText(std::string& out, std::string_view name, std::string_view text) {
    if (missingText(text)) {
        out += "Missing: ";
        out += name;
        return;
    }
    out += "Type mismatch: ";
    out += name;
    out += ' ';
    appendQuoted(out, text);
}

} // namespace

std::string typeMismatchText(std::string_view name, std::string_view text) {
    std::string out;
    appendTypeMismatchText(out, name, text);
    return out;
}

std::string outOfRangeText(std::string_view name, std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    const std::string_view number =
        first == std::string_view::npos
            ? std::string_view()
            : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::string out = "Out of range: ";
    out += name;
    out += ' ';
    out += number;
    return out;
}

std::string failureText(const FailureReason& reason, std::string_view text) {
    std::string out;
    appendFailureText(out, reason, text);
    return out;
}

void appendFailureText(std::string& out, const FailureReason& reason, std::string_view text) {
    if (!reason.input) {
        out += failureText(reason);
        return;
    }
    const std::string_view input = name(*reason.input);
    switch (reason.kind) {
    case FailureKind::typeMismatch:
        appendTypeMismatchText(out, input, text);
        return;
    case FailureKind::divisionByZero:
        out += failureText(reason);
        out += " (this model divides by ";
        out += input;
        out += ", so ";
        out += input;
        out += " must not be 0)";
        return;
    case FailureKind::overflow:
        out += failureText(reason);
        return;
    case FailureKind::outOfRange:
        out += outOfRangeText(input, text);
        // Sand fails only where the USDA scale takes from it the silt of 20-50 um.
        out += *reason.input == Input::sand
                   ? " (the USDA scale counts silt up to 50 um, taken from sand: 0.398 x silt, "
                     "more sand than this soil has)"
                   : " (this model takes its logarithm, so it must be above 0)";
        return;
    }
    out += failureText(reason);
}

std::string_view describe(FailureKind kind) {
    switch (kind) {
    case FailureKind::typeMismatch:
        return "Type mismatch";
    case FailureKind::divisionByZero:
        return "Division by zero";
    case FailureKind::overflow:
        return "Overflow";
    case FailureKind::outOfRange:
        return "Out of range";
    }
    return "Failure";
}

// what() reads "Type mismatch: clay", or just the kind when no input caused it.
Failure::Failure(FailureKind kind, std::optional<Input> input)
    : std::runtime_error(std::string(failureText({kind, input}))), m_kind(kind), m_input(input) {}

} // namespace talvo::estimation
