#include "estimation/detail/decimal_form.h"
#include "fuzz/support/number_grammar.h"
#include "fuzz/support/text_forms.h"
#include "support/number_reference.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace talvo::estimation;
using namespace talvo::estimation::detail;
using talvo::fuzz::expect;
using talvo::test::DecimalDigits;

bool sameDouble(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// A text is a number exactly when the plain grammar says so, and then it reads to what strtod
// makes of the whole text.
void checkText(std::string_view text, DecimalSeparator separator) {
    const char sep = separator.get();
    const std::optional<DecimalDigits> number = talvo::fuzz::recogniseNumber(text, sep);
    const ParsedNumber parsed = readNumber(text, separator);
    const std::string fixed = fixedText(text, separator);
    if (!number) {
        expect(parsed.failure == FailureKind::typeMismatch, "a non-number is a type mismatch",
               text);
        expect(fixed == text, "fixed text of a non-number is the text unchanged", text);
        return;
    }
    const std::optional<double> library = talvo::fuzz::libraryValue(text, sep);
    expect(library.has_value(), "strtod reads the whole of a number", text);
    if (std::isinf(*library)) {
        expect(parsed.failure == FailureKind::overflow, "beyond the range is an overflow", text);
        expect(fixed == text, "fixed text of an overflow is the text unchanged", text);
        return;
    }
    expect(!parsed.failure, "a number in range is read", text);
    expect(sameDouble(parsed.value, *library), "read as strtod reads it", text);

    // Up to 15 significant digits the text is its own 15-digit form; beyond, the double's.
    const DecimalDigits digits =
        number->digits.size() <= SignificantDigits ? *number : talvo::test::printfDigits(*library);
    expect(fixed == talvo::test::fixedReference(digits, sep), "fixed text rounds half away", fixed);
    expect(generalText(parsed.value, separator) == talvo::test::printfGeneral(*library, sep),
           "general text is %.15g", text);
}

// As a table's field, ended by a delimiter that may be the separator itself, the text up to
// its first delimiter reads as that text alone does.
void checkField(std::string_view text, char separator, char delimiter) {
    const std::string line = std::string(text) + delimiter + "1";
    const PlainField field = plainDecimalField(line.data(), line.data() + line.size(), separator,
                                               [&](char c) { return c == delimiter; });
    const std::string_view own = text.substr(0, text.find(delimiter));
    expect(field.end == line.data() + own.size(), "a field ends at its first delimiter", text);
    const std::optional<PlainDecimal> alone = plainDecimal(own, separator);
    expect(field.decimal.has_value() == alone.has_value(), "a field is plain as its text is", text);
    expect(!alone ||
               (field.decimal->digits == alone->digits && field.decimal->scale == alone->scale),
           "a field reads as its text alone", text);
}

// A raw double: its 15-digit form written, rounded and read back, against printf and the
// rounding by hand.
void checkDouble(double value, DecimalSeparator separator) {
    if (!std::isfinite(value)) {
        return;
    }
    const char sep = separator.get();
    const DecimalForm form = decimalForm(value);
    std::array<char, GeneralTextCapacity> general{};
    const std::string_view generalView(general.data(), writeGeneral(general.data(), form, sep));
    const std::string reference = talvo::test::printfGeneral(value, sep);
    expect(generalView == reference, "general text is %.15g", reference);
    expect(talvo::fuzz::isGeneralText(generalView, separator), "general text is well formed",
           generalView);

    std::array<char, ResultTextCapacity> fixed{};
    const std::string_view fixedView(fixed.data(), writeFixed(fixed.data(), form, sep));
    const std::string fixedExpected =
        talvo::test::fixedReference(talvo::test::printfDigits(value), sep);
    expect(fixedView == fixedExpected, "fixed text rounds the 15 digits half away", fixedExpected);

    const std::optional<double> back = readBack(form);
    const std::optional<double> library = talvo::fuzz::libraryValue(reference, sep);
    expect(library.has_value(), "strtod reads the whole general text", reference);
    if (std::isinf(*library)) {
        // Nor does its text read as a number: the estimate stops there with an overflow.
        expect(!back, "a general text beyond the range does not read back", reference);
        return;
    }
    expect(back && sameDouble(*back, *library), "read back as strtod reads the general text",
           reference);
    expect(fixedText(generalView, separator) == fixedView, "fixed text of the general text",
           fixedView);
    const std::optional<double> shown = readBack(roundedToHundredths(form));
    const std::optional<double> fixedLibrary = talvo::fuzz::libraryValue(fixedExpected, sep);
    expect(shown && fixedLibrary && sameDouble(*shown, *fixedLibrary),
           "the fixed value reads back as strtod reads the fixed text", fixedExpected);
}

} // namespace

// Any bytes are a text, read with either separator. Eight bytes are also a raw double (point);
// nine starting with '#' a raw double written with a comma.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkText(text, DecimalSeparator('.'));
    checkText(text, DecimalSeparator(','));
    checkField(text, '.', ',');
    checkField(text, ',', ',');
    checkField(text, ',', ';');
    if (size == 8 || (size == 9 && text.front() == '#')) {
        double value = 0;
        std::memcpy(&value, data + size - 8, 8);
        checkDouble(value, DecimalSeparator(size == 8 ? '.' : ','));
    }
    return 0;
}
