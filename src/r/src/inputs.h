#pragma once

// The columns the package's loops read and the flag texts they write, shared by them.

#include "engine.h"
#include "estimation/estimation.h"

#include <Rcpp.h>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace talvo::r {

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

} // namespace talvo::r
