#pragma once

#include "estimation/fields.h"

namespace talvo::window {

// What choosing a model in the chooser does: enables exactly the boxes the chosen model
// uses, greys the others and sets the two unit captions. Typed texts and results stay as
// they are. Does nothing while no model is chosen. Works through FormFields alone, so it
// runs without a window.
void ModelSelection(estimation::FormFields& fields);

} // namespace talvo::window
