// talvo_estimate's loop: columns of numbers or texts through the engine, in pieces between
// which R may interrupt.

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"
#include "inputs.h"

#include <Rcpp.h>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvo::r {

namespace {

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
