#include "estimation/failure.h"

#include <string>

namespace talvo::estimation {

namespace {

std::string message(FailureKind kind, std::optional<Input> input) {
    std::string text(describe(kind));
    if (input) {
        text += ": ";
        text += name(*input);
    }
    return text;
}

} // namespace

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
    : std::runtime_error(message(kind, input)), m_kind(kind), m_input(input) {}

} // namespace talvo::estimation
