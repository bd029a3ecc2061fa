#pragma once

// The form's two actions, over its fields: each one a thin layer over the engine's value
// functions (estimation/estimate.h) and selection() that reads and writes the fields in the
// form's order.

#include "estimation/estimation.h"
#include "form/fields.h"

#include <optional>

namespace talvo::form {

// What one press of Estimate did.
struct Press {
    // Captions worked out for the soil on screen, in the order FC, PWP, AWC: all three after
    // a full estimate, those before the failure otherwise, none without a model.
    int computed = 0;
    std::optional<estimation::FailureReason> failure;
    // The soil's flags and the model's, also with a failure; none without a model.
    estimation::Flags flags;
};

// One press of Estimate. Takes the texts of sand, silt and clay; with a model chosen,
// evaluates it (on the USDA scale, for the soil converted and flagged psd), writes FC and
// then PWP as 15-digit texts and AWC worked out from those two; then rewrites all three
// captions with two decimals, also when no model is chosen.
//
// At the first failure, captions written up to then keep their 15-digit texts, the others
// keep what they had, and no caption is rewritten with two decimals.
Press pressEstimate(FormFields& fields, estimation::DecimalSeparator separator = {});

// Throws a press's failure as estimation::Failure; returns when it had none.
void throwFailure(const Press& press);

// Choosing a model: enables its boxes and greys the others, each with its background, and
// sets both unit captions. Does nothing when no model is chosen. Run again when the form's
// particle-size scale changes (selection() opens silt for converted sand).
void ModelSelection(FormFields& fields);

} // namespace talvo::form
