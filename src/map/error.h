#pragma once

#include "cli/error.h"

namespace talvo::map {

// A usage or input error that stops the run before or while the map is written: a bad
// option, a raster that cannot be read or does not fit the others, an output that cannot be
// written. The message names the option and the file.
using cli::Error;

} // namespace talvo::map
