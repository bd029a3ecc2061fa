#include "python/texture.h"

namespace talvo::python {

// texture: estimation::textureClass(sand, silt, clay), as its number, once the engine has it.
std::int8_t textureCode(double /*sand*/, double /*silt*/, double /*clay*/) noexcept {
    return -1;
}

// texture: estimation::name(c) for each c in estimation::allTextureClasses.
std::vector<std::string_view> textureClassNames() {
    return {};
}

} // namespace talvo::python
