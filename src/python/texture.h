#pragma once

// The texture classes, in the order of the numbers the module gives them.

#include <string_view>
#include <vector>

namespace talvo::python {

// The class names in the order of their numbers.
std::vector<std::string_view> textureClassNames();

} // namespace talvo::python
