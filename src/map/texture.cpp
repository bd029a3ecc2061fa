#include "map/texture.h"

namespace talvo::map {

// texture: estimation::textureClass(sand, silt, clay) once estimation/texture.h is merged.
std::optional<std::uint8_t> textureNumber(const estimation::InputValues& /*inputs*/) {
    return std::nullopt;
}

// texture: estimation::TextureClassCount.
int textureClassCount() {
    return 0;
}

// texture: estimation::name(static_cast<estimation::TextureClass>(number)).
std::string_view textureName(std::uint8_t /*number*/) {
    return {};
}

} // namespace talvo::map
