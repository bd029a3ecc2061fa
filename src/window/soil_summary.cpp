#include "window/soil_summary.h"

#include "estimation/estimation.h"

namespace talvo::window {

using estimation::Input;

namespace {

estimation::InputValues contents(const estimation::InputTexts& texts,
                                 estimation::DecimalSeparator separator) {
    return estimation::convertInputs(texts, {Input::sand, Input::silt, Input::clay}, separator);
}

} // namespace

std::optional<estimation::TextureClass> soilTexture(const estimation::InputTexts& texts,
                                                    estimation::DecimalSeparator separator) {
    const estimation::InputValues inputs = contents(texts, separator);
    // A failed input is NaN, which no class accepts.
    return estimation::textureClass(at(inputs, Input::sand).number, at(inputs, Input::silt).number,
                                    at(inputs, Input::clay).number);
}

std::string textureLine(const estimation::InputTexts& texts,
                        estimation::DecimalSeparator separator) {
    const auto texture = soilTexture(texts, separator);
    return "Texture class: " + std::string(texture ? estimation::name(*texture) : "none");
}

std::vector<std::string> soilWarnings(const estimation::InputTexts& texts,
                                      estimation::DecimalSeparator separator) {
    const estimation::Flags flags = estimation::soilFlags(contents(texts, separator));
    std::vector<std::string> sentences;
    for (const estimation::Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            sentences.emplace_back(estimation::sentence(flag));
        }
    }
    return sentences;
}

} // namespace talvo::window
