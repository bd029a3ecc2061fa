#include "estimation/failure.h"
#include "estimation/number_text.h"
#include "sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace talvo::estimation {
namespace {

// Short decimals take a quicker path than long ones; both must give the nearest double.
TEST(NumberFromText, AgreesWithTheCLibraryOnRandomDecimals) {
    std::mt19937_64 random(4051);
    std::uniform_int_distribution<int> length(1, 19);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < sweep(100000); ++i) {
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

// For many doubles: the text reads back to the double nearest the 15-digit rounding, and
// writing that again gives the same text. The rounding is worked out with the C library.
TEST(GeneralText, RoundTripsThroughNumberFromText) {
    const DecimalSeparator comma(',');
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> soil(-200.0, 200.0);
    for (int i = 0; i < sweep(200000); ++i) {
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
            EXPECT_EQ(readNumber(text).failure, FailureKind::overflow) << text;
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

} // namespace
} // namespace talvo::estimation
