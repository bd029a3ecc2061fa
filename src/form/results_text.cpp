#include "form/results_text.h"

#include <algorithm>
#include <string_view>

namespace talvo::form {

namespace {

constexpr std::string_view Blanks = " \t\r\n\v\f";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

// A tab or line break inside a value would split it into two cells or two rows.
std::string cell(std::string_view value) {
    std::string text(value);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

std::string_view unitOf(std::string_view caption) {
    caption = trimmed(caption);
    if (caption.size() >= 2 && caption.front() == '(' && caption.back() == ')') {
        caption = trimmed(caption.substr(1, caption.size() - 2));
    }
    return caption;
}

} // namespace

std::string resultsText(const ShownEstimate& shown) {
    std::string text = "model\tsand\tsilt\tclay\toc\tunit\tfc\tpwp\tawc\n";
    text += cell(shown.model);
    for (const ShownEstimate::Box& box : shown.boxes) {
        text += '\t' + cell(box.enabled ? trimmed(box.text) : std::string_view());
    }
    text += '\t' + cell(unitOf(shown.fcUnit));
    for (const std::string& result : shown.results) {
        text += '\t' + cell(result);
    }
    text += '\n';
    return text;
}

} // namespace talvo::form
