#pragma once

// The catalogue as the command-line tools show it: --list-models, with --long the sheets. The
// models --model names are read by table/options.h, which the web page shares.

#include "estimation/estimation.h"

#include <string>

namespace talvo::cli {

// The catalogue as a table for people: position, name, inputs read, unit captions.
std::string modelListing();

// Each model's sheet: where it comes from, the inputs it reads and their units, what its
// results mean, and its caveats; lines of at most 79 characters.
std::string modelSheets();

} // namespace talvo::cli
