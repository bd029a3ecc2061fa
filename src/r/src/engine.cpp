#include "engine.h"

#include "base/options.h"

#include <cmath>
#include <optional>

namespace talvo::r {

const estimation::PtfModel& modelOf(SEXP model) {
    if (TYPEOF(model) == STRSXP && Rf_length(model) == 1) {
        std::string message;
        const estimation::PtfModel* named = base::modelNamed(utf8(STRING_ELT(model, 0)), message);
        if (named == nullptr) {
            Rcpp::stop(message);
        }
        return *named;
    }
    if ((TYPEOF(model) == REALSXP || TYPEOF(model) == INTSXP) && Rf_length(model) == 1) {
        const double position = Rf_asReal(model);
        const bool whole = std::isfinite(position) && position == std::trunc(position) &&
                           std::abs(position) <= estimation::ModelCount;
        const estimation::PtfModel* found =
            whole ? estimation::modelAt(static_cast<int>(position)) : nullptr;
        if (found == nullptr) {
            const std::string text =
                std::isfinite(position) ? estimation::generalText(position) : "NA";
            Rcpp::stop("no model at position " + text + ": give 0 to " +
                       std::to_string(estimation::ModelCount - 1));
        }
        return *found;
    }
    Rcpp::stop("model must be one position or one name");
}

std::string optionText(SEXP value, const char* name) {
    if (TYPEOF(value) != STRSXP || Rf_length(value) != 1 || STRING_ELT(value, 0) == NA_STRING) {
        Rcpp::stop(std::string(name) + " must be one text");
    }
    return utf8(STRING_ELT(value, 0));
}

estimation::DecimalSeparator decimalOf(const std::string& text) {
    std::string message;
    const std::optional<estimation::DecimalSeparator> separator = base::decimalNamed(text, message);
    if (!separator) {
        Rcpp::stop("decimal " + message);
    }
    return *separator;
}

std::string utf8(SEXP text) {
    return text == NA_STRING ? std::string() : std::string(Rf_translateCharUTF8(text));
}

} // namespace talvo::r
