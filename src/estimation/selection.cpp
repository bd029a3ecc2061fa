#include "estimation/selection.h"

namespace talvo::estimation {

Selection selection(const PtfModel& model) noexcept {
    Selection out{.boxes = {}, .fcUnit = model.fcUnit, .pwpUnit = model.pwpUnit};
    for (const Input input : allInputs) {
        const bool enabled = model.enabledInputs.contains(input);
        out.boxes[static_cast<std::size_t>(input)] = {
            enabled, enabled ? SystemColour::highlightText : SystemColour::inactiveBorder};
    }
    return out;
}

} // namespace talvo::estimation
