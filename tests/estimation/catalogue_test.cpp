#include "estimation/catalogue.h"
#include "estimation/failure.h"
#include "estimation/number_text.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

namespace talvo::estimation {
namespace {

// Fixed operands; a box given no number fails as a bad text would.
class FixedOperands final : public Operands {
public:
    explicit FixedOperands(std::array<std::optional<double>, 4> values) : m_values(values) {}

protected:
    Term read(Input input) override {
        const auto& value = m_values[static_cast<std::size_t>(input)];
        if (!value) {
            throw Failure(FailureKind::typeMismatch, input);
        }
        return {*value, input};
    }

private:
    std::array<std::optional<double>, 4> m_values;
};

using I = Input;

TEST(ModelCatalogue, RowsAsTheChooserAndTheWindowShowThem) {
    struct Row {
        const char* listText;
        InputSet enabled;
        InputSet read;
        const char* fcUnit;
        const char* pwpUnit;
        bool gravimetric;
    };
    constexpr bool ww = true;
    constexpr bool vv = false;
    // clang-format off
    const std::array<Row, ModelCount> expected{{
        {"TALVO PTF model (PSD)", {I::sand, I::silt, I::clay}, {I::sand, I::clay}, "(% w/w)", "(% w/w)", ww},
        {"TALVO PTF model (PSD + OC)", {I::sand, I::silt, I::clay, I::oc}, {I::sand, I::clay, I::oc}, "(% w/w)", "(% w/w)", ww},
        {"Rawls et al., 1982", {I::sand, I::clay, I::oc}, {I::sand, I::clay, I::oc}, "(% v/v)", "(% v/v)", vv},
        {"Tomasella and Hodnett, 1998", {I::silt, I::clay}, {I::silt, I::clay}, "(% v/v)", "(% v/v)", vv},
        {"Singh, 2000", {I::sand, I::clay}, {I::sand, I::clay}, "(% v/v)", "(% v/v)", vv},
        {"Adhikary et al., 2008", {I::sand, I::silt, I::clay}, {I::sand, I::silt, I::clay}, "(% v/v)", "(% v/v)", vv},
        {"Chakraborty et al., 2011", {I::sand, I::silt, I::clay}, {I::sand, I::silt, I::clay}, "(% w/w)", "(% w/w )", ww},
    }};
    // clang-format on
    for (int i = 0; i < ModelCount; ++i) {
        SCOPED_TRACE(i);
        const PtfModel& model = ModelCatalogue[static_cast<std::size_t>(i)];
        const Row& row = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(model.position, i);
        EXPECT_EQ(model.listText, row.listText);
        EXPECT_EQ(model.enabledInputs, row.enabled);
        EXPECT_EQ(model.readInputs, row.read);
        EXPECT_EQ(model.fcUnit, row.fcUnit);
        EXPECT_EQ(model.pwpUnit, row.pwpUnit);
        EXPECT_EQ(model.gravimetric, row.gravimetric);
        EXPECT_EQ(modelAt(i), &model);
    }
    for (int outside : {-1, 7, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(modelAt(outside), nullptr) << outside;
    }
}

// Values worked out by hand in exact decimals for sand 40, silt 40, clay 20, OC 5; each
// equation's double, written with 15 digits, must give them exactly.
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
        const PtfModel& model = *modelAt(c.position);
        FixedOperands operands({40.0, 40.0, 20.0, 5.0});
        const Term fc = model.fc(operands);
        const Term pwp = model.pwp(operands);
        EXPECT_EQ(generalText(fc.value()), c.fc);
        EXPECT_EQ(generalText(pwp.value()), c.pwp);
        EXPECT_EQ(
            generalText(availableWater(model, numberFromText(c.fc), numberFromText(c.pwp)).value()),
            c.awc);
    }
}

// The listed read inputs are exactly those the equations convert: any other box may hold
// anything, and each listed one is needed by one of the two equations.
TEST(ModelCatalogue, EquationsReadExactlyTheListedInputs) {
    for (const PtfModel& model : ModelCatalogue) {
        SCOPED_TRACE(model.listText);
        std::array<std::optional<double>, 4> values{};
        for (Input input : allInputs) {
            if (model.readInputs.contains(input)) {
                values[static_cast<std::size_t>(input)] = 30.0;
            }
        }
        FixedOperands onlyRead(values);
        EXPECT_NO_THROW(model.fc(onlyRead));
        EXPECT_NO_THROW(model.pwp(onlyRead));

        for (Input input : allInputs) {
            if (!model.readInputs.contains(input)) {
                continue;
            }
            auto without = values;
            without[static_cast<std::size_t>(input)].reset();
            FixedOperands missing(without);
            bool failed = false;
            for (Equation equation : {model.fc, model.pwp}) {
                try {
                    equation(missing);
                } catch (const Failure& failure) {
                    failed = true;
                    EXPECT_EQ(failure.input(), input);
                }
            }
            EXPECT_TRUE(failed) << name(input) << " is listed but never read";
        }
    }
}

} // namespace
} // namespace talvo::estimation
