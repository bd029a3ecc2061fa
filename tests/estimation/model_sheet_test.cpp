#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

using namespace talvo::estimation;

namespace {

bool mentions(std::span<const std::string_view> caveats, std::string_view words) {
    // Plain any_of: the browser build's standard library has no ranges algorithms.
    return std::any_of(caveats.begin(), caveats.end(), [words](std::string_view caveat) {
        return caveat.find(words) != std::string_view::npos;
    });
}

} // namespace

// A sheet that names an input the equations skip, or misses one they read, or tells the other
// unit, would send users to measure the wrong thing.
TEST(ModelSheetTest, EachSheetNamesTheInputsAndUnitOfItsModel) {
    for (const PtfModel& model : ModelCatalogue) {
        SCOPED_TRACE(model.listText);
        const ModelSheet& sheet = modelSheet(model);
        EXPECT_FALSE(sheet.source.empty());
        int listed = 0;
        for (const InputUnit& unit : sheet.inputs) {
            EXPECT_TRUE(model.readInputs.contains(unit.input)) << name(unit.input);
            EXPECT_FALSE(unit.unit.empty());
            ++listed;
        }
        int read = 0;
        for (const Input input : allInputs) {
            read += model.readInputs.contains(input) ? 1 : 0;
        }
        EXPECT_EQ(listed, read);
        EXPECT_TRUE(sheet.results.starts_with(model.unit));
        EXPECT_EQ(sheet.availableWater.find("1.49") != std::string_view::npos, model.gravimetric);
        // Tables' organic matter becomes carbon: said where carbon is read, and only there.
        EXPECT_EQ(mentions(sheet.caveats, "OC = OM / 1.724"), model.readInputs.contains(Input::oc));
    }
}

// The published equation reads OC in percent: the worked figures in its caveat are what the
// engine gives for 5 entered and for 5 g/kg entered as 0.5.
TEST(ModelSheetTest, RawlsCaveatGivesTheEnginesFiguresForEitherCarbonUnit) {
    const PtfModel& rawls = ModelCatalogue[2];
    const ModelSheet& sheet = modelSheet(rawls);
    ASSERT_EQ(sheet.inputs.back().input, Input::oc);
    EXPECT_EQ(sheet.inputs.back().unit, "% (g/100 g)");
    EXPECT_TRUE(mentions(sheet.caveats, "Enter organic carbon in percent for this model's "
                                        "published results"));
    for (const auto& [oc, fc] : {std::pair{"5", "50.85"}, std::pair{"0.5", "27.55"}}) {
        const SoilEstimate soil =
            estimateSoil(rawls, {"40", "", "20", oc}, DecimalSeparator{}, Precision::fixed);
        EXPECT_EQ(soil.text(Result::fc), fc);
        EXPECT_TRUE(mentions(sheet.caveats, fc)) << fc;
    }
    // The calculator's own model with OC reads it in g/kg, and divides by it.
    EXPECT_EQ(modelSheet(ModelCatalogue[1]).inputs.back().unit, "g/kg");
    EXPECT_TRUE(mentions(modelSheet(ModelCatalogue[1]).caveats, "OC must not be 0"));
}

// Listings name a model's inputs in Input's order, whatever order its equations read them.
TEST(ModelSheetTest, ReadNamesInTheInputsOrder) {
    struct Case {
        int position;
        const char* reads;
    };
    for (const Case& c : {Case{0, "sand, clay"}, Case{1, "sand, clay, oc"}, Case{3, "silt, clay"},
                          Case{5, "sand, silt, clay"}}) {
        EXPECT_EQ(readNames(*modelAt(c.position)), c.reads);
    }
}
