#include "python/texts.h"

#include "estimation/decimal_form.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"

#include <cstddef>

namespace talvo::python {

SoilTexts estimateTexts(const estimation::PtfModel& model, const estimation::InputTexts& texts,
                        estimation::DecimalSeparator separator) {
    const estimation::Estimate estimated = estimation::estimate(model, texts, separator);
    SoilTexts out;
    std::array<char, estimation::GeneralTextCapacity> general{};
    std::array<char, estimation::FixedTextCapacity> fixed{};
    for (std::size_t i = 0; i < static_cast<std::size_t>(estimated.computed); ++i) {
        const char* end =
            estimation::writeGeneral(general.data(), estimated.results.at(i), separator.get());
        out.general.at(i).emplace(static_cast<const char*>(general.data()), end);
        if (estimated.failure) {
            out.captions.at(i) = out.general.at(i);
        } else {
            end = estimation::writeFixed(fixed.data(), estimated.results.at(i), separator.get());
            out.captions.at(i).emplace(static_cast<const char*>(fixed.data()), end);
        }
    }
    if (estimated.failure) {
        out.failure = estimation::failureText(*estimated.failure);
    }
    return out;
}

} // namespace talvo::python
