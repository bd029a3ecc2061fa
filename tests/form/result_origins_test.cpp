#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/memory_fields.h"
#include "form/result_origins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace talvo::form {
namespace {

using estimation::Flag;
using estimation::Flags;
using estimation::Input;
using form::MemoryFields;

// One thing the user does to the form, and what is stale afterwards.
struct Step {
    const char* what;
    int model;                    // chosen before the step
    const char *sand, *clay, *oc; // typed before the step (silt stays 40)
    bool press;                   // Estimate pressed
    Staleness stale;
    estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international;
};

constexpr Staleness None{};
constexpr Staleness All{{true, true, true}, true};

// A failed press keeps the results it did not reach; a model or box changed since the press
// leaves its results stale, and going back to the soil pressed makes them current again.
TEST(ResultOrigins, StaleWhenTheSoilOnScreenIsNotTheOnePressed) {
    constexpr auto usda = estimation::ParticleSizeScale::usda;
    // clang-format off
    const std::vector<Step> steps{
        {"nothing written yet", -1, " ", " ", " ", false, None},
        {"a press without a model writes nothing", -1, "40", "20", "5", true, None},
        {"Rawls et al., 1982", 2, "40", "20", "5", true, None},
        {"another model", 0, "40", "20", "5", false, All},
        {"back to the model pressed", 2, "40", "20", "5", false, None},
        {"a box changed", 2, "40", "21", "5", false, All},
        {"and changed back", 2, "40", "20", "5", false, None},
        // FC written, PWP divides by zero: the flags come with the failed press.
        {"OC of zero", 1, "40", "20", "0", true, {{false, true, true}, false}},
        {"a full estimate", 1, "40", "20", "5", true, None},
        {"failure before the first result", 1, "forty", "20", "5", true, {{true, true, true}, false}},
        {"the soil of the old results again", 1, "40", "20", "5", false, {{false, false, false}, true}},
        {"a full estimate again", 1, "40", "20", "5", true, None},
        // The same texts on another scale are another soil.
        {"the USDA scale chosen", 1, "40", "20", "5", false, All, usda},
        {"pressed on it", 1, "40", "20", "5", true, None, usda},
        {"back to the international scale", 1, "40", "20", "5", false, All},
    };
    // clang-format on
    MemoryFields fields;
    fields.setInputText(Input::silt, "40");
    ResultOrigins origins;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        fields.setModelIndex(step.model);
        fields.setInputText(Input::sand, step.sand);
        fields.setInputText(Input::clay, step.clay);
        fields.setInputText(Input::oc, step.oc);
        fields.setParticleSizeScale(step.scale);
        if (step.press) {
            try {
                origins.estimate(fields);
            } catch (const estimation::Failure&) {
                // The window reports it; here only what stays on the form counts.
            }
        }
        EXPECT_EQ(origins.stale(screenSoil(fields)), step.stale);
    }
}

// The press tells how far it got, and its flags; throwFailure throws what it stopped at.
TEST(PressEstimate, ComputedResultsFailureAndFlags) {
    struct Case {
        const char* what;
        int model;
        const char *sand, *silt, *clay, *oc;
        int computed;
        bool failed;
        Flags flags;
    };
    Flags sumAndOrder;
    sumAndOrder.add(Flag::sum);
    sumAndOrder.add(Flag::pwpNotBelowFc);
    Flags sum;
    sum.add(Flag::sum);
    // clang-format off
    const std::vector<Case> cases{
        {"no model", -1, "40", " ", "20", "5", 0, false, {}},
        {"a full estimate", 2, "40", "40", "20", "5", 3, false, {}},
        {"silt left out of the sum", 2, "40", " ", "20", "5", 3, false, {}},
        {"PWP above FC", 4, "90", "0", "60", " ", 3, false, sumAndOrder},
        {"division by zero after FC", 1, "40", "30", "20", "0", 1, true, sum},
        {"OC in the box a model keeps closed counts for nothing", 6, "40", "40", "20", "12", 3, false, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFields fields(c.model, c.sand, c.silt, c.clay, c.oc);
        const Press press = pressEstimate(fields);
        EXPECT_EQ(press.computed, c.computed);
        EXPECT_EQ(press.failure.has_value(), c.failed);
        EXPECT_EQ(press.flags, c.flags);
        EXPECT_EQ(c.failed, [&] {
            try {
                throwFailure(press);
                return false;
            } catch (const estimation::Failure&) {
                return true;
            }
        }());
    }
}

TEST(FlagLine, ShortLineAndSentences) {
    Flags two;
    two.add(Flag::pwpNotBelowFc);
    two.add(Flag::sum);
    EXPECT_EQ(flagLine({}), "");
    EXPECT_EQ(flagSentences({}), "");
    EXPECT_EQ(flagLine(two), "Check: sand + silt + clay \u2260 100, PWP \u2265 FC");
    EXPECT_EQ(flagSentences(two), std::string(estimation::sentence(Flag::sum)) + "\n" +
                                      std::string(estimation::sentence(Flag::pwpNotBelowFc)));
    // Where the labels cannot say it, the line says the scale read, with or without flags,
    // and psd only repeats it.
    Flags converted = two;
    converted.add(Flag::psd);
    Flags psd;
    psd.add(Flag::psd);
    const std::string usda = "USDA sizes: sand 0.05-2 mm, silt 0.002-0.05 mm";
    constexpr auto onUsda = estimation::ParticleSizeScale::usda;
    EXPECT_EQ(flagLine({}, onUsda), usda);
    EXPECT_EQ(flagLine(psd, onUsda), usda);
    EXPECT_EQ(flagLine(converted, onUsda),
              usda + ". Check: sand + silt + clay \u2260 100, PWP \u2265 FC");
    EXPECT_EQ(flagLine(psd), "Check: converted from USDA sizes");
    // Every flag has words of its own, none the table code.
    for (const Flag flag : estimation::allFlags) {
        Flags one;
        one.add(flag);
        EXPECT_NE(flagLine(one), "Check: " + std::string(estimation::code(flag)));
    }
}

} // namespace
} // namespace talvo::form
