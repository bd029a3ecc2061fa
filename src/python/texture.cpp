#include "python/texture.h"

#include "estimation/estimation.h"

namespace talvo::python {

std::vector<std::string_view> textureClassNames() {
    std::vector<std::string_view> names;
    names.reserve(estimation::allTextureClasses.size());
    for (const estimation::TextureClass texture : estimation::allTextureClasses) {
        names.push_back(estimation::name(texture));
    }
    return names;
}

} // namespace talvo::python
