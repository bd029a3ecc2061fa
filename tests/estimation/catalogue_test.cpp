#include "estimation/catalogue.h"
#include "estimation/decimal_form.h"
#include "estimation/estimate.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace talvo::estimation {
namespace {

std::string general(const DecimalForm& form) {
    std::array<char, GeneralTextCapacity> text{};
    return {text.data(), writeGeneral(text.data(), form, '.')};
}

// Values worked out by hand in exact decimals for sand 40, silt 40, clay 20, OC 5; each
// result, written with 15 digits, must give them exactly.
TEST(ModelCatalogue, EquationsAgreeWithHandWorkedValues) {
    struct Case {
        int position;
        const char* fc;
        const char* pwp;
        const char* awc;
    };
    const std::array<Case, ModelCount> cases{{
        {0, "23.38382", "7.68507", "35.08670625"},
        {1, "23.40813", "6.84364", "37.02163515"},
        {2, "50.8534", "26.2828", "36.8559"},
        {3, "29.166", "14.83", "21.504"},
        {4, "37.58", "10.97", "39.915"},
        {5, "25.17", "9.51", "23.49"},
        {6, "29.287", "12.835", "36.77022"},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const Estimate estimated = estimate(*modelAt(c.position), inputNumbers(40, 40, 20, 5));
        ASSERT_TRUE(estimated.succeeded());
        EXPECT_EQ(general(estimated[Result::fc]), c.fc);
        EXPECT_EQ(general(estimated[Result::pwp]), c.pwp);
        EXPECT_EQ(general(estimated[Result::awc]), c.awc);
    }
}

// The listed read inputs are exactly those the equations use: any other input may be
// missing, and each listed one is needed by one of the two equations.
TEST(ModelCatalogue, EquationsReadExactlyTheListedInputs) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    for (const PtfModel& model : ModelCatalogue) {
        SCOPED_TRACE(model.listText);
        std::array<double, 4> values{none, none, none, none};
        for (Input input : allInputs) {
            if (model.readInputs.contains(input)) {
                values[static_cast<std::size_t>(input)] = 30.0;
            }
        }
        const auto numbers = [](const std::array<double, 4>& v) {
            return inputNumbers(v[0], v[1], v[2], v[3]);
        };
        EXPECT_TRUE(estimate(model, numbers(values)).succeeded());

        for (Input input : allInputs) {
            if (!model.readInputs.contains(input)) {
                continue;
            }
            auto without = values;
            without[static_cast<std::size_t>(input)] = none;
            const Estimate estimated = estimate(model, numbers(without));
            ASSERT_TRUE(estimated.failure) << name(input) << " is listed but never read";
            EXPECT_EQ(*estimated.failure, (FailureReason{FailureKind::typeMismatch, input}));
        }
    }
}

} // namespace
} // namespace talvo::estimation
