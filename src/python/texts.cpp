#include "python/texts.h"

#include "estimation/estimation.h"

#include <cstddef>

namespace talvo::python {

SoilTexts estimateTexts(const estimation::PtfModel& model, const estimation::InputTexts& texts,
                        estimation::DecimalSeparator separator) {
    using estimation::Precision;
    // In 15 digits, as the window works it out before it rounds to two decimals.
    const estimation::SoilEstimate estimated =
        estimation::estimateSoil(model, texts, separator, Precision::general);
    SoilTexts out;
    for (std::size_t i = 0; i < static_cast<std::size_t>(estimated.computed()); ++i) {
        const auto result = static_cast<estimation::Result>(i);
        out.general.at(i) = estimated.text(result, separator.get(), Precision::general);
        // After a failure the window's captions keep the 15-digit texts written until then.
        out.captions.at(i) = estimated.failure()
                                 ? out.general.at(i)
                                 : estimated.text(result, separator.get(), Precision::fixed);
    }
    // Worded as talvo-batch's error column words it, naming the text that caused it.
    if (const auto& failure = estimated.failure()) {
        out.failure = estimation::failureText(
            *failure, failure->input ? texts.at(static_cast<std::size_t>(*failure->input)) : "");
    }
    return out;
}

} // namespace talvo::python
