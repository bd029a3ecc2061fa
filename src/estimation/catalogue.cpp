#include "estimation/detail/catalogue.h"

namespace talvo::estimation {

// Each equation is written with the grouping and operand order of the published model, once,
// for doubles, lanes and checked terms alike. Operands are bound in the order the equation first
// uses them, so a bad text is reported where the model first needs it. The organic-carbon products
// are formed before the rest of their equation.
const std::array<PtfModel, ModelCount> ModelCatalogue{{
    {
        .position = 0,
        .listText = "TALVO PTF model (PSD)",
        .readInputs = {Input::sand, Input::clay},
        .fcUnit = "(% w/w)",
        .pwpUnit = "(% w/w)",
        .unit = "% w/w",
        .fc =
            [](auto& x) {
                const auto S = x.S(), C = x.C();
                return (29.79202 - 0.26349 * S) + 0.20657 * C;
            },
        .pwp =
            [](auto& x) {
                const auto S = x.S(), C = x.C();
                return ((5.04007 - 0.03849 * S) + 0.23203 * C) - (0.00057 * S) * C;
            },
        .gravimetric = true,
    },
    {
        .position = 1,
        .listText = "TALVO PTF model (PSD + OC)",
        .readInputs = {Input::sand, Input::clay, Input::oc},
        .fcUnit = "(% w/w)",
        .pwpUnit = "(% w/w)",
        .unit = "% w/w",
        .fc =
            [](auto& x) {
                const auto organic = x.OC() * 0.01098;
                const auto S = x.S(), C = x.C();
                return ((29.76823 - 0.26336 * S) + 0.20597 * C) + organic;
            },
        .pwp =
            [](auto& x) {
                const auto C = x.C(), S = x.S();
                const auto mineral = (1.6332 + 0.29793 * C) - (0.00119 * S) * C;
                // OC is converted only after the interaction term, which may already overflow.
                const auto OC = x.OC();
                return (mineral + (0.00094 * S) * OC) + (0.00396 * C) / OC;
            },
        .gravimetric = true,
    },
    {
        .position = 2,
        .listText = "Rawls et al., 1982",
        .readInputs = {Input::sand, Input::clay, Input::oc},
        .fcUnit = "(% v/v)",
        .pwpUnit = "(% v/v)",
        .unit = "% v/v",
        .fc =
            [](auto& x) {
                const auto organic = x.OC() * 5.17868;
                const auto S = x.S(), C = x.C();
                return ((25.76 - 0.2 * S) + 0.36 * C) + organic;
            },
        .pwp =
            [](auto& x) {
                const auto organic = x.OC() * 2.73656;
                const auto C = x.C();
                return (2.6 + 0.5 * C) + organic;
            },
        .gravimetric = false,
    },
    {
        .position = 3,
        .listText = "Tomasella and Hodnett, 1998",
        .readInputs = {Input::silt, Input::clay},
        .fcUnit = "(% v/v)",
        .pwpUnit = "(% v/v)",
        .unit = "% v/v",
        .fc =
            [](auto& x) {
                const auto Si = x.Si(), C = x.C();
                return (4.046 + 0.426 * Si) + 0.404 * C;
            },
        .pwp =
            [](auto& x) {
                const auto Si = x.Si(), C = x.C();
                return (0.91 + 0.15 * Si) + 0.396 * C;
            },
        .gravimetric = false,
    },
    {
        .position = 4,
        .listText = "Singh, 2000",
        .readInputs = {Input::sand, Input::clay},
        .fcUnit = "(% v/v)",
        .pwpUnit = "(% v/v)",
        .unit = "% v/v",
        .fc = [](auto& x) { return 57.58 - 0.5 * x.S(); },
        .pwp = [](auto& x) { return 2.37 + 0.43 * x.C(); },
        .gravimetric = false,
    },
    {
        .position = 5,
        .listText = "Adhikary et al., 2008",
        .readInputs = {Input::sand, Input::silt, Input::clay},
        .fcUnit = "(% v/v)",
        .pwpUnit = "(% v/v)",
        .unit = "% v/v",
        .fc =
            [](auto& x) {
                const auto S = x.S(), Si = x.Si();
                return (56.37 - 0.51 * S) - 0.27 * Si;
            },
        .pwp = [](auto& x) { return 0.71 + 0.44 * x.C(); },
        .gravimetric = false,
    },
    {
        .position = 6,
        .listText = "Chakraborty et al., 2011",
        .readInputs = {Input::sand, Input::silt, Input::clay},
        .fcUnit = "(% w/w)",
        .pwpUnit = "(% w/w )",
        .unit = "% w/w",
        .fc =
            [](auto& x) {
                const auto C = x.C(), Si = x.Si(), S = x.S();
                return ((27.447 + 0.078 * C) + 0.248 * Si) - 0.241 * S;
            },
        .pwp =
            [](auto& x) {
                const auto C = x.C(), Si = x.Si(), S = x.S();
                return ((20.695 + 0.021 * C) - 0.028 * Si) - 0.179 * S;
            },
        .gravimetric = true,
    },
}};

const PtfModel* modelAt(int modelIndex) noexcept {
    if (modelIndex < 0 || modelIndex >= ModelCount) {
        return nullptr;
    }
    return &ModelCatalogue[static_cast<std::size_t>(modelIndex)];
}

namespace detail {

Term CheckedOperands::read(Input input) const noexcept {
    const InputValue& value = at(m_inputs, input);
    const Term term(value.number, input, m_record);
    if (value.failure) {
        term.fail({*value.failure, input});
    }
    return term;
}

} // namespace detail

} // namespace talvo::estimation
