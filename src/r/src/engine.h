#pragma once

// What the package's entry points share: the model an argument names, and texts as R holds
// them.

#include "estimation/estimation.h"

#include <Rcpp.h>
#include <string>

namespace talvo::r {

// The model at a position or named as --model names it; an error with the tools' words.
const estimation::PtfModel& modelOf(SEXP model);

// The option given as one text, an error naming `name` otherwise.
std::string optionText(SEXP value, const char* name);

// A point or a comma, as --decimal takes it; an error with its words otherwise.
estimation::DecimalSeparator decimalOf(const std::string& text);

// A string element in UTF-8; "" for NA.
std::string utf8(SEXP text);

} // namespace talvo::r
