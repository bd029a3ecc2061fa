#pragma once

#include <array>
#include <string>
#include <string_view>

namespace talvo::form {

// What the window shows of one estimate, as its controls hold it.
struct ShownEstimate {
    struct Box {
        std::string text;
        bool enabled = false;
    };

    std::string model;                  // the chooser's text; empty when none is chosen
    std::array<Box, 4> boxes;           // sand, silt, clay, oc
    std::string fcUnit;                 // the FC unit caption, "(% w/w)" or "(% v/v)"
    std::array<std::string, 3> results; // fc, pwp, awc, as their captions hold them
};

// A text as one cell of a tab-separated line: blanks around it trimmed, and a tab or line
// break inside it, which would split it into two cells or two rows, made a blank.
std::string cellText(std::string_view text);

// The estimate as two tab-separated lines, a header and the values, each ending in "\n": it
// pastes into a spreadsheet as two rows and reads plainly in a message. Box texts are
// trimmed and left empty for a box the model does not use; the unit loses its parentheses.
std::string resultsText(const ShownEstimate& shown);

} // namespace talvo::form
