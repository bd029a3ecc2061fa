// Number texts read, as typed and as table fields, and written, in both forms against the C
// library and a hand rounding.

#include "estimation/detail/decimal_form.h"
#include "estimation/detail/portable.h"
#include "estimation/estimation.h"
#include "support/number_reference.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::estimation {
namespace {

using namespace detail; // NOLINT(google-build-using-namespace): the engine's own tests

constexpr double largest = std::numeric_limits<double>::max();
constexpr double tiniest = std::numeric_limits<double>::denorm_min();
#ifdef TALVO_EXHAUSTIVE_TESTS
constexpr int RandomDoubles = 300'000;
#else
constexpr int RandomDoubles = 6'000; // a fast sample; the fuzz target goes on from there
#endif

std::string general(const DecimalForm& form, char separator = '.') {
    std::array<char, GeneralTextCapacity> text{};
    return {text.data(), writeGeneral(text.data(), form, separator)};
}

std::string fixed(const DecimalForm& form, char separator = '.') {
    std::array<char, ResultTextCapacity> text{};
    return {text.data(), writeFixed(text.data(), form, separator)};
}

// Where the standard library has to_chars for doubles (not in the browser's), a third account.
#if defined(__cpp_lib_to_chars)
std::string toCharsGeneral(double x) {
    std::array<char, 64> buffer{};
    char* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                    std::chars_format::general, SignificantDigits)
                          .ptr;
    const std::string text(buffer.data(), end);
    return text == "-0" ? "0" : text;
}
#endif

// Every text and value of one double against the C library and the hand rounding.
void expectAgreesWithReferences(double x) {
    SCOPED_TRACE(test::printfGeneral(x, '.'));
    const DecimalForm form = decimalForm(x);
    const std::string text = general(form);
#if defined(__cpp_lib_to_chars)
    EXPECT_EQ(text, toCharsGeneral(x));
#endif
    EXPECT_EQ(text, test::printfGeneral(x, '.'));
    EXPECT_EQ(general(form, ','), test::printfGeneral(x, ','));
    const std::string hundredths = test::fixedReference(test::printfDigits(x), '.');
    EXPECT_EQ(fixed(form), hundredths);
    EXPECT_EQ(fixed(form, ','), test::fixedReference(test::printfDigits(x), ','));

    const double back = std::strtod(text.c_str(), nullptr);
    const std::optional<double> readBackValue = readBack(form);
    if (std::isinf(back)) {
        EXPECT_FALSE(readBackValue);
    } else {
        ASSERT_TRUE(readBackValue);
        EXPECT_EQ(bitCast<std::uint64_t>(*readBackValue), bitCast<std::uint64_t>(back));
        // The value of the two-decimal text, as the quick path and the arrays give it.
        const std::optional<double> shown = readBack(roundedToHundredths(form));
        ASSERT_TRUE(shown);
        EXPECT_EQ(bitCast<std::uint64_t>(*shown),
                  bitCast<std::uint64_t>(std::strtod(hundredths.c_str(), nullptr)));
    }
}

TEST(DecimalForm, AgreesWithTheCLibraryAndTheHandRounding) {
    // clang-format off
    const std::vector<double> values{
        // magnitudes, the subnormals and the ends of the range
        0.0, -0.0, tiniest, -tiniest, 1e-320, 2.5e-310, std::numeric_limits<double>::min(), 1e-300, 1e-20,
        1.5e-5, 0.001, 0.1 + 0.2, 2.0 / 3.0, -2.0 / 3.0, 50.8534, 1e20, 1e22, 1e23, 1.23456789012345678e17,
        1e100, 1e300, 1.79769313486231e308, largest, -largest, std::nextafter(largest, 0.0),
        // the plain/exponent boundaries
        1e-4, std::nextafter(1e-4, 0.0), 9.9999999999999995e-5, -1e-4, 1e15, std::nextafter(1e15, 0.0), 1e14,
        // decade carries: rounding to 15 digits reaches the next power of ten, or must not
        9999999.999999994, 99999.99999999999, 999999999999999.5, 999999999999999.4, 9.999999999999999e14,
        0.099999999999999994, 99999999999999.95, 9.99999999999999e-5, 9.999999999999999e-5,
        // exact halves beyond the 15th digit: half to even on the exact binary value
        1234567890123455.0, 1234567890123445.0, 100000000000000.5, 100000000000001.5, -100000000000002.5,
        123456789012345.5 / 1024.0, 987654321098765.5 / 65536.0,
        // two-decimal halves, on the digits and not on the doubles below them
        0.005, -0.005, 0.004, 0.0049999999999999999, 0.015, 1.005, 2.675, 39.915, 12.835, 99.995, -99.995,
        0.125, 0.375, 123456789012.345, 1234567890123.455, 9999999999999.995,
    };
    // clang-format on
    for (const double x : values) {
        expectAgreesWithReferences(x);
    }
}

