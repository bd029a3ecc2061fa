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
#include <random>
#include <string>

// Long random sweeps: a fast sample by default, the full length with TALVO_EXHAUSTIVE_TESTS.
// The fuzz targets go on from here.
namespace talvo::estimation {
namespace {

#ifdef TALVO_EXHAUSTIVE_TESTS
constexpr int sweepDivisor = 1;
#else
constexpr int sweepDivisor = 50;
#endif

constexpr int sweep(int exhaustiveCount) {
    return exhaustiveCount / sweepDivisor;
}

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
    for (int i = 0; i < sweep(300000); ++i) {
        double x = std::pow(10.0, order(random)) * (i % 2 == 0 ? 1 : -1);
        if (i % 3 == 0) {
            // An exact half beyond the 15th digit, at a magnitude that keeps it exact.
            x = (static_cast<double>(fifteen(random)) + 0.5) / (i % 9 == 0 ? 1.0 : 2.0);
        } else if (i % 5 == 0) {
            x = std::nextafter(1e15, 0.0) - static_cast<double>(i % 7);
        }
        ASSERT_EQ(generalText(x), reference(x)) << std::hexfloat << x;
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
