#include "form/soil_summary.h"

#include "estimation/estimation.h"

namespace talvo::form {

using estimation::Input;

namespace {

estimation::InputValues contents(const estimation::InputTexts& texts,
                                 estimation::DecimalSeparator separator) {
    return estimation::convertInputs(texts, {Input::sand, Input::silt, Input::clay}, separator);
}

} // namespace

std::optional<estimation::TextureClass> soilTexture(const estimation::InputTexts& texts,
                                                    estimation::DecimalSeparator separator,
                                                    estimation::ParticleSizeScale scale) {
    const estimation::InputValues inputs = contents(texts, separator);
    // A failed input is NaN, which no class accepts.
    return estimation::textureClass(at(inputs, Input::sand).number, at(inputs, Input::silt).number,
                                    at(inputs, Input::clay).number, scale);
}

std::string textureLine(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                        estimation::ParticleSizeScale scale) {
    const auto texture = soilTexture(texts, separator, scale);
    const std::string_view lead =
        scale == estimation::ParticleSizeScale::usda ? "USDA texture class: " : "Texture class: ";
    return std::string(lead) + std::string(texture ? estimation::name(*texture) : "none");
}

std::vector<std::string> soilWarnings(const estimation::InputTexts& texts,
                                      estimation::DecimalSeparator separator,
                                      estimation::ParticleSizeScale scale) {
    estimation::Flags flags = estimation::soilFlags(contents(texts, separator));
    if (scale == estimation::ParticleSizeScale::usda) {
        flags.add(estimation::Flag::psd);
    }
    std::vector<std::string> sentences;
    for (const estimation::Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            sentences.emplace_back(estimation::sentence(flag));
        }
    }
    return sentences;
}

} // namespace talvo::form
