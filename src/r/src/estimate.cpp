// talvo_estimate's loop: columns of numbers or texts through the engine, in pieces between
// which R may interrupt.

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"

#include <Rcpp.h>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvo::r {

namespace {

// Soils between two looks for an interrupt: a few milliseconds' work.
constexpr std::size_t SoilsPerPiece = 8192;

// One input: numbers, or texts read as a table's cells are; NULL for one not given.
class InputColumn {
public:
    InputColumn(SEXP values, estimation::DecimalSeparator separator, const char* name)
        : m_values(values) {
        if (TYPEOF(values) == NILSXP) {
            return;
        }
        if (TYPEOF(values) == REALSXP) {
            m_numbers =
                std::span<const double>(REAL(values), static_cast<std::size_t>(XLENGTH(values)));
            return;
        }
        if (TYPEOF(values) != STRSXP) {
            Rcpp::stop(std::string(name) + ": give numbers or texts");
        }
        m_read.resize(static_cast<std::size_t>(XLENGTH(values)));
        for (std::size_t i = 0; i < m_read.size(); ++i) {
            m_read[i] = cellValue(i, separator).number;
            if ((i & (SoilsPerPiece - 1)) == 0) {
                Rcpp::checkUserInterrupt();
            }
        }
        m_numbers = m_read;
        m_separator = separator;
    }

    std::span<const double> numbers() const noexcept { return m_numbers; }
    std::size_t size() const noexcept { return m_numbers.size(); }

    // The soil's value as estimateSoil reads it.
    estimation::InputValue value(std::size_t soil) const {
        if (m_numbers.empty()) {
            return {};
        }
        const std::size_t i = m_numbers.size() == 1 ? 0 : soil;
        if (TYPEOF(m_values) == STRSXP) {
            return cellValue(i, m_separator);
        }
        return estimation::inputNumbers(m_numbers[i], 0, 0, 0)[0];
    }

    // The soil's cell as a failure names it: the text as given; none for a number.
    std::string text(std::size_t soil) const {
        if (TYPEOF(m_values) != STRSXP) {
            return {};
        }
        return utf8(STRING_ELT(m_values, static_cast<R_xlen_t>(m_numbers.size() == 1 ? 0 : soil)));
    }

private:
    estimation::InputValue cellValue(std::size_t i, estimation::DecimalSeparator separator) const {
        SEXP cell = STRING_ELT(m_values, static_cast<R_xlen_t>(i));
        // NA is a cell nobody measured, as an empty one.
        return cell == NA_STRING ? estimation::InputValue{}
                                 : estimation::inputValue(Rf_translateCharUTF8(cell), separator);
    }

    SEXP m_values;
    std::span<const double> m_numbers;
    std::vector<double> m_read;
    estimation::DecimalSeparator m_separator;
};

using Inputs = std::array<InputColumn, 4>;

// Why the soil failed, worded as talvo-batch's error column words it.
std::string failureOf(const estimation::PtfModel& model, const Inputs& inputs, std::size_t soil,
                      estimation::Precision precision, estimation::ParticleSizeScale scale) {
    estimation::InputValues values;
    for (std::size_t input = 0; input < inputs.size(); ++input) {
        values[input] = inputs[input].value(soil);
    }
    const estimation::SoilEstimate estimate =
        estimation::estimateSoil(model, values, precision, scale);
    const std::optional<estimation::FailureReason>& failure = estimate.failure();
    if (!failure) {
        return {};
    }
    const std::string text =
        failure->input ? inputs[static_cast<std::size_t>(*failure->input)].text(soil) : "";
    return estimation::failureText(*failure, text);
}

struct Outputs {
    Rcpp::NumericVector fc, pwp, awc;
    Rcpp::CharacterVector flags;
    Rcpp::IntegerVector texture; // the class number from 1, NA for none
    Rcpp::CharacterVector error; // NA where the soil was estimated
};

// Every set of flags as its text, made once: a million soils share a few.
class FlagTexts {
public:
    SEXP of(std::uint16_t bits) {
        std::size_t at = bits;
        if (at >= m_texts.size()) {
            m_texts.resize(at + 1, R_NilValue);
        }
        if (m_texts[at] == R_NilValue) {
            m_texts[at] =
                Rf_mkCharCE(estimation::flagsText(estimation::Flags(bits)).c_str(), CE_UTF8);
        }
        return m_texts[at];
    }

private:
    std::vector<SEXP> m_texts; // each held by the result that takes it
};

// The soils' count: every input given holds one value a soil, or one for all.
std::size_t soilCount(const Inputs& inputs, const std::array<SEXP, 4>& given) {
    std::size_t count = 0;
    for (const InputColumn& input : inputs) {
        count = std::max(count, input.size());
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::size_t size = inputs[i].size();
        if (TYPEOF(given[i]) != NILSXP && size != count && size != 1) {
            Rcpp::stop(std::string(estimation::name(estimation::allInputs[i])) + " has " +
                       std::to_string(size) + " values, not " + std::to_string(count) + " or 1");
        }
    }
    return count;
}

// The columns of soils first to first + count, for the engine.
estimation::SoilColumns piece(const Inputs& inputs, std::size_t first, std::size_t count) {
    estimation::SoilColumns soils;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::span<const double> numbers = inputs[i].numbers();
        soils.inputs[i] = numbers.size() <= 1 ? numbers : numbers.subspan(first, count);
    }
    soils.count = count;
    return soils;
}

