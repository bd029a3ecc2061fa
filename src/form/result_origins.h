#pragma once

// Whether what the form shows still describes the soil on screen. The form keeps a result's
// caption when the model changes, when a box changes, and when an estimate fails before it
// reaches that caption; such a caption was worked out for another soil. Front ends show it as
// stale and leave it out of what they copy, so that no old result passes for the soil shown.

#include "estimation/estimation.h"
#include "form/fields.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::form {

// What a stale caption says of itself, to the pointer and to a screen reader.
inline constexpr std::string_view StaleNote =
    "From the previous estimate: press Estimate for the soil and model shown.";

// The soil on screen as an estimate reads it: the chosen model, the four box texts and the
// scale of sand, silt and clay.
struct ScreenSoil {
    int modelIndex = -1;
    std::array<std::string, 4> texts; // sand, silt, clay, oc
    estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international;

    friend bool operator==(const ScreenSoil&, const ScreenSoil&) = default;
};

ScreenSoil screenSoil(const FormFields& fields);

// What is stale on the form: each result caption (fc, pwp, awc) and the flag line.
struct Staleness {
    std::array<bool, 3> results{};
    bool flags = false;

    bool operator[](estimation::Result result) const noexcept {
        return results[static_cast<std::size_t>(result)];
    }
    friend bool operator==(const Staleness&, const Staleness&) = default;
};

// The soil that each caption and the flag line were worked out for.
class ResultOrigins {
public:
    // Presses Estimate over `fields` (pressEstimate) and notes the soil of what the press
    // worked out; then throws the press's failure, if any.
    void estimate(FormFields& fields, estimation::DecimalSeparator separator = {});

    // What no longer describes `onScreen`. A caption never written is not stale.
    Staleness stale(const ScreenSoil& onScreen) const;

    // The flags of the last press with a model.
    estimation::Flags flags() const noexcept { return m_flags; }

private:
    std::array<std::optional<ScreenSoil>, 3> m_results; // fc, pwp, awc
    std::optional<ScreenSoil> m_flagsSoil;
    estimation::Flags m_flags;
};

// The flags on one short line, "Check: sand + silt + clay ≠ 100, PWP ≥ FC"; empty without.
// A form whose labels name the international sizes reads the USDA scale only with the line
// saying so first, whatever the flags; then psd, which says the same, is left out.
std::string
flagLine(estimation::Flags flags,
         estimation::ParticleSizeScale scale = estimation::ParticleSizeScale::international);

// The flags in full, one sentence a line, the soil's before the model's; empty without.
std::string flagSentences(estimation::Flags flags);

} // namespace talvo::form
