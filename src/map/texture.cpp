#include "map/texture.h"

#include "estimation/estimation.h"

namespace talvo::map {

// The international triangle's classes are the numbers 0 to 11.
int textureClassCount() {
    return static_cast<int>(
        estimation::textureClasses(estimation::ParticleSizeScale::international).size());
}

std::string_view textureName(std::uint8_t number) {
    return estimation::name(static_cast<estimation::TextureClass>(number));
}

} // namespace talvo::map
