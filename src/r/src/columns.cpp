// A table's input columns found by the names talvo-batch finds them by.

#include "engine.h"
#include "estimation/estimation.h"
#include "table/input_names.h"

#include <Rcpp.h>
#include <string>
#include <string_view>
#include <vector>

// For sand, silt, clay and oc: the column's number from 1 (NA: none), the note where it holds
// organic matter (NA: it does not), and why two columns could be it (NA: they could not).
extern "C" SEXP talvo_find_columns(SEXP names) {
    BEGIN_RCPP
    using namespace talvo;
    const Rcpp::CharacterVector given(names);
    std::vector<std::string> texts;
    for (SEXP name : given) {
        texts.push_back(r::utf8(name));
    }
    const std::vector<std::string_view> header(texts.begin(), texts.end());
    const table::InputColumns columns = table::findInputColumns(header, {});
    const auto count = static_cast<R_xlen_t>(estimation::allInputs.size());
    Rcpp::IntegerVector column(count, NA_INTEGER);
    Rcpp::CharacterVector note(count, NA_STRING), problem(count, NA_STRING);
    for (const estimation::Input input : estimation::allInputs) {
        const auto i = static_cast<std::size_t>(input);
        const table::InputColumn& found = columns[i];
        const auto at = static_cast<R_xlen_t>(i);
        if (found.column) {
            column[at] = static_cast<int>(*found.column) + 1;
        }
        if (found.column && found.organicMatter) {
            note[at] = Rcpp::String(table::organicMatterNote(header[*found.column]), CE_UTF8);
        }
        if (found.ambiguous()) {
            problem[at] = Rcpp::String(
                table::ambiguityText(input, found, header, "keep one of them in the data"),
                CE_UTF8);
        }
    }
    const Rcpp::CharacterVector inputs =
        Rcpp::CharacterVector::create("sand", "silt", "clay", "oc");
    column.names() = inputs;
    note.names() = inputs;
    problem.names() = inputs;
    return Rcpp::List::create(Rcpp::Named("column") = column, Rcpp::Named("note") = note,
                              Rcpp::Named("problem") = problem);
    END_RCPP
}

// Texts read as numbers as a table's cells are: NaN where one holds no number.
extern "C" SEXP talvo_read_texts(SEXP texts, SEXP decimal) {
    BEGIN_RCPP
    using namespace talvo;
    const estimation::DecimalSeparator separator = r::decimalOf(r::optionText(decimal, "decimal"));
    const R_xlen_t count = XLENGTH(texts);
    Rcpp::NumericVector numbers(Rcpp::no_init(count));
    for (R_xlen_t i = 0; i < count; ++i) {
        SEXP cell = STRING_ELT(texts, i);
        numbers[i] = cell == NA_STRING
                         ? NA_REAL
                         : estimation::inputValue(Rf_translateCharUTF8(cell), separator).number;
    }
    return numbers;
    END_RCPP
}
