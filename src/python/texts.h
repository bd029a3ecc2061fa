#pragma once

// talvo.estimate_texts: the texts one press of Estimate leaves on the window for one soil.

#include "estimation/estimation.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::python {

struct SoilTexts {
    // FC, PWP and AWC as the captions show them after the press: two decimals; after a
    // failure the 15-digit texts written before it, and nothing where a caption keeps what it
    // had.
    std::array<std::optional<std::string>, 3> captions;
    // The 15-digit texts of the results worked out.
    std::array<std::optional<std::string>, 3> general;
    // 'Type mismatch: clay "twenty"', or nothing.
    std::optional<std::string> failure;
};

SoilTexts estimateTexts(const estimation::PtfModel& model, const estimation::InputTexts& texts,
                        estimation::DecimalSeparator separator);

} // namespace talvo::python
