#include "estimation/estimation.h"

#include "estimation/detail/decimal_form.h"
#include "estimation/detail/estimate.h"
#include "estimation/detail/fixed_estimate.h"
#include "estimation/detail/lanes.h"
#include "estimation/detail/plausibility.h"
#include "estimation/detail/result_values.h"

#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>

namespace talvo::estimation {

namespace detail {

// One soil's results as the columns hold them.
struct SoilNumbers {
    std::array<double, 3> values{std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::quiet_NaN()};
    std::uint16_t flags = 0;
    std::uint8_t texture = NoTexture;
    std::uint8_t failure = 0;
};

} // namespace detail

namespace {

using detail::Estimate;
using detail::FixedEstimate;
using detail::InputLanes;
using detail::LaneCount;
using detail::Lanes;
using detail::ResultLanes;
using detail::SoilNumbers;

std::uint8_t textureNumber(std::optional<TextureClass> texture) noexcept {
    return texture ? static_cast<std::uint8_t>(*texture) : NoTexture;
}

SoilNumbers soilNumbers(const SoilEstimate& estimate) noexcept {
    SoilNumbers out;
    out.flags = estimate.flags().bits();
    out.texture = textureNumber(estimate.texture());
    if (const std::optional<std::array<double, 3>> numbers = estimate.numbers()) {
        out.values = *numbers;
    } else {
        out.failure = static_cast<std::uint8_t>(
            1 + static_cast<int>(estimate.numberFailure().value_or(FailureKind::overflow)));
    }
    return out;
}

void store(const ResultColumns& results, std::size_t i, const SoilNumbers& soil) noexcept {
    results.fc[i] = soil.values[0];
    results.pwp[i] = soil.values[1];
    results.awc[i] = soil.values[2];
    results.flags[i] = soil.flags;
    results.texture[i] = soil.texture;
    results.failure[i] = soil.failure;
}

double inputAt(const SoilColumns& soils, std::size_t input, std::size_t i) noexcept {
    const std::span<const double> column = soils.inputs[input];
    if (column.empty()) {
        return NoNumber;
    }
    return column.size() == 1 ? column[0] : column[i];
}

// USDA sand and silt as the models read them. Converted sand needs silt, and takes silt's
// failure where silt has one; a sum beyond the double range is an overflow, as typed.
InputValues internationalInputs(InputValues inputs) noexcept {
    InputValue& sand = inputs[static_cast<std::size_t>(Input::sand)];
    InputValue& silt = inputs[static_cast<std::size_t>(Input::silt)];
    if (silt.failure) {
        if (!sand.failure) {
            sand = silt;
        }
        return inputs;
    }
    const ParticleSizes converted = internationalFromUsda({sand.number, silt.number, 0.0});
    silt.number = converted.silt;
    if (!sand.failure) {
        sand.number = converted.sand;
        if (!std::isfinite(converted.sand)) {
            sand = {NoNumber, FailureKind::overflow};
        }
    }
    return inputs;
}

// Lanes of USDA soils as the models read them, each lane as internationalInputs() gives its
// numbers; lanes with no number the quick form leaves to the exact path.
void internationalLanes(InputLanes& lanes) noexcept {
    Lanes& sand = lanes[static_cast<std::size_t>(Input::sand)];
    Lanes& silt = lanes[static_cast<std::size_t>(Input::silt)];
    for (std::size_t lane = 0; lane < LaneCount; ++lane) {
        const ParticleSizes converted =
            internationalFromUsda({sand.values[lane], silt.values[lane], 0.0});
        sand.values[lane] = converted.sand;
        silt.values[lane] = converted.silt;
    }
}

} // namespace

std::optional<TextureClass> SoilEstimate::texture() const noexcept {
    return textureClass(m_soil[0], m_soil[1], m_soil[2], m_scale);
}

char* SoilEstimate::writeText(char* out, Result result, char separator,
                              Precision precision) const noexcept {
    const auto index = static_cast<std::size_t>(result);
    assert(static_cast<int>(index) < m_computed);
    if (m_quick) {
        assert(precision == Precision::fixed);
        return writeHundredths(out, m_results.quick.hundredths[index], separator);
    }
    return precision == Precision::fixed
               ? detail::writeFixed(out, m_results.forms[index], separator)
               : detail::writeGeneral(out, m_results.forms[index], separator);
}

std::string SoilEstimate::text(Result result, char separator) const {
    return text(result, separator, m_precision);
}

std::string SoilEstimate::text(Result result, char separator, Precision precision) const {
    std::array<char, ResultTextCapacity> buffer{};
    char* const end = writeText(buffer.data(), result, separator, precision);
    return std::string(buffer.data(), end);
}

std::optional<std::array<double, 3>> SoilEstimate::numbers() const noexcept {
    if (m_failure) {
        return std::nullopt;
    }
    std::array<double, 3> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (m_quick) {
            values[i] = detail::hundredthsValue(m_results.quick.hundredths[i]);
            continue;
        }
        const std::optional<double> value = detail::readBack(
            m_precision == Precision::fixed ? detail::roundedToHundredths(m_results.forms[i])
                                            : m_results.forms[i]);
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
    }
    return values;
}

std::optional<std::array<double, 2>> SoilEstimate::fifteenDigitLimits() const noexcept {
    if (m_failure) {
        return std::nullopt;
    }
    std::array<double, 2> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<double> value =
            m_quick ? detail::fifteenDigitValue(m_results.quick.doubles[i])
                    : detail::readBack(m_results.forms[i]);
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
    }
    return values;
}

