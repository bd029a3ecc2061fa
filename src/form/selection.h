#pragma once

#include "estimation/estimation.h"
#include "form/fields.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace talvo::form {

// What choosing a model does to an input box.
struct InputBoxState {
    bool enabled = false;
    SystemColour background = SystemColour::inactiveBorder;
};

// The form's state for a chosen model: each box, in the order sand, silt, clay, oc, and
// the two unit captions.
struct Selection {
    std::array<InputBoxState, 4> boxes{};
    std::string_view fcUnit;
    std::string_view pwpUnit;

    const InputBoxState& operator[](estimation::Input input) const noexcept {
        return boxes[static_cast<std::size_t>(input)];
    }
};

// On the USDA scale, a model that reads sand also opens silt: sand is converted with it.
Selection selection(
    const estimation::PtfModel& model,
    estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international) noexcept;

} // namespace talvo::form
