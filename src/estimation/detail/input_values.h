#pragma once

#include "estimation/detail/failure.h"
#include "estimation/detail/inputs.h"
#include "estimation/detail/number_text.h"
#include "estimation/detail/plain_decimal.h"

#include <array>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string_view>

namespace talvo::estimation {

// A subset of the four inputs.
class InputSet {
public:
    constexpr InputSet(std::initializer_list<Input> inputs) noexcept {
        for (Input input : inputs) {
            m_bits |= bit(input);
        }
    }
    constexpr bool contains(Input input) const noexcept { return (m_bits & bit(input)) != 0; }
    constexpr InputSet& operator|=(InputSet other) noexcept {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr bool operator==(InputSet, InputSet) = default;

private:
    static constexpr unsigned bit(Input input) noexcept {
        return 1U << static_cast<unsigned>(input);
    }
    unsigned m_bits = 0;
};

// The texts of sand, silt, clay and OC, in that order, as typed.
using InputTexts = std::array<std::string_view, 4>;

// One input converted to a number, or why it is none. A failed input's number is NaN, so
// that any equation reading it gives no finite result.
struct InputValue {
    double number = std::numeric_limits<double>::quiet_NaN();
    std::optional<FailureKind> failure = FailureKind::typeMismatch;
};

// Sand, silt, clay and OC, each converted once.
using InputValues = std::array<InputValue, 4>;

inline const InputValue& at(const InputValues& values, Input input) {
    return values[static_cast<std::size_t>(input)];
}

// One input's text converted. The plain form is read inline: a table converts several a row.
InputValue otherInputValue(std::string_view text, DecimalSeparator separator);
inline InputValue inputValue(std::string_view text, DecimalSeparator separator) {
    if (const std::optional<PlainDecimal> plain = plainDecimal(text, separator.get())) {
        return {plain->value(), std::nullopt};
    }
    return otherInputValue(text, separator);
}

// Reads the input in the field of a line that starts at `begin` and ends at the first char
// for which `isDelimiter` holds, or at `end`, into `value`, and returns where the field ends:
// a table finds its fields and converts its numbers in one pass. The byte at `end` is read:
// the line's break, or the null after its string.
template <typename IsDelimiter>
const char* readInputField(const char* begin, const char* end, DecimalSeparator separator,
                           IsDelimiter isDelimiter, InputValue& value) {
    const PlainField plain =
        plainDecimalField<FieldEnd::guarded>(begin, end, separator.get(), isDelimiter);
    // Member by member: a whole value put together on the stack and read back in one piece
    // stalled each row on a failed store forward.
    if (plain.decimal) {
        value.number = plain.decimal->value();
        value.failure.reset();
    } else {
        value = otherInputValue({begin, static_cast<std::size_t>(plain.end - begin)}, separator);
    }
    return plain.end;
}

// Converts the texts of the inputs in `which`; the others are left as type mismatches.
InputValues convertInputs(const InputTexts& texts, InputSet which, DecimalSeparator separator);

// Inputs that arrive as numbers: NaN stands for a cell holding no number (a type mismatch),
// an infinity for one beyond the double range (an overflow).
InputValues inputNumbers(double sand, double silt, double clay, double oc);

} // namespace talvo::estimation
