#include "estimation/failure.h"
#include "estimation/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

const DecimalSeparator point;
const DecimalSeparator comma(',');

std::optional<FailureKind> failureOf(std::string_view text, DecimalSeparator separator) {
    try {
        numberFromText(text, separator);
    } catch (const Failure& failure) {
        return failure.kind();
    }
    return std::nullopt;
}

TEST(NumberFromText, AcceptedForms) {
    struct Case {
        const char* text;
        DecimalSeparator separator;
        double value;
    };
    constexpr double largest = std::numeric_limits<double>::max();
    constexpr double smallest = std::numeric_limits<double>::denorm_min();
    // clang-format off
    const std::vector<Case> cases{
        {"40", point, 40.0}, {" 40", point, 40.0}, {"\t 40 \t", point, 40.0}, {"+7", point, 7.0},
        {"-7.25", point, -7.25}, {"5.", point, 5.0}, {".5", point, 0.5}, {"-.5", point, -0.5},
        {"0007.50", point, 7.5}, {"1e3", point, 1000.0}, {"1E+3", point, 1000.0}, {"2.5e-3", point, 0.0025},
        {"-0", point, -0.0}, {"40,5", comma, 40.5}, {",5", comma, 0.5}, {"1,5e2", comma, 150.0}, {"0.1", point, 0.1},
        {"1.7976931348623157e308", point, largest}, {"4.9406564584124654e-324", point, smallest},
        {"1e-400", point, 0.0}, {"-1e-400", point, -0.0}, {"0e99999999999999999999", point, 0.0},
        // correctly rounded: the nearest double to a long decimal
        {"0.30000000000000001665334536937734810635447502136230468750001", point, 0.30000000000000004},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const double value = numberFromText(c.text, c.separator);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(std::signbit(value), std::signbit(c.value));
    }
    EXPECT_EQ(numberFromText(std::string(300, '0') + ",5", comma), 0.5);
}

TEST(NumberFromText, RejectedForms) {
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

// Short decimals take a quicker path than long ones; both must give the nearest double.
TEST(NumberFromText, AgreesWithTheCLibraryOnRandomDecimals) {
    std::mt19937_64 random(4051);
    std::uniform_int_distribution<int> length(1, 19);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const int digits = length(random);
        const int separatorAt = std::uniform_int_distribution<int>(0, digits)(random);
        for (int k = 0; k < digits; ++k) {
            if (k == separatorAt) {
                text += '.';
            }
            text += static_cast<char>('0' + digit(random));
        }
        if (i % 3 == 0) {
            text += 'e' + std::to_string(exponent(random));
        }
        ASSERT_EQ(numberFromText(text), std::strtod(text.c_str(), nullptr)) << text;
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

TEST(GeneralText, FifteenSignificantDigits) {
    struct Case {
        double value;
        const char* text;
    };
    // clang-format off
    const std::vector<Case> cases{
        {50.8534, "50.8534"}, {0.1 + 0.2, "0.3"}, {37.021635149999994, "37.02163515"},
        {2.0 / 3.0, "0.666666666666667"}, {-2.0 / 3.0, "-0.666666666666667"}, {100.0, "100"},
        {0.0001, "0.0001"}, {0.000015, "1.5e-05"}, {999999999999999.0, "999999999999999"},
        // just below a power of ten: rounded to 15 digits, not carried into the next decade
        {9999999.999999994, "9999999.99999999"}, {0.099999999999999994, "0.1"}, {99999.99999999999, "100000"},
        {1e15, "1e+15"}, {9.999999999999999e14, "1e+15"}, {123456789012345678.0, "1.23456789012346e+17"},
        {0.0, "0"}, {-0.0, "0"}, {std::numeric_limits<double>::max(), "1.79769313486232e+308"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247e-324"},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(generalText(c.value), c.text);
    }
    EXPECT_EQ(generalText(-12.5, comma), "-12,5");
    EXPECT_EQ(generalText(1.5e-5, comma), "1,5e-05");
}

// The general text is by definition what to_chars writes with precision 15; the plain range
// is rounded by other means, so compare over all magnitudes and at exact halves.
TEST(GeneralText, IsWhatToCharsWritesWithFifteenDigits) {
    const auto reference = [](double x) {
        std::array<char, 64> buffer{};
        auto* const end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                        std::chars_format::general, 15)
                              .ptr;
        const std::string text(buffer.data(), end);
        return text == "-0" ? std::string("0") : text;
    };
    std::mt19937_64 random(1982);
    std::uniform_real_distribution<double> order(-7.0, 17.0);
    std::uniform_int_distribution<std::int64_t> fifteen(100'000'000'000'000, 999'999'999'999'999);
    for (int i = 0; i < 300000; ++i) {
        double x = std::pow(10.0, order(random)) * (i % 2 == 0 ? 1 : -1);
        if (i % 3 == 0) {
            // An exact half beyond the 15th digit, at a magnitude that keeps it exact.
            x = (static_cast<double>(fifteen(random)) + 0.5) / (i % 9 == 0 ? 1.0 : 2.0);
        } else if (i % 5 == 0) {
            x = std::nextafter(1e15, 0.0) - static_cast<double>(i % 7);
        }
        ASSERT_EQ(generalText(x), reference(x)) << std::hexfloat << x;
    }
    for (double x : {1e-4, 0.0001, std::nextafter(1e-4, 0.0), 9.9999999999999995e-5,
                     999999999999999.5, 999999999999999.4, 99999999999999.95, 0.1, 1e14}) {
        EXPECT_EQ(generalText(x), reference(x)) << std::hexfloat << x;
    }
}

// For many doubles: the text reads back to the double nearest the 15-digit rounding, and
// writing that again gives the same text. The rounding is worked out with the C library.
TEST(GeneralText, RoundTripsThroughNumberFromText) {
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> soil(-200.0, 200.0);
    for (int i = 0; i < 200000; ++i) {
        double x = i % 2 == 0 ? soil(random) : std::bit_cast<double>(random());
        if (!std::isfinite(x)) {
            continue;
        }
        std::array<char, 64> buffer{};
        std::snprintf(buffer.data(), buffer.size(), "%.14e", x);
        const double rounded = std::strtod(buffer.data(), nullptr);

        const std::string text = generalText(x);
        if (std::isinf(rounded)) {
            // Near the top of the range the 15-digit text lies beyond it.
            EXPECT_EQ(failureOf(text, point), FailureKind::overflow) << text;
            continue;
        }
        const double back = numberFromText(text);
        ASSERT_EQ(back, rounded == 0.0 ? 0.0 : rounded) << text;
        ASSERT_EQ(generalText(back), text);

        std::string withComma = text;
        std::replace(withComma.begin(), withComma.end(), '.', ',');
        ASSERT_EQ(generalText(x, comma), withComma);
        ASSERT_EQ(numberFromText(withComma, comma), back);
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
        const std::string fixed = fixedText(c.text);
        EXPECT_EQ(fixed, c.fixed);
        EXPECT_EQ(fixedText(fixed), fixed) << "not stable";
    }
    EXPECT_EQ(fixedText("39,915", comma), "39,92");
    EXPECT_EQ(fixedText("-0,004", comma), "0,00");
    EXPECT_EQ(fixedText("39.915", comma), "39.915");

    const std::string largest = fixedText("1.79769313486231e+308");
    EXPECT_EQ(largest.size(), 309U + 3U);
    EXPECT_EQ(largest.substr(0, 16), "1797693134862310");
    EXPECT_EQ(largest.substr(306), "000.00");
}

} // namespace
} // namespace talvo::estimation
