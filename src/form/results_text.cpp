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

std::string_view unitOf(std::string_view caption) {
    caption = trimmed(caption);
    if (caption.size() >= 2 && caption.front() == '(' && caption.back() == ')') {
        caption = trimmed(caption.substr(1, caption.size() - 2));
    }
    return caption;
}

} // namespace

std::string cellText(std::string_view text) {
    std::string cell(trimmed(text));
    std::replace_if(
        cell.begin(), cell.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return cell;
}

std::string resultsText(const ShownEstimate& shown) {
    std::string text = "model\tsand\tsilt\tclay\toc\tunit\tfc\tpwp\tawc\n";
    text += cellText(shown.model);
    for (const ShownEstimate::Box& box : shown.boxes) {
        text += '\t' + cellText(box.enabled ? box.text : std::string_view());
    }
    text += '\t' + cellText(unitOf(shown.fcUnit));
    for (const std::string& result : shown.results) {
        text += '\t' + cellText(result);
    }
    text += '\n';
    return text;
}

} // namespace talvo::form
