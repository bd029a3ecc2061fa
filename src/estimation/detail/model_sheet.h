#pragma once

// What a user must know before trusting a model's numbers: where the equations come from,
// the units they read their inputs in, what their results mean and where they mislead. Every
// front end shows the same sheet, so the window, the tools' listings and the manuals agree.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/inputs.h"

#include <span>
#include <string_view>

namespace talvo::estimation {

// The unit an input is read in by one model.
struct InputUnit {
    Input input;
    std::string_view unit; // "% (0.02-2 mm)", "g/kg", "% (g/100 g)"
};

struct ModelSheet {
    std::string_view source;           // the published reference, or the calculator's own
    std::span<const InputUnit> inputs; // each input the equations read, in the order Input lists
    std::string_view results;          // what FC and PWP mean: "% w/w: g water per 100 g ..."
    std::string_view availableWater;   // how AWC follows from them
    std::span<const std::string_view> caveats; // one sentence each
};

// The sheet of a catalogue row.
const ModelSheet& modelSheet(const PtfModel& model);

} // namespace talvo::estimation