struct Settings {
    const estimation::PtfModel* model;
    estimation::Precision precision;
    estimation::ParticleSizeScale scale;
};

Rcpp::List estimateColumns(const Settings& settings, const Inputs& inputs, std::size_t count) {
    const auto size = static_cast<R_xlen_t>(count);
    Outputs out{Rcpp::NumericVector(Rcpp::no_init(size)), Rcpp::NumericVector(Rcpp::no_init(size)),
                Rcpp::NumericVector(Rcpp::no_init(size)), Rcpp::CharacterVector(size),
                Rcpp::IntegerVector(Rcpp::no_init(size)), Rcpp::CharacterVector(size)};
    std::vector<std::uint16_t> flags(count);
    std::vector<std::uint8_t> texture(count);
    std::vector<std::uint8_t> failure(count);
    const estimation::SoilEstimator estimator(*settings.model, settings.precision, settings.scale);
    for (std::size_t first = 0; first < count; first += SoilsPerPiece) {
        Rcpp::checkUserInterrupt();
        const std::size_t n = std::min(SoilsPerPiece, count - first);
        estimator.estimate(piece(inputs, first, n),
                           {out.fc.begin() + first, out.pwp.begin() + first,
                            out.awc.begin() + first, flags.data() + first, texture.data() + first,
                            failure.data() + first});
    }
    FlagTexts flagTexts;
    for (std::size_t i = 0; i < count; ++i) {
        if ((i & (SoilsPerPiece - 1)) == 0) {
            Rcpp::checkUserInterrupt();
        }
        const auto at = static_cast<R_xlen_t>(i);
        SET_STRING_ELT(out.flags, at, flagTexts.of(flags[i]));
        out.texture[at] = texture[i] == estimation::NoTexture ? NA_INTEGER : texture[i] + 1;
        if (failure[i] == 0) {
            SET_STRING_ELT(out.error, at, NA_STRING);
            continue;
        }
        // NA, as R marks a value it has not, where the engine leaves NaN.
        out.fc[at] = NA_REAL;
        out.pwp[at] = NA_REAL;
        out.awc[at] = NA_REAL;
        const std::string text =
            failureOf(*settings.model, inputs, i, settings.precision, settings.scale);
        SET_STRING_ELT(out.error, at, Rf_mkCharCE(text.c_str(), CE_UTF8));
    }
    return Rcpp::List::create(Rcpp::Named("fc") = out.fc, Rcpp::Named("pwp") = out.pwp,
                              Rcpp::Named("awc") = out.awc, Rcpp::Named("flags") = out.flags,
                              Rcpp::Named("texture") = out.texture,
                              Rcpp::Named("error") = out.error);
}

} // namespace

} // namespace talvo::r

// FC, PWP, AWC, flags, texture and error of every soil; inputs NULL where not given.
extern "C" SEXP talvo_estimate_columns(SEXP model, SEXP sand, SEXP silt, SEXP clay, SEXP oc,
                                       SEXP precision, SEXP psd, SEXP decimal) {
    BEGIN_RCPP
    using namespace talvo;
    constexpr base::Spelling keyword = base::Spelling::keyword;
    const r::Settings settings{&r::modelOf(model),
                               base::parsePrecision(r::optionText(precision, "precision"), keyword),
                               base::parseParticleSizeScale(r::optionText(psd, "psd"), keyword)};
    const estimation::DecimalSeparator separator = r::decimalOf(r::optionText(decimal, "decimal"));
    const std::array<SEXP, 4> given{sand, silt, clay, oc};
    const r::Inputs inputs{
        r::InputColumn(sand, separator, "sand"), r::InputColumn(silt, separator, "silt"),
        r::InputColumn(clay, separator, "clay"), r::InputColumn(oc, separator, "oc")};
    return r::estimateColumns(settings, inputs, r::soilCount(inputs, given));
    END_RCPP
}
