// The engine's shortcuts, the quick two-decimal estimate, its text and the lanes,
// are exact.

#include "estimation/detail/decimal_form.h"
#include "estimation/detail/estimate.h"
#include "estimation/detail/fixed_estimate.h"
#include "estimation/detail/plausibility.h"
#include "estimation/detail/portable.h"
#include "estimation/detail/result_values.h"
#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace talvo::estimation {
namespace {

using namespace detail; // NOLINT(google-build-using-namespace): the engine's own tests

std::string fixedText(const DecimalForm& form) {
    std::array<char, ResultTextCapacity> text{};
    return {text.data(), writeFixed(text.data(), form, '.')};
}

std::string hundredthsText(std::int64_t hundredths) {
    std::array<char, ResultTextCapacity> text{};
    return {text.data(), writeHundredths(text.data(), hundredths, '.')};
}

// Where the quick path answers, its texts, values and flags are the exact path's; returns
// whether it answered.
bool agreesWhereItAnswers(const PtfModel& model, const InputValues& inputs) {
    const std::optional<FixedEstimate> quick = fixedEstimate(model, inputs);
    if (!quick) {
        return false;
    }
    const Estimate exact = estimate(model, inputs);
    EXPECT_TRUE(exact.succeeded()) << model.listText;
    if (!exact.succeeded()) {
        return true;
    }
    for (std::size_t i = 0; i < quick->hundredths.size(); ++i) {
        const DecimalForm& form = exact.results[i];
        EXPECT_EQ(hundredthsText(quick->hundredths[i]), fixedText(form))
            << model.listText << " result " << i;
        EXPECT_EQ(hundredthsValue(quick->hundredths[i]), readBack(roundedToHundredths(form)));
    }
    Flags flags = inputFlags(model, inputs);
    flags |= quick->resultFlags;
    EXPECT_EQ(flags, modelFlags(model, inputs, exact)) << model.listText;
    return true;
}

// Lane `lane` of `quick`, where it answers, holds the exact path's values, to the bit, and
// flags; returns whether it answered.
bool laneAgrees(const PtfModel& model, const InputLanes& lanes, const ResultLanes& quick,
                std::size_t lane) {
    const auto number = [&](std::size_t input) { return lanes[input].values[lane]; };
    const InputValues inputs = inputNumbers(number(0), number(1), number(2), number(3));
    if (!quick.answered[lane]) {
        return false;
    }
    const Estimate exact = estimate(model, inputs);
    EXPECT_TRUE(exact.succeeded()) << model.listText << " lane " << lane;
    if (!exact.succeeded()) {
        return true;
    }
    for (std::size_t i = 0; i < quick.values.size(); ++i) {
        const std::optional<double> value = readBack(roundedToHundredths(exact.results[i]));
        EXPECT_EQ(bitCast<std::uint64_t>(quick.values[i].values[lane]),
                  bitCast<std::uint64_t>(value.value_or(0)))
            << model.listText << " result " << i << " lane " << lane << " sand " << number(0);
    }
    Flags flags = soilFlags(inputs);
    flags |= modelFlags(model, inputs, exact);
    EXPECT_EQ(quick.flags[lane], flags) << model.listText << " lane " << lane;
    return true;
}

// One soil in every lane.
bool answeredInLanes(const PtfModel& model, const InputValues& inputs) {
    InputLanes lanes;
    for (std::size_t input = 0; input < lanes.size(); ++input) {
        lanes[input] =
            Lanes(inputs[input].failure == FailureKind::overflow ? HUGE_VAL : inputs[input].number);
    }
    const ResultLanes quick = twoDecimalLanes(model, lanes);
    return laneAgrees(model, lanes, quick, 0) && laneAgrees(model, lanes, quick, LaneCount - 1);
}

// Soils whose FC is a half hundredth in 15 digits, where the exact path rounds away from zero
// and the doubles may lie on either side: model 0 without clay, with the sand that gives
// FC = t for t = 10.005, 10.015, ...
std::vector<InputValues> halfHundredths() {
    const PtfModel& model = ModelCatalogue[0];
    std::vector<InputValues> soils;
    for (int thousandths = 10'005; thousandths < 29'000; thousandths += 10) {
        const double sand = (29.79202 - thousandths / 1000.0) / 0.26349;
        const InputValues inputs = inputNumbers(sand, 0, 0, 0);
        if (estimate(model, inputs)[Result::fc] ==
            makeDecimalForm(static_cast<std::uint64_t>(thousandths), -3, false)) {
            soils.push_back(inputs);
        }
    }
    EXPECT_GT(soils.size(), 1000U);
    return soils;
}

// Soils that put FC next to what a mineral soil holds (by volume) or PWP next to FC, where the
// flags turn on the 15-digit values: found by bisection on clay, then a few doubles either side.
std::vector<InputValues> flagBoundaries() {
    const PtfModel& model = ModelCatalogue[0];
    const auto resultsAt = [&](double clay) {
        const InputValues inputs = inputNumbers(10, 0, clay, 0);
        const DoubleOperands numbers(inputs);
        return std::pair{model.fc.doubles(numbers), model.pwp.doubles(numbers)};
    };
    const auto closest = [](auto gap, double low, double high) {
        for (int step = 0; step < 200; ++step) {
            const double middle = (low + high) / 2;
            (gap(middle) * gap(low) > 0 ? low : high) = middle;
        }
        return low;
    };
    const double fcAtLimit = closest(
        [&](double clay) { return resultsAt(clay).first * VolumeFactor - MineralWaterLimit; }, 0,
        1e3);
    const double pwpAtFc = closest(
        [&](double clay) { return resultsAt(clay).second - resultsAt(clay).first; }, 0, 1e4);
    std::vector<InputValues> soils;
    for (const double clay : {fcAtLimit, pwpAtFc}) {
        double nudged = std::nextafter(std::nextafter(clay, 0.0), 0.0);
        for (int step = 0; step < 5; ++step, nudged = std::nextafter(nudged, HUGE_VAL)) {
            soils.push_back(inputNumbers(10, 0, nudged, 0));
        }
    }
    return soils;
}

// Where a result or a flag turns on digits the doubles cannot tell, both quick paths, the
// quick estimate and the lanes, leave the soil to the exact path.
class TooCloseToCall : public testing::TestWithParam<std::vector<InputValues> (*)()> {};

INSTANTIATE_TEST_SUITE_P(Boundaries, TooCloseToCall,
                         testing::Values(&halfHundredths, &flagBoundaries));

TEST_P(TooCloseToCall, IsLeftToTheExactPath) {
    const PtfModel& model = ModelCatalogue[0];
    for (const InputValues& inputs : GetParam()()) {
        const double sand = inputs[0].number;
        EXPECT_FALSE(fixedEstimate(model, inputs)) << sand;
        EXPECT_FALSE(answeredInLanes(model, inputs)) << sand;
    }
}

// Soils as laboratories give them, with two decimals: the quick estimate answers for a good
// share of them (some models put many soils near a flag's boundary), and where it answers it
// is the exact path's. A quick path that always
// declined would pass every other test here and make the tools several times slower.
TEST(FixedEstimate, AnswersForTypicalSoilsAsTheExactPathDoes) {
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<int> hundredths(0, 10'000);
    for (const PtfModel& model : ModelCatalogue) {
        int answered = 0;
        constexpr int Soils = 2000;
        for (int soil = 0; soil < Soils; ++soil) {
            const double sand = hundredths(random) / 100.0;
            const double clay = std::uniform_int_distribution<int>(
                                    0, 10'000 - static_cast<int>(sand * 100))(random) /
                                100.0;
            const double oc = hundredths(random) / 1000.0 + 0.5;
            answered += agreesWhereItAnswers(model, inputNumbers(sand, 100 - sand - clay, clay, oc))
                            ? 1
                            : 0;
        }
        EXPECT_GT(answered, Soils / 4) << model.listText;
    }
}

// Every lane is its own soil: contents as laboratories give them and awkward numbers mixed,
// each lane checked against the exact path.
TEST(TwoDecimalLanes, EachLaneIsItsSoil) {
    constexpr std::array awkward{NoNumber, HUGE_VAL, -HUGE_VAL, 0.0,    -0.0,  -3.5,
                                 100.0,    104.25,   250.0,     1e-300, 1e300, 4e12};
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> content(-5, 105);
    for (const PtfModel& model : ModelCatalogue) {
        int answered = 0;
        for (int round = 0; round < 500; ++round) {
            InputLanes lanes;
            for (Lanes& input : lanes) {
                for (double& number : input.values) {
                    number = random() % 4 == 0 ? awkward[random() % awkward.size()]
                                               : std::round(content(random) * 1000) / 1000;
                }
            }
            const ResultLanes quick = twoDecimalLanes(model, lanes);
            for (std::size_t lane = 0; lane < LaneCount; ++lane) {
                answered += laneAgrees(model, lanes, quick, lane) ? 1 : 0;
            }
        }
        EXPECT_GT(answered, 500) << model.listText; // a good share takes the quick path
    }
}

TEST(FixedEstimate, ValuesOfHundredths) {
    EXPECT_EQ(hundredthsValue(5085), 50.85);
    EXPECT_EQ(hundredthsValue(-5085), -50.85);
    EXPECT_FALSE(std::signbit(hundredthsValue(0)));
    EXPECT_EQ(hundredthsText(0), "0.00");
    EXPECT_EQ(hundredthsText(-5), "-0.05");
    EXPECT_EQ(hundredthsText(123456), "1234.56");
}

// Every length of the whole part, on both sides of each power of ten and of the counts the
// text is built in one word for, against the integer's own digits with a point put in.
TEST(FixedEstimate, TextOfHundredthsAtEveryLength) {
    const auto reference = [](std::int64_t count) {
        std::string digits = std::to_string(count < 0 ? -count : count);
        digits.insert(0, digits.size() < 3 ? 3 - digits.size() : 0, '0');
        digits.insert(digits.size() - 2, ".");
        return (count < 0 ? "-" : "") + digits;
    };
    std::int64_t power = 1;
    for (int exponent = 0; exponent <= 18; ++exponent) {
        power *= exponent == 0 ? 1 : 10;
        for (const std::int64_t count : {power - 1, power, power + 1, power * 5 + 7}) {
            for (const std::int64_t signed_ : {count, -count}) {
                EXPECT_EQ(hundredthsText(signed_), reference(signed_)) << signed_;
            }
        }
    }
}

// A double's two decimals and general text straight from it are those of its 15-digit form: at
// halves and a few ulps beside them, where the 15-digit rounding decides, at whole numbers and
// over random magnitudes and signs.
TEST(FixedText, OfADoubleIsThatOfItsFifteenDigits) {
    std::vector<double> values{0.0,
                               -0.0,
                               0.005,
                               -0.005,
                               1.005,
                               2.675,
                               0.125,
                               99.995,
                               1e-300,
                               -1e-300,
                               9999999999999.995,
                               1e13,
                               1e15 + 0.5,
                               1e300,
                               -1e300};
    for (const double half : {0.005, 1.005, 2.675, 12.345, 0.015, 1234.565, 1e12 + 0.005}) {
        double below = half;
        double above = half;
        for (int step = 0; step < 4; ++step) {
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, 1e308);
            values.insert(values.end(), {below, above, -below, -above});
        }
    }
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> magnitude(-6.0, 14.0);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::pow(10.0, magnitude(random));
        values.push_back(i % 2 == 0 ? value : -value);
        // Halves of hundredths as a double holds them, the close calls.
        const double hundredths = std::round(value * 100) + 0.5;
        values.push_back(hundredths / 100);
    }
    // Whole numbers, which the general text takes straight from the double.
    for (const double whole : {1.0, 30.0, 150.0, 1e14, 999999999999999.0, 1e15, 1e16, 4e300}) {
        values.insert(values.end(), {whole, -whole, std::nextafter(whole, 0.0)});
    }
    for (const double value : values) {
        std::array<char, ResultTextCapacity> quick{};
        std::array<char, ResultTextCapacity> exact{};
        EXPECT_EQ(std::string(quick.data(), writeFixed(quick.data(), value, ',')),
                  std::string(exact.data(), writeFixed(exact.data(), decimalForm(value), ',')))
            << std::hexfloat << value;
        EXPECT_EQ(std::string(quick.data(), writeGeneral(quick.data(), value, ',')),
                  std::string(exact.data(), writeGeneral(exact.data(), decimalForm(value), ',')))
            << std::hexfloat << value;
    }
}

// A double's 15-digit value straight from it is the one its 15-digit text reads back as: at
// halves of the 15th digit and beside them, at the ends of each decade and of the quick range,
// and over random magnitudes and signs.
TEST(FifteenDigitValue, IsThatOfItsText) {
    std::vector<double> values{0.0,
                               -0.0,
                               1e-7,
                               std::nextafter(1e-7, 0.0),
                               1e14,
                               std::nextafter(1e14, 0.0),
                               99999999999999.95,
                               999999999999999.5,
                               9.99999999999999e-5,
                               9.999999999999995,
                               0.1 + 0.2,
                               50.8534,
                               1e300,
                               -1e-300,
                               std::numeric_limits<double>::max()};
    std::mt19937_64 random(15);
    std::uniform_int_distribution<std::uint64_t> digits(100000000000000, 999999999999999);
    std::uniform_int_distribution<int> exponent(-24, 2);
    std::uniform_real_distribution<double> magnitude(-9.0, 16.0);
    for (int i = 0; i < 20000; ++i) {
        // Half of the 15th digit, as near as a double gets, and its neighbours.
        const double half = (static_cast<double>(digits(random)) + 0.5) *
                            std::pow(10.0, static_cast<double>(exponent(random)));
        values.insert(values.end(), {half, std::nextafter(half, 0.0), std::nextafter(half, 1e308)});
        const double value = std::pow(10.0, magnitude(random));
        values.push_back(i % 2 == 0 ? value : -value);
    }
    for (int power = -8; power <= 15; ++power) {
        const double decade = std::pow(10.0, power);
        values.insert(values.end(), {decade, std::nextafter(decade, 0.0),
                                     std::nextafter(decade, 1e308), -decade});
    }
    for (const double value : values) {
        const std::optional<double> quick = fifteenDigitValue(value);
        const std::optional<double> exact = readBack(decimalForm(value));
        ASSERT_EQ(quick.has_value(), exact.has_value()) << std::hexfloat << value;
        if (quick) {
            EXPECT_EQ(bitCast<std::uint64_t>(*quick), bitCast<std::uint64_t>(*exact))
                << std::hexfloat << value;
        }
    }
}

} // namespace
} // namespace talvo::estimation
