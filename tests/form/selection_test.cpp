#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/memory_fields.h"
#include "form/selection.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace talvo::form {
namespace {

using estimation::Input;

// The four boxes as the fields hold them: open (true) or closed, and coloured to match.
std::array<bool, 4> openBoxes(const MemoryFields& fields) {
    std::array<bool, 4> open{};
    for (const Input input : estimation::allInputs) {
        const bool enabled = fields.inputEnabled(input);
        EXPECT_EQ(fields.inputBackground(input),
                  enabled ? SystemColour::highlightText : SystemColour::inactiveBorder)
            << name(input);
        open.at(static_cast<std::size_t>(input)) = enabled;
    }
    return open;
}

// Each model from a form just opened (every box closed) and from one where another model had
// opened every box: the boxes end up as the model needs them, whatever they were before.
TEST(ModelSelection, OpensTheModelsBoxesAndShowsItsUnits) {
    struct Case {
        int model;
        std::array<bool, 4> open; // sand, silt, clay, oc
        std::string fcUnit, pwpUnit;
    };
    // clang-format off
    const std::array<Case, estimation::ModelCount> cases{{
        {0, {true, true, true, false}, "(% w/w)", "(% w/w)"},
        {1, {true, true, true, true}, "(% w/w)", "(% w/w)"},
        {2, {true, false, true, true}, "(% v/v)", "(% v/v)"},
        {3, {false, true, true, false}, "(% v/v)", "(% v/v)"},
        {4, {true, false, true, false}, "(% v/v)", "(% v/v)"},
        {5, {true, true, true, false}, "(% v/v)", "(% v/v)"},
        {6, {true, true, true, false}, "(% w/w)", "(% w/w )"},
    }};
    // clang-format on
    constexpr int opensEveryBox = 1;
    for (const Case& c : cases) {
        for (const bool fromOpen : {false, true}) {
            SCOPED_TRACE(testing::Message() << "model " << c.model << (fromOpen ? " after 1" : ""));
            MemoryFields fields;
            if (fromOpen) {
                fields.setModelIndex(opensEveryBox);
                ModelSelection(fields);
            }
            fields.setModelIndex(c.model);
            ModelSelection(fields);
            EXPECT_EQ(openBoxes(fields), c.open);
            EXPECT_EQ(fields.unitCaption(Unit::fc), c.fcUnit);
            EXPECT_EQ(fields.unitCaption(Unit::pwp), c.pwpUnit);
        }
    }
}

TEST(ModelSelection, WithoutAModelChangesNothing) {
    for (const int index : {-1, estimation::ModelCount}) {
        SCOPED_TRACE(index);
        MemoryFields fields;
        fields.setModelIndex(2);
        ModelSelection(fields);
        fields.setModelIndex(index);
        ModelSelection(fields);
        EXPECT_EQ(openBoxes(fields), (std::array{true, false, true, true}));
        EXPECT_EQ(fields.unitCaption(Unit::fc), "(% v/v)");
    }
}

// On the USDA scale sand is converted with part of silt: silt opens wherever sand does, also
// for the models that do not read silt themselves.
TEST(ModelSelection, OnTheUsdaScaleSiltOpensWithSand) {
    struct Case {
        int model;
        std::array<bool, 4> open; // sand, silt, clay, oc
    };
    const std::array<Case, 3> cases{{
        {2, {true, true, true, true}},
        {3, {false, true, true, false}},
        {4, {true, true, true, false}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        MemoryFields fields;
        fields.setParticleSizeScale(estimation::ParticleSizeScale::usda);
        fields.setModelIndex(c.model);
        ModelSelection(fields);
        EXPECT_EQ(openBoxes(fields), c.open);
    }
}

// The boxes are the form's and the inputs the engine's: a model added to the catalogue, or
// given another input, without its row of boxes here would leave a box it reads closed.
TEST(Selection, OpensEveryInputTheModelReads) {
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        SCOPED_TRACE(model.listText);
        const Selection chosen = selection(model);
        for (const Input input : estimation::allInputs) {
            if (model.readInputs.contains(input)) {
                EXPECT_TRUE(chosen[input].enabled) << name(input);
            }
        }
    }
}

} // namespace
} // namespace talvo::form
