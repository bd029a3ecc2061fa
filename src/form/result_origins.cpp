#include "form/result_origins.h"

#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/particle_sizes.h"

#include <cstddef>
#include <string_view>

namespace talvo::form {

namespace {

using estimation::Flag;
using estimation::Input;

// Short enough that the line fits under the results with two flags.
std::string_view shortWords(Flag flag) {
    switch (flag) {
    case Flag::sum:
        return "sand + silt + clay \u2260 100";
    case Flag::range:
        return "content outside 0\u2013100 %";
    case Flag::oc:
        return "OC outside 0\u2013200 g/kg";
    case Flag::pwpNotBelowFc:
        return "PWP \u2265 FC";
    case Flag::result:
        return "FC or PWP implausible";
    case Flag::psd:
        return "converted from USDA sizes";
    case Flag::bd:
        return "bulk density assumed 1.49";
    case Flag::porosity:
        return "FC above porosity";
    case Flag::domain:
        return "outside the model's calibration";
    case Flag::measured:
        return "measured water used";
    }
    return estimation::code(flag);
}

template <typename Words>
std::string joined(estimation::Flags flags, std::string_view separator, Words words) {
    std::string text;
    for (const Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            text += text.empty() ? "" : separator;
            text += words(flag);
        }
    }
    return text;
}

} // namespace

ScreenSoil screenSoil(const FormFields& fields) {
    return {fields.modelIndex(),
            {fields.inputText(Input::sand), fields.inputText(Input::silt),
             fields.inputText(Input::clay), fields.inputText(Input::oc)},
            fields.particleSizeScale()};
}

void ResultOrigins::estimate(FormFields& fields, estimation::DecimalSeparator separator) {
    const ScreenSoil soil = screenSoil(fields);
    const Press press = pressEstimate(fields, separator);
    for (std::size_t i = 0; i < static_cast<std::size_t>(press.computed); ++i) {
        m_results.at(i) = soil;
    }
    // Without a model the press only rounds what the captions hold.
    if (estimation::modelAt(soil.modelIndex) != nullptr) {
        m_flags = press.flags;
        m_flagsSoil = soil;
    }
    throwFailure(press);
}

Staleness ResultOrigins::stale(const ScreenSoil& onScreen) const {
    Staleness stale;
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        stale.results.at(i) = m_results.at(i) && *m_results.at(i) != onScreen;
    }
    stale.flags = m_flagsSoil && *m_flagsSoil != onScreen;
    return stale;
}

std::string flagLine(estimation::Flags flags, estimation::ParticleSizeScale scale) {
    const std::string_view note = particleSizeChoice(scale).formNote;
    if (!note.empty()) {
        flags.remove(Flag::psd);
    }
    const std::string words = joined(flags, ", ", shortWords);
    std::string line(note);
    if (!words.empty()) {
        line += line.empty() ? "Check: " : ". Check: ";
        line += words;
    }
    return line;
}

std::string flagSentences(estimation::Flags flags) {
    return joined(flags, "\n", estimation::sentence);
}

} // namespace talvo::form
