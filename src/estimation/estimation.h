#pragma once

// The engine's one door. A soil, or columns of soils, go in with a model and a precision;
// out come the results (as numbers, and as texts on demand), their unit, the flags of the
// soil and the model, the soil's texture class, and why the model could not estimate. Every
// front end (the desktop, tables, maps, arrays, the browser) goes through here, so each shows
// the same digits; the engine picks its quick paths itself. Front ends include this header
// alone: it brings the model catalogue and each model's sheet, number texts, flags, texture
// classes and the water of horizons and profiles with it.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/content_units.h"
#include "estimation/detail/decimal_form.h"
#include "estimation/detail/failure.h"
#include "estimation/detail/float_text.h"
#include "estimation/detail/input_values.h"
#include "estimation/detail/inputs.h"
#include "estimation/detail/model_sheet.h"
#include "estimation/detail/number_text.h"
#include "estimation/detail/particle_size.h"
#include "estimation/detail/plausibility.h"
#include "estimation/detail/printable.h"
#include "estimation/detail/root_zone.h"
#include "estimation/detail/texture.h"

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvo::estimation {

enum class Precision {
    fixed,  // the two-decimal texts the calculator finally shows
    general // the 15-digit texts it works out before rounding
};

// Room for any result's text: a sign, the 309 digits of the largest double, a separator and
// two decimals.
inline constexpr std::size_t ResultTextCapacity = 1 + 309 + 1 + 2;

// One soil's estimate with one model.
class SoilEstimate {
public:
    // Why the model could not estimate, as the calculator names it; nothing when it could.
    const std::optional<FailureReason>& failure() const noexcept { return m_failure; }
    // The soil's flag (its sum) and the model's (the inputs it reads, its results), also with
    // a failure.
    Flags flags() const noexcept { return m_flags; }
    // The soil's class on the triangle of its scale, from sand, silt and clay as given,
    // whatever the model reads; nothing where one is no number or lies off the triangle.
    std::optional<TextureClass> texture() const noexcept;
    // The scale sand, silt and clay were given on.
    ParticleSizeScale scale() const noexcept { return m_scale; }
    // "% w/w" or "% v/v", of FC and PWP.
    std::string_view unit() const noexcept { return m_model->unit; }

    // Writes a result's text in the estimate's precision at `out`, which holds
    // ResultTextCapacity chars, and returns the end. Precondition: no failure.
    char* writeText(char* out, Result result, char separator) const noexcept {
        assert(!m_failure);
        // Inline: a table writes three texts for every row and model.
        return m_quick
                   ? writeHundredths(out,
                                     m_results.quick.hundredths[static_cast<std::size_t>(result)],
                                     separator)
                   : writeText(out, result, separator, m_precision);
    }
    std::string text(Result result, char separator = '.') const;

    // The results worked out, in order: all three, or those before the failure, whose
    // 15-digit texts stand until the estimate is done.
    int computed() const noexcept { return m_computed; }
    // A computed result's text in `precision`. Precondition: result < computed(); fifteen
    // digits only from an estimate asked for in general precision.
    char* writeText(char* out, Result result, char separator, Precision precision) const noexcept;
    std::string text(Result result, char separator, Precision precision) const;

    // The numbers the three texts stand for, for front ends that store numbers: nothing with
    // a failure, or where a text lies beyond the double range (numberFailure() says which).
    std::optional<std::array<double, 3>> numbers() const noexcept;
    std::optional<FailureKind> numberFailure() const noexcept;
    // FC and PWP as the numbers of their 15-digit texts, whatever the precision of the texts:
    // a horizon's water is reckoned from them. Nothing as with numbers() in general precision.
    std::optional<std::array<double, 2>> fifteenDigitLimits() const noexcept;

private:
    friend SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                                     Precision precision) noexcept;
    friend SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                                     Precision precision, ParticleSizeScale scale) noexcept;

    // The results: counts of hundredths (5085 is "50.85") where the quick path answered, the
    // 15-digit forms where it did not. One of the two is written, once: tables make an
    // estimate for every row and model, and clearing both cost more than the quick path saves.
    struct Quick {
        std::array<std::int64_t, 3> hundredths;
        std::array<double, 2> doubles; // FC and PWP before any rounding
    };
    union Results {
        Results() noexcept {} // NOLINT(modernize-use-equals-default): leaves both unwritten
        Quick quick;
        std::array<DecimalForm, 3> forms;
    };

    const PtfModel* m_model = nullptr;
    Precision m_precision = Precision::fixed;
    bool m_quick = false; // m_results holds hundredths, not forms
    // cppcheck-suppress uninitMemberVarPrivate ; written by estimateSoil, as above
    Results m_results;
    int m_computed = 0; // results worked out before a failure
    std::optional<FailureReason> m_failure;
    Flags m_flags;
    std::array<double, 3> m_soil{}; // sand, silt and clay as given, for the texture
    ParticleSizeScale m_scale = ParticleSizeScale::international;
};

