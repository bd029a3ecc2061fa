#include "estimation/detail/failure.h"

#include <array>
#include <cstddef>
#include <string>

namespace talvo::estimation {

namespace {

// Every reason's text, so that a table row can name its failure without building a string.
constexpr std::array<std::array<std::string_view, 5>, 3> texts{{
    {"Type mismatch", "Type mismatch: sand", "Type mismatch: silt", "Type mismatch: clay",
     "Type mismatch: oc"},
    {"Division by zero", "Division by zero: sand", "Division by zero: silt",
     "Division by zero: clay", "Division by zero: oc"},
    {"Overflow", "Overflow: sand", "Overflow: silt", "Overflow: clay", "Overflow: oc"},
}};

} // namespace

std::string_view failureText(const FailureReason& reason) {
    const auto kind = static_cast<std::size_t>(reason.kind);
    const std::size_t input = reason.input ? static_cast<std::size_t>(*reason.input) + 1 : 0;
    return texts.at(kind).at(input);
}

std::string_view describe(FailureKind kind) {
    switch (kind) {
    case FailureKind::typeMismatch:
        return "Type mismatch";
    case FailureKind::divisionByZero:
        return "Division by zero";
    case FailureKind::overflow:
        return "Overflow";
    }
    return "Failure";
}

// what() reads "Type mismatch: clay", or just the kind when no input caused it.
Failure::Failure(FailureKind kind, std::optional<Input> input)
    : std::runtime_error(std::string(failureText({kind, input}))), m_kind(kind), m_input(input) {}

} // namespace talvo::estimation
