#include "python/texture.h"

#include "estimation/texture.h"

namespace talvo::python {

std::int8_t textureCode(double sand, double silt, double clay) noexcept {
    const auto texture = estimation::textureClass(sand, silt, clay);
    return texture ? static_cast<std::int8_t>(*texture) : std::int8_t{-1};
}

std::vector<std::string_view> textureClassNames() {
    std::vector<std::string_view> names;
    names.reserve(estimation::allTextureClasses.size());
    for (const estimation::TextureClass texture : estimation::allTextureClasses) {
        names.push_back(estimation::name(texture));
    }
    return names;
}

} // namespace talvo::python
