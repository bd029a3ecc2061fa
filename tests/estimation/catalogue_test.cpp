#include "estimation/catalogue.h"
#include "estimation/estimate.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace talvo::estimation {
namespace {

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
