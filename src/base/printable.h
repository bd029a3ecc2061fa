#pragma once

// Input echoed in a message, by the engine's rule: the error cells it writes and the
// messages about the table escape alike.

#include "estimation/estimation.h"

namespace talvo::base {

using estimation::printable;

} // namespace talvo::base
