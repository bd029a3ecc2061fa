#pragma once

#include "base/error.h"

namespace talvo::cli {

// A usage or input error that ends a tool's run with one line and status 2. One type for
// every tool, so that each reports it the same way.
using Error = base::Error;

} // namespace talvo::cli