// The model's estimate of a soil whose inputs were read (see input_values.h: texts, or
// numbers with NaN for no number and an infinity beyond the double range).
SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                          Precision precision) noexcept;
// The same from the texts as typed; only the inputs the model reads are converted.
SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision);

// A soil whose sand, silt and clay are given on `scale`. On the USDA scale the model gets the
// soil as internationalFromUsda() turns it, and its flags (the sum too) are those of that soil,
// with Flag::psd added; the texture is the class of the soil as given on the USDA triangle.
// Converted sand needs silt: where silt is no number, so is sand, and a failure names silt.
// On the international scale this is the estimate above.
SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs, Precision precision,
                          ParticleSizeScale scale) noexcept;
SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision, ParticleSizeScale scale);

// Columns of soils as numbers, as maps and arrays hold them: NaN for a cell that holds no
// number, an infinity for one beyond the double range. A column of one value stands for
// every soil; an empty one for no number.
struct SoilColumns {
    std::array<std::span<const double>, 4> inputs; // sand, silt, clay, oc
    std::size_t count = 0;
};

// The value a texture column holds for a soil without a class.
inline constexpr std::uint8_t NoTexture = 255;

// Where the results of `count` soils go, each column that long.
struct ResultColumns {
    double* fc = nullptr; // the numbers of the texts; NaN without numbers
    double* pwp = nullptr;
    double* awc = nullptr;
    std::uint16_t* flags = nullptr;  // Flags::bits(), also without numbers
    std::uint8_t* texture = nullptr; // TextureClass, or NoTexture
    std::uint8_t* failure = nullptr; // 0, or 1 + the FailureKind that left no numbers
};

namespace detail {
struct SoilNumbers;
} // namespace detail

// Estimates columns of soils with one model, each soil exactly as estimateSoil (on the same
// scale) and SoilEstimate::numbers() give it. Holds what makes the next call quick (recent
// soils), so each thread keeps one of its own.
class SoilEstimator {
public:
    SoilEstimator(const PtfModel& model, Precision precision,
                  ParticleSizeScale scale = ParticleSizeScale::international);
    SoilEstimator(SoilEstimator&& other) noexcept;
    SoilEstimator& operator=(SoilEstimator&& other) noexcept;
    ~SoilEstimator();

    void estimate(const SoilColumns& soils, const ResultColumns& results);

private:
    struct Recent;
    void estimateFixed(const SoilColumns& soils, const ResultColumns& results) const;
    void estimateGeneral(const SoilColumns& soils, const ResultColumns& results);
    detail::SoilNumbers estimateOne(const SoilColumns& soils, std::size_t i) const noexcept;

    const PtfModel* m_model;
    Precision m_precision;
    ParticleSizeScale m_scale;
    std::unique_ptr<Recent> m_recent; // general precision only
};

} // namespace talvo::estimation