// Random doubles of any magnitude, of the plain range, and exact halves beyond the 15th digit.
TEST(DecimalForm, AgreesOnRandomDoublesAndHalves) {
    std::mt19937_64 random(1507);
    std::uniform_real_distribution<double> plain(-7.0, 17.0);
    std::uniform_int_distribution<std::int64_t> fifteen(100'000'000'000'000, 999'999'999'999'999);
    std::uniform_int_distribution<int> shift(0, 60);
    for (int i = 0; i < RandomDoubles; ++i) {
        auto x = bitCast<double>(random());
        if (i % 3 == 1) {
            x = std::pow(10.0, plain(random));
        } else if (i % 3 == 2) {
            x = std::ldexp(static_cast<double>(fifteen(random)) + 0.5, -shift(random));
        }
        if (std::isfinite(x)) {
            expectAgreesWithReferences(x);
        }
    }
}

const DecimalSeparator point;
const DecimalSeparator comma(',');

std::optional<FailureKind> failureOf(std::string_view text, DecimalSeparator separator) {
    return readNumber(text, separator).failure;
}

TEST(ReadNumber, AcceptedForms) {
    struct Case {
        const char* text;
        DecimalSeparator separator;
        double value;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"40", point, 40.0}, {" 40", point, 40.0}, {"\t 40 \t", point, 40.0}, {"+7", point, 7.0},
        {"-7.25", point, -7.25}, {"5.", point, 5.0}, {".5", point, 0.5}, {"-.5", point, -0.5},
        {"0007.50", point, 7.5}, {"1e3", point, 1000.0}, {"1E+3", point, 1000.0}, {"2.5e-3", point, 0.0025},
        {"-0", point, -0.0}, {"40,5", comma, 40.5}, {",5", comma, 0.5}, {"1,5e2", comma, 150.0}, {"0.1", point, 0.1},
        {"1.7976931348623157e308", point, largest}, {"4.9406564584124654e-324", point, tiniest},
        {"1e-400", point, 0.0}, {"-1e-400", point, -0.0}, {"0e99999999999999999999", point, 0.0},
        // correctly rounded: the nearest double to a long decimal
        {"0.30000000000000001665334536937734810635447502136230468750001", point, 0.30000000000000004},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedNumber parsed = readNumber(c.text, c.separator);
        EXPECT_FALSE(parsed.failure);
        const double value = parsed.value;
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(std::signbit(value), std::signbit(c.value));
    }
    EXPECT_EQ(readNumber(std::string(300, '0') + ",5", comma).value, 0.5);
}

TEST(ReadNumber, RejectedForms) {
    const std::vector<std::string_view> mismatches{
        "", " ", "\t", ".", "-", "+.", "e5", "5e", "5e+", "1.2.3", "4 0", "- 5", "--5", "+-5",
        // digit grouping and the other separator are never read as a different number
        "40,5", "1,000", "$40", "40%", "0x1A", "inf", "-infinity", "nan", "1e5.5", "40\n",
        "\u00a040", std::string_view("4\0000", 3)};
    for (std::string_view text : mismatches) {
        EXPECT_EQ(failureOf(text, point), FailureKind::typeMismatch) << text;
    }
    EXPECT_EQ(failureOf("40.5", comma), FailureKind::typeMismatch);
    EXPECT_EQ(failureOf("1.000,5", comma), FailureKind::typeMismatch);
    for (std::string_view text :
         {"1e999", "-1e999", "1e99999999999999999999", "0.000000000000000000001e330"}) {
        EXPECT_EQ(failureOf(text, point), FailureKind::overflow) << text;
    }
    EXPECT_EQ(failureOf("1,8e308", comma), FailureKind::overflow);
}

