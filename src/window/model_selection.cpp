#include "window/model_selection.h"

#include "estimation/catalogue.h"

namespace talvo::window {

using estimation::Input;
using estimation::SystemColour;
using estimation::Unit;

void ModelSelection(estimation::FormFields& fields) {
    const estimation::PtfModel* model = estimation::modelAt(fields.modelIndex());
    if (model == nullptr) {
        return;
    }
    for (const Input input : estimation::allInputs) {
        const bool enabled = model->enabledInputs.contains(input);
        fields.setInputEnabled(input, enabled);
        fields.setInputBackground(input, enabled ? SystemColour::highlightText
                                                 : SystemColour::inactiveBorder);
    }
    fields.setUnitCaption(Unit::fc, model->fcUnit);
    fields.setUnitCaption(Unit::pwp, model->pwpUnit);
}

} // namespace talvo::window
