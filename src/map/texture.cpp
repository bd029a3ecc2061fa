#include "map/texture.h"

#include "estimation/texture.h"

namespace talvo::map {

std::uint8_t textureNumber(double sand, double silt, double clay) noexcept {
    const auto texture = estimation::textureClass(sand, silt, clay);
    return texture ? static_cast<std::uint8_t>(*texture) : NoTextureClass;
}

int textureClassCount() {
    return estimation::TextureClassCount;
}

std::string_view textureName(std::uint8_t number) {
    return estimation::name(static_cast<estimation::TextureClass>(number));
}

} // namespace talvo::map
