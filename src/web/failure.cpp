#include "web/failure.h"

#include <algorithm>
#include <array>
#include <new>

namespace talvo::web {

namespace {

// A command-line option, the page's name for the choice it makes, and what to do there.
struct Choice {
    std::string_view option;
    std::string_view name;
    std::string_view remedy;
};

// Longer options before those they begin with: --measured-unit before --measured.
constexpr std::array choices{
    Choice{"--column", "column", "choose the column above"},
    Choice{"--delimiter", "delimiter", "choose the delimiter above"},
    Choice{"--decimal", "decimal separator", "choose the decimal separator above"},
    Choice{"--prefix", "prefix", "give the added columns a prefix above"},
    Choice{"--measured-unit", "unit of measured FC and PWP",
           "choose the unit of measured FC and PWP above"},
    Choice{"--measured", "measured", "choose the measured columns above"},
    Choice{"--list-models", "models", "choose the models above"},
    Choice{"--model", "models", "choose the models above"},
    Choice{"--psd", "particle sizes", "choose the particle sizes above"},
    Choice{"--precision", "precision", "choose the precision above"},
    Choice{"--fractions", "sand, silt and clay in", "choose the unit of sand, silt and clay above"},
    Choice{"--scale", "sand, silt and clay in", "choose the unit of sand, silt and clay above"},
    Choice{"--oc-unit", "OC unit", "choose the unit of OC above"},
    Choice{"--root-depth", "root depth", "give the root depth above"},
    Choice{"--depletion", "depletion fraction", "give the depletion fraction above"},
    Choice{"--cf-by", "stones given", "choose how stones are given above"},
    Choice{"--profiles", "soil profiles", "tick Soil profiles above"},
};

constexpr bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || c == '-';
}

// The choice of an option that begins `text` at `at`: "--" after the start or a blank, then
// the option's whole name.
const Choice* optionAt(std::string_view text, std::size_t at) {
    if (at > 0 && text[at - 1] != ' ' && text[at - 1] != '(') {
        return nullptr;
    }
    for (const Choice& choice : choices) {
        const std::size_t end = at + choice.option.size();
        if (text.substr(at).starts_with(choice.option) &&
            (end == text.size() || !isNameChar(text[end]))) {
            return &choice;
        }
    }
    return nullptr;
}

// One clause in the page's words; `named` is the option named last before it, and after it.
// A placeholder such as fc=HEADER is command-line syntax too, of the option named before.
std::string clauseInPageWords(std::string_view clause, const Choice*& named) {
    for (std::size_t at = clause.find("--"); at != std::string_view::npos;
         at = clause.find("--", at + 2)) {
        if (const Choice* choice = optionAt(clause, at)) {
            named = choice;
            if (at == 0) {
                return std::string(choice->name) +
                       std::string(clause.substr(choice->option.size()));
            }
            return std::string(choice->remedy);
        }
    }
    if (named != nullptr && clause.find("=HEADER") != std::string_view::npos) {
        return std::string(named->remedy);
    }
    return std::string(clause);
}

} // namespace

std::string pageWords(std::string_view message) {
    constexpr std::array<std::string_view, 5> breaks{": ", "; ", "? ", "(", ")"};
    std::string out;
    const Choice* named = nullptr;
    std::size_t begin = 0;
    while (begin <= message.size()) {
        std::size_t end = message.size();
        std::size_t breakSize = 0;
        for (const std::string_view mark : breaks) {
            if (const std::size_t at = message.find(mark, begin); at < end) {
                end = at;
                breakSize = mark.size();
            }
        }
        out += clauseInPageWords(message.substr(begin, end - begin), named);
        out += message.substr(end, breakSize);
        begin = end + std::max<std::size_t>(breakSize, 1);
    }
    return out;
}

std::string failureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& error) {
        return pageWords(error.what());
    }
}

} // namespace talvo::web
