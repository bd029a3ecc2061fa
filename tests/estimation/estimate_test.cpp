#include "estimation/actions.h"
#include "estimation/catalogue.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"
#include "estimation/plausibility.h"
#include "support/memory_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

using test::MemoryFields;

using Captions = std::array<std::string, 3>; // fc, pwp, awc

Captions captionsOf(const MemoryFields& fields) {
    return {fields.caption(Result::fc), fields.caption(Result::pwp), fields.caption(Result::awc)};
}

// A blank box, an OC of zero and a number beyond the range are the Form1 test's cases.
TEST(EstimateAction, FailuresKeepWhatWasWrittenSoFar) {
    const Captions before{"old fc", "old pwp", "old awc"};
    constexpr auto mismatch = FailureKind::typeMismatch;
    constexpr auto overflow = FailureKind::overflow;
    constexpr auto byZero = FailureKind::divisionByZero;
    constexpr auto none = std::nullopt;
    struct Case {
        const char* what;
        int model;
        const char *sand, *silt, *clay, *oc;
        FailureKind kind;
        std::optional<Input> input;
        Captions after;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"clay read only for PWP", 4, "40", " ", "twenty", " ", mismatch, Input::clay, {"37.58", "old pwp", "old awc"}},
        // FC = ((29.76823 - 10.5344) + 4.1194) + 0 x 0.01098
        {"OC of minus zero", 1, "40", " ", "20", "-0", byZero, Input::oc, {"23.35323", "old pwp", "old awc"}},
        {"OC is converted before sand", 2, "x", " ", "20", "y", mismatch, Input::oc, before},
        {"OC product beyond the range, before sand is read", 2, "x", " ", "20", "1e308", overflow, none, before},
        // FC and PWP are finite, their difference is not.
        {"available water beyond the range", 0, "-1.2e308", " ", "-2339", " ", overflow, none,
         {"3.16188e+307", "-1.553688e+308", "old awc"}},
        // AWC is finite, its 15-digit text lies beyond the range and would stay unformatted.
        {"available water beyond the range once written", 5, "-1.797e308", "-1e308", "-2.72547497913878e306", " ",
         overflow, none, {"1.18647e+308", "-1.19920899082106e+306", "1.79769313486232e+308"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFields fields(c.model, c.sand, c.silt, c.clay, c.oc);
        for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
            fields.setCaption(result, before.at(static_cast<std::size_t>(result)));
        }
        try {
            EstimateAction(fields);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.kind(), c.kind);
            EXPECT_EQ(failure.input(), c.input);
        }
        EXPECT_EQ(captionsOf(fields), c.after);
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

Flags flagsOf(std::initializer_list<Flag> list) {
    Flags flags;
    for (const Flag flag : list) {
        flags.add(flag);
    }
    return flags;
}

TEST(Plausibility, FlagsOfSoils) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        int model;
        double sand, silt, clay, oc;
        Flags expected;
    };
    // clang-format off
    const std::array<Case, 16> cases{{
        {"plausible soil", 2, 40, 40, 20, 5, {}},
        {"sum off by 2", 2, 40, 40, 22, 5, flagsOf({Flag::sum})},
        {"sum off by exactly 1", 2, 40, 40, 21, 5, {}},
        {"no sum without silt as a number", 2, 40, none, 20, 5, {}},
        {"no range for silt, shown but not read", 0, 40, 150, 20, none, flagsOf({Flag::sum})},
        {"range only for inputs read: silt not read", 4, 40, -40, 100, none, flagsOf({Flag::pwpNotBelowFc})},
        {"range: negative sand", 4, -10, 90, 20, none, flagsOf({Flag::range})},
        {"range: clay above 100", 3, 0, 0, 100.5, none, flagsOf({Flag::range})},
        {"oc above 200", 1, 40, 40, 20, 250, flagsOf({Flag::oc})},
        {"oc of 200", 1, 40, 40, 20, 200, {}},
        {"oc negative", 1, 40, 40, 20, -1, flagsOf({Flag::oc})},
        {"oc not read", 0, 40, 40, 20, 250, {}},
        {"results below 0", 4, 200, -90, -10, none, flagsOf({Flag::range, Flag::pwpNotBelowFc, Flag::result})},
        {"results above 100", 2, 40, 40, 20, 30, flagsOf({Flag::result})},
        // only FC computed: its own result flag, none for PWP
        {"failure after FC", 4, 200, 0, none, none, flagsOf({Flag::range, Flag::result})},
        {"failure before FC", 0, 150, 0, none, none, flagsOf({Flag::range})},
    }};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PtfModel& model = *modelAt(c.model);
        const InputValues inputs = inputNumbers(c.sand, c.silt, c.clay, c.oc);
        Flags flags = soilFlags(inputs);
        flags |= modelFlags(model, inputs, estimate(model, inputs));
        EXPECT_EQ(flags.bits(), c.expected.bits());
    }
}

} // namespace
} // namespace talvo::estimation
