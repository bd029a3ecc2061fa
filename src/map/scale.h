#pragma once

// The decimal scales of the inputs, shared with the tables' --scale.

#include "base/scale.h"

namespace talvo::map {

using base::DecimalScale;
using base::fractionScales;
using base::parseScale;
using base::parseScaleList;
using base::scaleFromDouble;
using base::ScaleSet;
using base::soilGridsScales;

} // namespace talvo::map