std::optional<FailureKind> SoilEstimate::numberFailure() const noexcept {
    if (m_failure) {
        return m_failure->kind;
    }
    if (!numbers()) {
        return FailureKind::overflow;
    }
    return std::nullopt;
}

SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                          Precision precision) noexcept {
    return estimateSoil(model, inputs, precision, ParticleSizeScale::international);
}

SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision) {
    // Sand, silt and clay describe the soil whatever the model reads (its sum, its texture).
    InputSet converted = flaggedInputs(model);
    converted |= InputSet{Input::sand, Input::silt, Input::clay};
    return estimateSoil(model, convertInputs(texts, converted, separator), precision);
}

// One body for both scales: a table estimates every row and model through here, and a call
// from one overload into the other cost each of them as much as its texture.
SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs, Precision precision,
                          ParticleSizeScale scale) noexcept {
    const bool usda = scale == ParticleSizeScale::usda;
    std::optional<InputValues> converted; // the models read USDA soils on their own scale
    if (usda) {
        converted = internationalInputs(inputs);
    }
    const InputValues& read = usda ? *converted : inputs; // what the model reads
    SoilEstimate out;
    out.m_model = &model;
    out.m_precision = precision;
    out.m_scale = scale;
    out.m_soil = {at(inputs, Input::sand).number, at(inputs, Input::silt).number,
                  at(inputs, Input::clay).number};
    out.m_flags = soilFlags(read);
    if (usda) {
        out.m_flags.add(Flag::psd);
    }
    if (precision == Precision::fixed) {
        // Initialised by the call itself: a copy read back in wider pieces than it was
        // written in stalls on a failed store forward.
        if (const std::optional<FixedEstimate> quick = detail::fixedEstimate(model, read)) {
            out.m_quick = true;
            out.m_computed = 3;
            out.m_results.quick = {quick->hundredths, quick->doubles};
            out.m_flags |= detail::inputFlags(model, read);
            out.m_flags |= quick->resultFlags;
            return out;
        }
    }
    const Estimate estimated = detail::estimate(model, read);
    out.m_flags |= detail::modelFlags(model, read, estimated);
    out.m_results.forms = estimated.results;
    out.m_computed = estimated.computed;
    out.m_failure = estimated.failure;
    // Sand that failed only through silt: the text to mend is silt's.
    if (usda && out.m_failure && out.m_failure->input == Input::sand &&
        !at(inputs, Input::sand).failure && at(inputs, Input::silt).failure) {
        out.m_failure->input = Input::silt;
    }
    return out;
}

SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision,
                          ParticleSizeScale scale) {
    InputSet converted = flaggedInputs(model);
    converted |= InputSet{Input::sand, Input::silt, Input::clay};
    return estimateSoil(model, convertInputs(texts, converted, separator), precision, scale);
}

detail::SoilNumbers SoilEstimator::estimateOne(const SoilColumns& soils,
                                               std::size_t i) const noexcept {
    return soilNumbers(estimateSoil(*m_model,
                                    inputNumbers(inputAt(soils, 0, i), inputAt(soils, 1, i),
                                                 inputAt(soils, 2, i), inputAt(soils, 3, i)),
                                    m_precision, m_scale));
}

// In fixed precision LaneCount soils at once, half again as quick as one by one; a lane the
// quick form cannot answer takes the exact path alone.
void SoilEstimator::estimate(const SoilColumns& soils, const ResultColumns& results) const {
    std::size_t i = 0;
    for (; m_precision == Precision::fixed && i + LaneCount <= soils.count; i += LaneCount) {
        InputLanes lanes;
        for (std::size_t input = 0; input < lanes.size(); ++input) {
            const std::span<const double> column = soils.inputs[input];
            if (column.size() <= 1) {
                lanes[input] = Lanes(column.empty() ? NoNumber : column[0]);
            } else {
                std::memcpy(lanes[input].values.data(), column.data() + i, sizeof(Lanes));
            }
        }
        const InputLanes given = lanes;
        Flags scaleFlags;
        if (m_scale == ParticleSizeScale::usda) {
            internationalLanes(lanes);
            scaleFlags.add(Flag::psd);
        }
        const ResultLanes quick = detail::twoDecimalLanes(*m_model, lanes);
        // memcpy: std::copy_n became a call to memmove for each lane.
        std::memcpy(results.fc + i, quick.values[0].values.data(), sizeof(Lanes));
        std::memcpy(results.pwp + i, quick.values[1].values.data(), sizeof(Lanes));
        std::memcpy(results.awc + i, quick.values[2].values.data(), sizeof(Lanes));
        for (std::size_t lane = 0; lane < LaneCount; ++lane) {
            if (!quick.answered[lane]) {
                store(results, i + lane, estimateOne(soils, i + lane));
                continue;
            }
            const auto number = [&](std::size_t input) { return given[input].values[lane]; };
            results.flags[i + lane] = (Flags(quick.flags[lane]) |= scaleFlags).bits();
            results.texture[i + lane] =
                textureNumber(textureClass(number(0), number(1), number(2), m_scale));
            results.failure[i + lane] = 0;
        }
    }
    for (; i < soils.count; ++i) {
        store(results, i, estimateOne(soils, i));
    }
}

} // namespace talvo::estimation
