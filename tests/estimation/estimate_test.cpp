#include "estimation/detail/catalogue.h"
#include "estimation/detail/estimate.h"
#include "estimation/detail/plausibility.h"
#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

using namespace detail; // NOLINT(google-build-using-namespace): the engine's own tests

// The listed read inputs are exactly those the equations use: any other input may be
// missing, and each listed one is needed by one of the two equations.
TEST(ModelCatalogue, EquationsReadExactlyTheListedInputs) {
    for (const PtfModel& model : ModelCatalogue) {
        SCOPED_TRACE(model.listText);
        std::array<double, 4> values{NoNumber, NoNumber, NoNumber, NoNumber};
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
            without[static_cast<std::size_t>(input)] = NoNumber;
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
    struct Case {
        const char* what;
        int model;
        double sand, silt, clay, oc;
        Flags expected;
    };
    // clang-format off
    const std::array<Case, 20> cases{{
        {"plausible soil", 2, 40, 40, 20, 5, {}},
        {"sum off by 2", 2, 40, 40, 22, 5, flagsOf({Flag::sum})},
        {"sum off by exactly 1", 2, 40, 40, 21, 5, {}},
        {"no sum without silt as a number", 2, 40, NoNumber, 20, 5, {}},
        {"no range for silt, shown but not read", 0, 40, 150, 20, NoNumber, flagsOf({Flag::sum})},
        {"range only for inputs read: silt not read", 4, 40, -40, 100, NoNumber, flagsOf({Flag::pwpNotBelowFc})},
        {"range: negative sand, and FC 62.58 % v/v", 4, -10, 90, 20, NoNumber, flagsOf({Flag::range, Flag::result})},
        {"range: clay above 100", 3, 0, 0, 100.5, NoNumber, flagsOf({Flag::range})},
        {"oc above 200", 1, 40, 40, 20, 250, flagsOf({Flag::oc})},
        {"oc of 200", 1, 40, 40, 20, 200, {}},
        {"oc negative", 1, 40, 40, 20, -1, flagsOf({Flag::oc})},
        {"oc not read", 0, 40, 40, 20, 250, {}},
        {"results below 0", 4, 200, -90, -10, NoNumber, flagsOf({Flag::range, Flag::pwpNotBelowFc, Flag::result})},
        {"results above 100, OM 51.7 %", 2, 40, 40, 20, 30, flagsOf({Flag::result, Flag::domain})},
        {"FC 76.7 % v/v, above what a mineral soil holds, OM 17.2 %", 2, 40, 40, 20, 10, flagsOf({Flag::result, Flag::domain})},
        {"FC 57.58 % v/v", 4, 0, 0, 100, NoNumber, {}},
        {"FC 42.19 % w/w, 62.9 % by volume", 0, 0, 40, 60, NoNumber, flagsOf({Flag::result})},
        {"FC 40.12 % w/w, 59.8 % by volume", 0, 0, 50, 50, NoNumber, {}},
        // only FC computed: its own result flag, none for PWP
        {"failure after FC", 4, 200, 0, NoNumber, NoNumber, flagsOf({Flag::range, Flag::result})},
        {"failure before FC", 0, 150, 0, NoNumber, NoNumber, flagsOf({Flag::range})},
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

// A table's error column names the cell that was no number, so the user finds it; what a
// table writes for no measurement reads as missing.
TEST(FailureText, NamesTheCell) {
    const std::string longCell = std::string(39, 'x') + "\xC3\xA9tude";
    struct Case {
        FailureReason reason;
        std::string cell;
        std::string text;
    };
    const std::vector<Case> cases{
        {{FailureKind::typeMismatch, Input::sand}, "40%", "Type mismatch: sand \"40%\""},
        {{FailureKind::typeMismatch, Input::oc}, "", "Missing: oc"},
        {{FailureKind::typeMismatch, Input::oc}, " \t", "Missing: oc"},
        {{FailureKind::typeMismatch, Input::clay}, " NA ", "Missing: clay"},
        {{FailureKind::typeMismatch, Input::clay}, "na", "Missing: clay"},
        {{FailureKind::typeMismatch, Input::clay}, "NAN", "Type mismatch: clay \"NAN\""},
        // A cell that looks like a number but holds what does not show says what it holds.
        {{FailureKind::typeMismatch, Input::silt},
         "14\xE2\x80\x8B",
         "Type mismatch: silt \"14\\u200b\""},
        {{FailureKind::typeMismatch, Input::sand}, "4\x1b[0m", "Type mismatch: sand \"4\\x1b[0m\""},
        // Cut before the two bytes of a character, never inside them.
        {{FailureKind::typeMismatch, Input::silt},
         longCell,
         "Type mismatch: silt \"" + std::string(39, 'x') + "...\""},
        {{FailureKind::divisionByZero, Input::oc},
         "0",
         "Division by zero: oc (this model divides by oc, so oc must not be 0)"},
        {{FailureKind::overflow, Input::sand}, "1e308", "Overflow: sand"},
        {{FailureKind::overflow, std::nullopt}, "", "Overflow"},
    };
    // Appended, each text follows the one before whole: a table writes every row's into one
    // string.
    std::string appended = "before";
    std::string expected = "before";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        EXPECT_EQ(failureText(c.reason, c.cell), c.text);
        appendFailureText(appended, c.reason, c.cell);
        expected += c.text;
    }
    EXPECT_EQ(appended, expected);
}

} // namespace
} // namespace talvo::estimation
