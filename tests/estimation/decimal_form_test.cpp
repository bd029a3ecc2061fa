#include "estimation/decimal_form.h"
#include "support/number_reference.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

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
    std::array<char, FixedTextCapacity> text{};
    return {text.data(), writeFixed(text.data(), form, separator)};
}

std::string toCharsGeneral(double x) {
    std::array<char, 64> buffer{};
    char* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                    std::chars_format::general, SignificantDigits)
                          .ptr;
    const std::string text(buffer.data(), end);
    return text == "-0" ? "0" : text;
}

// Every text and value of one double against the C library and the hand rounding.
void expectAgreesWithReferences(double x) {
    SCOPED_TRACE(test::printfGeneral(x, '.'));
    const DecimalForm form = decimalForm(x);
    const std::string text = general(form);
    EXPECT_EQ(text, toCharsGeneral(x));
    EXPECT_EQ(text, test::printfGeneral(x, '.'));
    EXPECT_EQ(general(form, ','), test::printfGeneral(x, ','));
    const std::string fixedText = test::fixedReference(test::printfDigits(x), '.');
    EXPECT_EQ(fixed(form), fixedText);
    EXPECT_EQ(fixed(form, ','), test::fixedReference(test::printfDigits(x), ','));

    const double back = std::strtod(text.c_str(), nullptr);
    const std::optional<double> readBackValue = readBack(form);
    if (std::isinf(back)) {
        EXPECT_FALSE(readBackValue);
    } else {
        ASSERT_TRUE(readBackValue);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*readBackValue), std::bit_cast<std::uint64_t>(back));
        // The value of the two-decimal text, as the quick path and the arrays give it.
        const std::optional<double> shown = readBack(roundedToHundredths(form));
        ASSERT_TRUE(shown);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*shown),
                  std::bit_cast<std::uint64_t>(std::strtod(fixedText.c_str(), nullptr)));
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
        auto x = std::bit_cast<double>(random());
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

} // namespace
} // namespace talvo::estimation
