#include "map/texture.h"

#include "estimation/texture.h"

namespace talvo::map {

int textureClassCount() {
    return estimation::TextureClassCount;
}

std::string_view textureName(std::uint8_t number) {
    return estimation::name(static_cast<estimation::TextureClass>(number));
}

} // namespace talvo::map
