#include "estimation/detail/decimal_form.h"
#include "estimation/detail/portable.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace talvo::estimation {

using detail::decimalForm;
using detail::makeDecimalForm;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr auto exactDigits = static_cast<std::size_t>(SignificantDigits);
constexpr long long exponentLimit = 1'000'000'000;

// The nearest double by from_chars, which reads '.' only; short texts are copied to the stack
// to swap the separator.
std::errc readDouble(std::string_view unsignedText, char separator, double& value) {
    std::array<char, 64> local; // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
    std::string heap;
    std::string_view digits = unsignedText;
    if (separator != '.' && unsignedText.find(separator) != std::string_view::npos) {
        char* out = local.data();
        if (unsignedText.size() > local.size()) {
            heap.assign(unsignedText);
            out = heap.data();
        } else {
            std::copy(unsignedText.begin(), unsignedText.end(), out);
        }
        std::replace(out, out + unsignedText.size(), separator, '.');
        digits = std::string_view(out, unsignedText.size());
    }
    const auto [end, ec] = detail::fromChars(digits.data(), digits.data() + digits.size(), value);
    return end == digits.data() + digits.size() ? ec : std::errc::invalid_argument;
}

// Reads a number. When the text has at most 15 significant digits, they are its own 15-digit
// rounding, and `exact` (if given) receives them. First the plain form, "40" or "12.5".
std::optional<ParsedNumber> parsePlainDecimal(std::string_view text, char separator,
                                              std::optional<DecimalForm>* exact) {
    const std::optional<PlainDecimal> plain = plainDecimal(text, separator);
    if (!plain) {
        return std::nullopt;
    }
    if (exact != nullptr) {
        *exact = makeDecimalForm(plain->digits, -static_cast<int>(plain->scale), false);
    }
    return ParsedNumber{plain->value(), std::nullopt};
}

// A number text in any form as the check of its whole form collects it (from_chars alone
// would also take "inf", "nan" and the like).
struct NumberParts {
    std::string_view unsignedText; // trimmed, without its sign
    bool negative = false;
    long long point = 0;        // place value of the first significant digit is 10^(point - 1)
    std::uint64_t mantissa = 0; // the first exactDigits significant digits
    std::size_t significant = 0;
};

// The digits before any exponent, with one separator among them, collected into `parts`.
// Where they end, or nothing when there is no digit.
std::optional<std::size_t> readMantissa(std::string_view text, char separator,
                                        NumberParts& parts) noexcept {
    std::size_t digitCount = 0;
    bool afterSeparator = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            ++digitCount;
            if (parts.significant > 0 || c != '0') {
                if (parts.significant < exactDigits) {
                    parts.mantissa = parts.mantissa * 10 + static_cast<std::uint64_t>(c - '0');
                }
                ++parts.significant;
                parts.point += afterSeparator ? 0 : 1;
            } else if (afterSeparator) {
                --parts.point; // a leading zero after the separator
            }
        } else if (c == separator && !afterSeparator) {
            afterSeparator = true;
        } else {
            break;
        }
    }
    return digitCount == 0 ? std::nullopt : std::optional(i);
}

// The exponent that starts at `i`, if any, capped at exponentLimit; `i` moves past it.
// Nothing when an 'e' has no digits.
std::optional<long long> readExponent(std::string_view text, std::size_t& i) noexcept {
    if (i == text.size() || (text[i] != 'e' && text[i] != 'E')) {
        return 0;
    }
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    long long exponent = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        exponent = std::min(exponent * 10 + (text[i] - '0'), exponentLimit);
    }
    if (i == start) {
        return std::nullopt;
    }
    return negative ? -exponent : exponent;
}

// The parts of the whole text, or nothing when it is not a number.
std::optional<NumberParts> numberParts(std::string_view text, char separator) noexcept {
    NumberParts parts;
    text = trimBlanks(text);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        parts.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    parts.unsignedText = text;
    std::optional<std::size_t> end = readMantissa(text, separator, parts);
    if (!end) {
        return std::nullopt;
    }
    const std::optional<long long> exponent = readExponent(text, *end);
    if (!exponent || *end != text.size()) {
        return std::nullopt;
    }
    parts.point += *exponent;
    return parts;
}

