#pragma once

#include "estimation/catalogue.h"
#include "estimation/fields.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace talvo::estimation {

// What choosing a model does to an input box.
struct InputBoxState {
    bool enabled = false;
    SystemColour background = SystemColour::inactiveBorder;
};

// The window's state for a chosen model: each box, in the order sand, silt, clay, oc, and
// the two unit captions.
struct Selection {
    std::array<InputBoxState, 4> boxes{};
    std::string_view fcUnit;
    std::string_view pwpUnit;

    const InputBoxState& operator[](Input input) const noexcept {
        return boxes[static_cast<std::size_t>(input)];
    }
};

Selection selection(const PtfModel& model) noexcept;

} // namespace talvo::estimation