// A table's field is read up to its delimiter, which ends it even where it is the separator.
TEST(PlainDecimalField, EndsAtTheDelimiterAndTakesOnlyThePlainForm) {
    struct Case {
        std::string_view line;
        char separator;
        char delimiter;
        std::size_t end;
        std::optional<double> value;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"40.5,x", '.', ',', 4, 40.5}, {"40", '.', ',', 2, 40.0}, {",5", '.', ',', 0, std::nullopt},
        {"5.,", '.', ',', 2, 5.0}, {".5", '.', ',', 2, 0.5}, {".,", '.', ',', 1, std::nullopt},
        {"-5,1", '.', ',', 2, std::nullopt}, {"1.2.3;4", '.', ';', 5, std::nullopt},
        {"40,5", ',', ',', 2, 40.0}, {"40,5;7", ',', ';', 4, 40.5},
        {"123456789012345;", '.', ';', 15, 123456789012345.0}, {"1234567890123456;", '.', ';', 16, std::nullopt},
        {"12345678901234.5;", '.', ';', 16, 12345678901234.5}, {"99999999999999999999999,1", '.', ',', 23, std::nullopt},
    };
    // clang-format on
    // Each line as a text of its own, and as a line whose end may be read: a literal's null.
    const auto check = [](const Case& c, const PlainField& field) {
        EXPECT_EQ(field.end - c.line.data(), static_cast<std::ptrdiff_t>(c.end));
        ASSERT_EQ(field.decimal.has_value(), c.value.has_value());
        if (c.value) {
            EXPECT_EQ(field.decimal->value(), *c.value);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto isDelimiter = [&](char x) { return x == c.delimiter; };
        const char* const end = c.line.data() + c.line.size();
        check(c, plainDecimalField(c.line.data(), end, c.separator, isDelimiter));
        check(c,
              plainDecimalField<FieldEnd::guarded>(c.line.data(), end, c.separator, isDelimiter));
    }
}

TEST(DecimalSeparator, OnlyCharactersThatCannotBePartOfANumber) {
    for (char c : {'.', ',', '\'', ';', '/'}) {
        EXPECT_EQ(DecimalSeparator(c).get(), c);
    }
    for (char c : {'0', '9', '+', '-', 'e', 'E', ' ', '\t', '\0', '\x80'}) {
        // cppcheck-suppress unusedScopedObject ; constructed only to see it throw
        EXPECT_THROW(DecimalSeparator{c}, std::invalid_argument) << int(c);
    }
}

TEST(FixedText, TwoDecimalsHalfAwayFromZeroOnTheDigits) {
    struct Case {
        const char* text;
        const char* fixed;
    };
    // clang-format off
    const std::vector<Case> cases{
        // the doubles are 39.914999999999999147... and 12.834999999999999076...
        {"39.915", "39.92"}, {"12.835", "12.84"}, {"-39.915", "-39.92"}, {"36.8559", "36.86"},
        {"50.85", "50.85"}, {"7", "7.00"}, {"0", "0.00"}, {"-0", "0.00"}, {"0.5", "0.50"}, {".5", "0.50"},
        {"0.004", "0.00"}, {"-0.004", "0.00"}, {"0.005", "0.01"}, {"-0.005", "-0.01"}, {"0.0005", "0.00"},
        {"0.0049999999999999", "0.00"},
        {"0.004999999999999999", "0.01"}, // 16 digits: the 15-digit form is 0.005
        {"99.995", "100.00"}, {"-99.995", "-100.00"}, {"9.999", "10.00"},
        {"1.005", "1.01"}, {"2.675", "2.68"}, // doubles below the half
        {"1e+20", "100000000000000000000.00"}, {"1.23456789012346e+17", "123456789012346000.00"},
        {"-1.5e-05", "0.00"}, {"1e-300", "0.00"}, {" 3.14159 ", "3.14"},
        {"123456789012.345", "123456789012.35"}, {"1234567890123.455", "1234567890123.46"},
        // not a number: returned unchanged
        {"", ""}, {" ", " "}, {"n/a", "n/a"}, {"1e999", "1e999"}, {"1,5", "1,5"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string written = fixedText(c.text);
        EXPECT_EQ(written, c.fixed);
        EXPECT_EQ(fixedText(written), written) << "not stable";
    }
    EXPECT_EQ(fixedText("39,915", comma), "39,92");
    EXPECT_EQ(fixedText("-0,004", comma), "0,00");
    EXPECT_EQ(fixedText("39.915", comma), "39.915");
}

} // namespace
} // namespace talvo::estimation
