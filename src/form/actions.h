#pragma once

// The form's two actions, over its fields: each one a thin layer over the engine's value
// functions (estimation/estimate.h) and selection() that reads and writes the fields in the
// form's order.

#include "estimation/estimation.h"
#include "form/fields.h"

namespace talvo::form {

// One press of Estimate. Takes the texts of sand, silt and clay; with a model chosen,
// evaluates it, writes FC and then PWP as 15-digit texts and AWC worked out from those two;
// then rewrites all three captions with two decimals, also when no model is chosen.
//
// Throws estimation::Failure at the first failure: captions written up to then keep their
// 15-digit texts, the others keep what they had, and no caption is rewritten with two
// decimals.
void EstimateAction(FormFields& fields, estimation::DecimalSeparator separator = {});

// Choosing a model: enables its boxes and greys the others, each with its background, and
// sets both unit captions. Does nothing when no model is chosen.
void ModelSelection(FormFields& fields);

} // namespace talvo::form
