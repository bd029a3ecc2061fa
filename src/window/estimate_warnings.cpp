#include "window/estimate_warnings.h"

#include "estimation/catalogue.h"
#include "estimation/estimate.h"
#include "estimation/plausibility.h"

namespace talvo::window {

std::string estimateWarnings(int modelIndex, const estimation::InputTexts& texts,
                             estimation::DecimalSeparator separator) {
    const estimation::PtfModel* model = estimation::modelAt(modelIndex);
    if (model == nullptr) {
        return {};
    }
    // Every box is converted: the sum describes the soil whatever the model reads.
    const estimation::InputValues values =
        estimation::convertInputs(texts,
                                  {estimation::Input::sand, estimation::Input::silt,
                                   estimation::Input::clay, estimation::Input::oc},
                                  separator);
    estimation::Flags flags = estimation::soilFlags(values);
    flags |= estimation::modelFlags(*model, values, estimation::estimate(*model, values));
    std::string text;
    for (const estimation::Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            text += text.empty() ? "" : "\n";
            text += estimation::sentence(flag);
        }
    }
    return text;
}

} // namespace talvo::window
