#include "map/texture.h"

#include "estimation/texture.h"

namespace talvo::map {

std::optional<std::uint8_t> textureNumber(const estimation::InputValues& inputs) {
    using estimation::Input;
    const auto number = [&inputs](Input input) { return estimation::at(inputs, input).number; };
    if (const auto texture = estimation::textureClass(number(Input::sand), number(Input::silt),
                                                      number(Input::clay))) {
        return static_cast<std::uint8_t>(*texture);
    }
    return std::nullopt;
}

int textureClassCount() {
    return estimation::TextureClassCount;
}

std::string_view textureName(std::uint8_t number) {
    return estimation::name(static_cast<estimation::TextureClass>(number));
}

} // namespace talvo::map
