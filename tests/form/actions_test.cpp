#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/memory_fields.h"
#include "form/soil_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace talvo::form {
namespace {

using estimation::DecimalSeparator;
using estimation::Failure;
using estimation::FailureKind;
using estimation::Input;
using estimation::Result;

using Captions = std::array<std::string, 3>; // fc, pwp, awc

Captions captionsOf(const MemoryFields& fields) {
    return {fields.caption(Result::fc), fields.caption(Result::pwp), fields.caption(Result::awc)};
}

void setCaptions(MemoryFields& fields, const Captions& captions) {
    for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
        fields.setCaption(result, captions.at(static_cast<std::size_t>(result)));
    }
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
        setCaptions(fields, before);
        try {
            throwFailure(pressEstimate(fields));
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.kind(), c.kind);
            EXPECT_EQ(failure.input(), c.input);
        }
        EXPECT_EQ(captionsOf(fields), c.after);
    }
}

// A press that succeeds leaves two decimals in all three captions; without a model it only
// rounds what they already hold, and a caption that is no number stays as it is.
TEST(EstimateAction, SuccessLeavesTwoDecimals) {
    struct Case {
        const char* what;
        int model;
        const char *sand, *silt, *clay, *oc;
        char separator;
        Captions after;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"Rawls et al., 1982", 2, "40", " ", "20", "5", '.', {"50.85", "26.28", "36.86"}},
        {"decimal comma", 2, "40,0", " ", "2e1", "5", ',', {"50,85", "26,28", "36,86"}},
        // FC 23.38382, PWP 7.68507, AWC 0.1569875 x 1.49 x 150 = 35.08670625
        {"boxes the model does not read are not converted", 0, "40", "silt?", "20", "oc?", '.',
         {"23.38", "7.69", "35.09"}},
        {"no model: the captions rounded", -1, "40", " ", "20", "5", '.', {"39.92", "-0.50", "n/a"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFields fields(c.model, c.sand, c.silt, c.clay, c.oc);
        setCaptions(fields, {"39.915", "-0.499", "n/a"});
        throwFailure(pressEstimate(fields, DecimalSeparator(c.separator)));
        EXPECT_EQ(captionsOf(fields), c.after);
    }
}

// On the USDA scale the form estimates the soil converted, as Soil details does: Rawls reads
// sand 40 + 40 x (1 - 0.7153382790366965) = 51.38646883853214, so FC = 58.8534 - 0.2 x that
// = 48.5761062322936, PWP 26.2828 (no sand), AWC 22.2933062322936 x 1.5 = 33.4399593484404.
// Tomasella and Hodnett reads silt 28.6135311614679: FC 24.32 as in Soil details.
TEST(EstimateAction, ReadsTheFormsParticleSizeScale) {
    using estimation::ParticleSizeScale;
    struct Case {
        const char* what;
        int model;
        ParticleSizeScale scale;
        Captions after;
        bool converted;
    };
    const std::vector<Case> cases{
        {"Rawls, international: the window's worked example",
         2,
         ParticleSizeScale::international,
         {"50.85", "26.28", "36.86"},
         false},
        {"Rawls, USDA", 2, ParticleSizeScale::usda, {"48.58", "26.28", "33.44"}, true},
        {"Tomasella and Hodnett, USDA", 3, ParticleSizeScale::usda, {"24.32", "", ""}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFields fields(c.model, "40", "40", "20", "5");
        fields.setParticleSizeScale(c.scale);
        const Press press = pressEstimate(fields);
        EXPECT_FALSE(press.failure);
        EXPECT_EQ(press.flags.contains(estimation::Flag::psd), c.converted);
        const Captions shown = captionsOf(fields);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!c.after.at(i).empty()) {
                EXPECT_EQ(shown.at(i), c.after.at(i));
            }
        }
    }
}

// The form and Soil details show one number for one soil on one scale, for every model, also
// where an estimate fails part way.
TEST(EstimateAction, AgreesWithSoilDetails) {
    using estimation::ParticleSizeScale;
    const std::vector<estimation::InputTexts> soils{
        {"40", "40", "20", "5"}, {"10", "70", "20", "0"}, {"65,5", "20", "14,5", "12"}};
    for (const ParticleSizeScale scale : estimation::allParticleSizeScales) {
        for (const estimation::InputTexts& soil : soils) {
            const DecimalSeparator separator(soil[0].find(',') == std::string_view::npos ? '.'
                                                                                         : ',');
            const SoilTable table = soilTable(soil, separator, scale);
            for (int model = 0; model < estimation::ModelCount; ++model) {
                SCOPED_TRACE(std::string(soil[0]) + " " + std::to_string(model) + " " +
                             std::string(estimation::name(scale)));
                MemoryFields fields(model, std::string(soil[0]), std::string(soil[1]),
                                    std::string(soil[2]), std::string(soil[3]));
                fields.setParticleSizeScale(scale);
                pressEstimate(fields, separator);
                const SoilRow& row = table.at(static_cast<std::size_t>(model));
                EXPECT_EQ(captionsOf(fields),
                          (Captions{row[static_cast<std::size_t>(SoilColumn::fc)],
                                    row[static_cast<std::size_t>(SoilColumn::pwp)],
                                    row[static_cast<std::size_t>(SoilColumn::awc)]}));
            }
        }
    }
}

} // namespace
} // namespace talvo::form
