#include "form/selection.h"

#include "estimation/estimation.h"

#include <cassert>

namespace talvo::form {

namespace {

using estimation::Input;

// The boxes each model opens, by its position in the catalogue: every input its equations
// read, and silt too where the model is stated for sand, silt and clay together (the sum of
// the three is then checked even though no equation reads silt).
constexpr std::array<estimation::InputSet, estimation::ModelCount> EnabledBoxes{{
    {Input::sand, Input::silt, Input::clay},            // TALVO PTF model (PSD)
    {Input::sand, Input::silt, Input::clay, Input::oc}, // TALVO PTF model (PSD + OC)
    {Input::sand, Input::clay, Input::oc},              // Rawls et al., 1982
    {Input::silt, Input::clay},                         // Tomasella and Hodnett, 1998
    {Input::sand, Input::clay},                         // Singh, 2000
    {Input::sand, Input::silt, Input::clay},            // Adhikary et al., 2008
    {Input::sand, Input::silt, Input::clay},            // Chakraborty et al., 2011
}};

} // namespace

Selection selection(const estimation::PtfModel& model,
                    estimation::ParticleSizeScale scale) noexcept {
    assert(model.position >= 0 && model.position < estimation::ModelCount);
    estimation::InputSet enabledBoxes = EnabledBoxes[static_cast<std::size_t>(model.position)];
    if (scale == estimation::ParticleSizeScale::usda && enabledBoxes.contains(Input::sand)) {
        enabledBoxes |= {Input::silt};
    }
    Selection out{.boxes = {}, .fcUnit = model.fcUnit, .pwpUnit = model.pwpUnit};
    for (const Input input : estimation::allInputs) {
        const bool enabled = enabledBoxes.contains(input);
        out.boxes[static_cast<std::size_t>(input)] = {
            enabled, enabled ? SystemColour::highlightText : SystemColour::inactiveBorder};
    }
    return out;
}

} // namespace talvo::form
