#pragma once

// The decimal scales of the inputs, shared with the tables' --scale.

#include "table/scale.h"

namespace talvo::map {

using table::DecimalScale;
using table::fractionScales;
using table::parseScale;
using table::parseScaleList;
using table::scaleFromDouble;
using table::ScaleSet;
using table::soilGridsScales;

} // namespace talvo::map
