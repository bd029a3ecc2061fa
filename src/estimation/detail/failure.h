#pragma once

#include "estimation/detail/inputs.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace talvo::estimation {

enum class FailureKind { typeMismatch, divisionByZero, overflow };

// "Type mismatch", "Division by zero", "Overflow".
std::string_view describe(FailureKind kind);

// Why an estimate stopped: the kind, and the input whose text caused it where one did.
struct FailureReason {
    FailureKind kind;
    std::optional<Input> input;

    friend bool operator==(const FailureReason&, const FailureReason&) = default;
};

// "Type mismatch: clay", or the kind alone when no input caused it; static text.
std::string_view failureText(const FailureReason& reason);

// The reason as a table's error column gives it, with `text`, the cell of the input that
// caused it: `Type mismatch: sand "40%"` names what is no number, an empty, blank or NA cell
// reads "Missing: oc", and a division by zero says what the model divides by. Without an
// input, as failureText(reason).
std::string failureText(const FailureReason& reason, std::string_view text);
// The same, appended to `out`: a table whose rows fail writes one for each, into one string.
void appendFailureText(std::string& out, const FailureReason& reason, std::string_view text);

// An empty, blank or NA cell: what tables write for a value nobody measured.
bool missingText(std::string_view text) noexcept;

// What a table's error column says of the cell `text` of the column `name` that holds no
// number: `Type mismatch: bd "abc"`, or "Missing: top" where missingText(text).
std::string typeMismatchText(std::string_view name, std::string_view text);
// Of a number a soil cannot have: `Out of range: bd 0`, the cell as written, blanks trimmed.
std::string outOfRangeText(std::string_view name, std::string_view text);

// Ends an action at the point where it occurs. Carries the input whose text caused it,
// where one did, so that the caller can name it.
class Failure : public std::runtime_error {
public:
    explicit Failure(FailureKind kind, std::optional<Input> input = std::nullopt);

    FailureKind kind() const noexcept { return m_kind; }
    std::optional<Input> input() const noexcept { return m_input; }
    FailureReason reason() const noexcept { return {m_kind, m_input}; }

private:
    FailureKind m_kind;
    std::optional<Input> m_input;
};

} // namespace talvo::estimation
