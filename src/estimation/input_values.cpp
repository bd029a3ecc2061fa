#include "estimation/estimation.h"

#include <cmath>
#include <cstddef>

namespace talvo::estimation {

InputValues convertInputs(const InputTexts& texts, InputSet which, DecimalSeparator separator) {
    InputValues values;
    for (const Input input : allInputs) {
        if (!which.contains(input)) {
            continue;
        }
        const auto i = static_cast<std::size_t>(input);
        values[i] = inputValue(texts[i], separator);
    }
    return values;
}

InputValue otherInputValue(std::string_view text, DecimalSeparator separator) {
    const ParsedNumber parsed = readNumber(text, separator);
    InputValue value;
    if (!parsed.failure) {
        value = {parsed.value, std::nullopt};
    } else {
        value.failure = parsed.failure;
    }
    return value;
}

InputValues inputNumbers(double sand, double silt, double clay, double oc) {
    InputValues values;
    const std::array<double, 4> numbers{sand, silt, clay, oc};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (std::isfinite(numbers[i])) {
            values[i] = {numbers[i], std::nullopt};
        } else if (std::isinf(numbers[i])) {
            values[i].failure = FailureKind::overflow;
        }
    }
    return values;
}

} // namespace talvo::estimation
