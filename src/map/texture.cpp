#include "map/texture.h"

#include "estimation/estimation.h"

namespace talvo::map {

int textureClassCount() {
    return estimation::TextureClassCount;
}

std::string_view textureName(std::uint8_t number) {
    return estimation::name(static_cast<estimation::TextureClass>(number));
}

} // namespace talvo::map
