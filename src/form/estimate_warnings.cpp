#include "form/estimate_warnings.h"

#include "estimation/estimation.h"

namespace talvo::form {

std::string estimateWarnings(int modelIndex, const estimation::InputTexts& texts,
                             estimation::DecimalSeparator separator) {
    const estimation::PtfModel* model = estimation::modelAt(modelIndex);
    if (model == nullptr) {
        return {};
    }
    // The soil's flag and the model's: the sum describes the soil whatever the model reads.
    const estimation::Flags flags =
        estimation::estimateSoil(*model, texts, separator, estimation::Precision::general).flags();
    std::string text;
    for (const estimation::Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            text += text.empty() ? "" : "\n";
            text += estimation::sentence(flag);
        }
    }
    return text;
}

} // namespace talvo::form
