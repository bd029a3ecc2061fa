#pragma once

#include "estimation/fields.h"
#include "estimation/number_text.h"

namespace talvo::estimation {

// One press of Estimate. Evaluates the chosen model on the input texts, writes FC and then
// PWP as 15-digit texts, derives AWC from those two captions as written, and rewrites all
// three captions with two decimals. With no model chosen only the rewriting runs.
//
// Throws Failure at the first failure: captions written up to then keep their 15-digit
// texts, the others keep what they had, and no caption is rewritten with two decimals.
void EstimateAction(FormFields& fields, DecimalSeparator separator = {});

} // namespace talvo::estimation