// The value of a well-formed text, and its digits into `exact` when there are at most 15.
ParsedNumber numberValue(const NumberParts& parts, char separator,
                         std::optional<DecimalForm>* exact) {
    const auto sign = [negative = parts.negative](double v) { return negative ? -v : v; };
    if (parts.significant == 0) {
        if (exact != nullptr) {
            *exact = DecimalForm{};
        }
        return {sign(0.0), std::nullopt};
    }

    // Up to 15 digits and a power of ten that is exact: one correctly rounded operation.
    const long long scale = parts.point - static_cast<long long>(parts.significant);
    const bool fewDigits = parts.significant <= exactDigits;
    if (exact != nullptr && fewDigits && scale > -exponentLimit && scale < exponentLimit) {
        *exact = makeDecimalForm(parts.mantissa, static_cast<int>(scale), parts.negative);
    }
    if (fewDigits && scale >= -MaxExactPowerOfTen && scale <= MaxExactPowerOfTen) {
        const auto m = static_cast<double>(parts.mantissa);
        const double power = powersOfTen[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
        return {sign(scale < 0 ? m / power : m * power), std::nullopt};
    }

    double value = 0.0;
    const std::errc ec = readDouble(parts.unsignedText, separator, value);
    if (ec == std::errc::result_out_of_range) {
        if (parts.point > 0) {
            return {0.0, FailureKind::overflow};
        }
        value = 0.0; // below the smallest subnormal: the nearest double is zero
    } else if (ec != std::errc{}) {
        return {0.0, FailureKind::typeMismatch};
    }
    return {sign(value), std::nullopt};
}

// Every other form, with the steps the plain one does without; kept out of line so that the
// plain path does not pay for its registers.
[[gnu::noinline]] ParsedNumber parseOtherNumber(std::string_view text, char separator,
                                                std::optional<DecimalForm>* exact) {
    const std::optional<NumberParts> parts = numberParts(text, separator);
    if (!parts) {
        return {0.0, FailureKind::typeMismatch};
    }
    return numberValue(*parts, separator, exact);
}

ParsedNumber parseNumber(std::string_view text, char separator, std::optional<DecimalForm>* exact) {
    if (const std::optional<ParsedNumber> plain = parsePlainDecimal(text, separator, exact)) {
        return *plain;
    }
    return parseOtherNumber(text, separator, exact);
}

} // namespace

DecimalSeparator::DecimalSeparator(char c) : m_char(c) {
    const bool graphic = c > ' ' && c < '\x7f';
    if (!graphic || isDigit(c) || c == '+' || c == '-' || c == 'e' || c == 'E') {
        throw std::invalid_argument("a decimal separator must be a punctuation character");
    }
}

ParsedNumber readNumber(std::string_view text, DecimalSeparator separator) {
    return parseNumber(text, separator.get(), nullptr);
}

std::string generalText(double value, DecimalSeparator separator) {
    std::array<char, GeneralTextCapacity> text; // NOLINT(cppcoreguidelines-pro-type-member-init)
    return {text.data(), detail::writeGeneral(text.data(), decimalForm(value), separator.get())};
}

std::string fixedText(std::string_view text, DecimalSeparator separator) {
    std::optional<DecimalForm> form;
    const ParsedNumber parsed = parseNumber(text, separator.get(), &form);
    if (parsed.failure) {
        return std::string(text);
    }
    // A text of at most 15 digits is its own 15-digit rounding; others go through the double.
    if (!form) {
        form = decimalForm(parsed.value);
    }
    std::array<char, ResultTextCapacity> fixed; // NOLINT(cppcoreguidelines-pro-type-member-init)
    return {fixed.data(), detail::writeFixed(fixed.data(), *form, separator.get())};
}

double exactPowerOfTen(int exponent) noexcept {
    assert(exponent >= 0 && exponent <= MaxExactPowerOfTen);
    return powersOfTen[static_cast<std::size_t>(exponent)];
}

} // namespace talvo::estimation
