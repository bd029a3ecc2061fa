#pragma once

// The evaluation as one HTML page to read and print offline: styles and plots inline, no
// reference to anything outside the file.

#include "evaluation/evaluation.h"

#include <array>
#include <string>
#include <string_view>

namespace talvo::evaluation {

// Texts about the table, shown escaped.
struct ReportSource {
    std::string table;                  // the input's name
    std::array<std::string, 3> headers; // of measured fc, pwp, awc
};

std::string htmlReport(const Outcome& outcome, const ReportSource& source);

// `text` with &, <, >, " and ' as character references, control characters as U+FFFD.
std::string escapeHtml(std::string_view text);

} // namespace talvo::evaluation
