#include "estimation/actions.h"

#include "estimation/catalogue.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"
#include "estimation/selection.h"

#include <array>
#include <string>

namespace talvo::estimation {

namespace {

constexpr std::array results{Result::fc, Result::pwp, Result::awc};

} // namespace

void EstimateAction(FormFields& fields, DecimalSeparator separator) {
    const std::string sand = fields.inputText(Input::sand);
    const std::string silt = fields.inputText(Input::silt);
    const std::string clay = fields.inputText(Input::clay);

    if (const PtfModel* model = modelAt(fields.modelIndex())) {
        const std::string oc =
            model->readInputs.contains(Input::oc) ? fields.inputText(Input::oc) : std::string();
        const Estimate estimated = estimate(*model, {sand, silt, clay, oc}, separator);
        std::array<char, GeneralTextCapacity> text{};
        for (int i = 0; i < estimated.computed; ++i) {
            const Result result = results.at(static_cast<std::size_t>(i));
            const char* const end = writeGeneral(text.data(), estimated[result], separator.get());
            fields.setCaption(result, std::string_view(text.data(), end));
        }
        if (estimated.failure) {
            throw Failure(estimated.failure->kind, estimated.failure->input);
        }
    }

    for (const Result result : results) {
        fields.setCaption(result, fixedText(fields.caption(result), separator));
    }
}

void ModelSelection(FormFields& fields) {
    const PtfModel* model = modelAt(fields.modelIndex());
    if (model == nullptr) {
        return;
    }
    const Selection chosen = selection(*model);
    for (const Input input : allInputs) {
        fields.setInputEnabled(input, chosen[input].enabled);
        fields.setInputBackground(input, chosen[input].background);
    }
    fields.setUnitCaption(Unit::fc, chosen.fcUnit);
    fields.setUnitCaption(Unit::pwp, chosen.pwpUnit);
}

} // namespace talvo::estimation
