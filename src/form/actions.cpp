#include "form/actions.h"

#include "estimation/estimation.h"
#include "form/selection.h"

#include <array>
#include <string>

namespace talvo::form {

namespace {

using estimation::Input;
using estimation::Result;

constexpr std::array results{Result::fc, Result::pwp, Result::awc};

} // namespace

Press pressEstimate(FormFields& fields, estimation::DecimalSeparator separator) {
    const std::string sand = fields.inputText(Input::sand);
    const std::string silt = fields.inputText(Input::silt);
    const std::string clay = fields.inputText(Input::clay);

    Press press;
    if (const estimation::PtfModel* model = estimation::modelAt(fields.modelIndex())) {
        // A box the model keeps closed counts for nothing, its calibration range of OC too.
        const std::string oc =
            model->readInputs.contains(Input::oc) ? fields.inputText(Input::oc) : std::string();
        // FC, then PWP, then AWC in 15 digits; a failure stops the captions where it occurs.
        // On the USDA scale converted as the soil's details convert it, so both show one number.
        const estimation::SoilEstimate estimated =
            estimation::estimateSoil(*model, {sand, silt, clay, oc}, separator,
                                     estimation::Precision::general, fields.particleSizeScale());
        for (int i = 0; i < estimated.computed(); ++i) {
            const Result result = results.at(static_cast<std::size_t>(i));
            fields.setCaption(
                result, estimated.text(result, separator.get(), estimation::Precision::general));
        }
        press = {estimated.computed(), estimated.failure(), estimated.flags()};
        if (press.failure) {
            return press;
        }
    }

    for (const Result result : results) {
        fields.setCaption(result, estimation::fixedText(fields.caption(result), separator));
    }
    return press;
}

void throwFailure(const Press& press) {
    if (press.failure) {
        throw estimation::Failure(press.failure->kind, press.failure->input);
    }
}

void ModelSelection(FormFields& fields) {
    const estimation::PtfModel* model = estimation::modelAt(fields.modelIndex());
    if (model == nullptr) {
        return;
    }
    const Selection chosen = selection(*model, fields.particleSizeScale());
    for (const Input input : estimation::allInputs) {
        fields.setInputEnabled(input, chosen[input].enabled);
        fields.setInputBackground(input, chosen[input].background);
    }
    fields.setUnitCaption(Unit::fc, chosen.fcUnit);
    fields.setUnitCaption(Unit::pwp, chosen.pwpUnit);
}

} // namespace talvo::form
