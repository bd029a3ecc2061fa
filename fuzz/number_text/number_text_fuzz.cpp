#include "estimation/failure.h"
#include "estimation/number_text.h"
#include "fuzz/support/text_forms.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using talvo::estimation::DecimalSeparator;
using talvo::estimation::Failure;
using talvo::estimation::FailureKind;
using talvo::fuzz::expect;

std::optional<double> readNumber(std::string_view text, DecimalSeparator separator) {
    try {
        return talvo::estimation::numberFromText(text, separator);
    } catch (const Failure& failure) {
        expect(failure.kind() == FailureKind::typeMismatch ||
                   failure.kind() == FailureKind::overflow,
               "number-from-text fails only with a type mismatch or an overflow", text);
        expect(!failure.input(), "number-from-text names no input", text);
        return std::nullopt;
    }
}

// The C library reads the same accepted form to the same correctly rounded double.
double libraryValue(std::string_view text, DecimalSeparator separator) {
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), separator.get(), '.');
    return std::strtod(copy.c_str(), nullptr);
}

// The double nearest the value rounded to 15 significant digits, as the C library has it.
double fifteenDigits(double value) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.14e", value);
    return std::strtod(buffer.data(), nullptr);
}

double ulp(double value) {
    const double magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<double>::max()) - magnitude;
}

void checkText(std::string_view text, DecimalSeparator separator) {
    const std::string fixed = talvo::estimation::fixedText(text, separator);
    const std::optional<double> value = readNumber(text, separator);
    if (!value) {
        expect(fixed == text, "fixed text of a non-number is the text unchanged", text);
        return;
    }
    expect(std::isfinite(*value), "number-from-text gives a finite double", text);
    expect(*value == libraryValue(text, separator) ||
               (*value == 0.0 && libraryValue(text, separator) == 0.0),
           "number-from-text is correctly rounded", text);

    // General text: 15 digits that read back to the 15-digit value and write again the same.
    const std::string general = talvo::estimation::generalText(*value, separator);
    expect(talvo::fuzz::isGeneralText(general, separator), "general text is well formed", general);
    const double rounded = fifteenDigits(*value);
    const std::optional<double> back = readNumber(general, separator);
    if (std::isinf(rounded)) {
        // Just below the top of the double range the 15-digit text lies beyond it.
        // Its fixed text has nothing in range to read back to; it only keeps its form.
        expect(!back, "a general text beyond the range does not read back", general);
        expect(talvo::fuzz::isFixedText(fixed, separator), "fixed text is well formed", fixed);
        return;
    }
    expect(back.has_value(), "general text reads back", general);
    expect(*back == rounded || (*back == 0.0 && rounded == 0.0),
           "general text reads back to the 15-digit value", general);
    expect(talvo::estimation::generalText(*back, separator) == general, "general text is stable",
           general);

    // Fixed text: two decimals of the 15-digit form, within half a hundredth of it.
    expect(talvo::fuzz::isFixedText(fixed, separator), "fixed text is well formed", fixed);
    expect(talvo::estimation::fixedText(fixed, separator) == fixed, "fixed text is stable", fixed);
    expect(talvo::estimation::fixedText(general, separator) == fixed,
           "fixed text rounds the general text", fixed);
    const std::optional<double> shown = readNumber(fixed, separator);
    expect(shown.has_value(), "fixed text reads back", fixed);
    expect(std::fabs(*shown - rounded) <= 0.005 + 2 * ulp(rounded) + 2 * ulp(*shown),
           "fixed text reads back within 0.005 of the value", fixed);
}

} // namespace

// Any bytes are a text, read with either decimal separator.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkText(text, DecimalSeparator('.'));
    checkText(text, DecimalSeparator(','));
    return 0;
}
