#include "estimation/failure.h"
#include "estimation/number_text.h"
#include "estimation/plain_decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const PlainField field =
            plainDecimalField(c.line.data(), c.line.data() + c.line.size(), c.separator,
                              [&](char x) { return x == c.delimiter; });
        EXPECT_EQ(field.end - c.line.data(), static_cast<std::ptrdiff_t>(c.end));
        ASSERT_EQ(field.decimal.has_value(), c.value.has_value());
        if (c.value) {
            EXPECT_EQ(field.decimal->value(), *c.value);
        }
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
        const std::string fixed = fixedText(c.text);
        EXPECT_EQ(fixed, c.fixed);
        EXPECT_EQ(fixedText(fixed), fixed) << "not stable";
    }
    EXPECT_EQ(fixedText("39,915", comma), "39,92");
    EXPECT_EQ(fixedText("-0,004", comma), "0,00");
    EXPECT_EQ(fixedText("39.915", comma), "39.915");
}

} // namespace
} // namespace talvo::estimation
