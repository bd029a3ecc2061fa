#include "table/input_names.h"

#include "base/options.h"
#include "base/printable.h"

#include <algorithm>
#include <cstdio>

namespace talvo::table {

namespace {

using estimation::Input;

// An input's names besides its own.
struct OtherName {
    Input input;
    std::string_view name;
    bool organicMatter = false;
};
constexpr std::array<OtherName, 6> OtherNames{{
    {Input::sand, "sandtotal_r"},
    {Input::silt, "silttotal_r"},
    {Input::clay, "claytotal_r"},
    {Input::oc, "soc"},
    {Input::oc, "om", true},
    {Input::oc, "om_r", true},
}};

constexpr std::array<std::string_view, 3> PercentUnits{"%", "pct", "percent"};
constexpr std::array<std::string_view, 3> MassUnits{"g/kg", "gkg", "g kg-1"};

// Whether `rest`, what follows a name in a field, is a unit the input may be given in.
bool isUnit(std::string_view rest, Input input) {
    rest.remove_prefix(std::min(rest.find_first_not_of(" _-"), rest.size()));
    if (rest.size() >= 2 && ((rest.front() == '(' && rest.back() == ')') ||
                             (rest.front() == '[' && rest.back() == ']'))) {
        rest = trimBlanks(rest.substr(1, rest.size() - 2));
    }
    const auto is = [rest](std::string_view unit) { return base::sameName(rest, unit); };
    return std::any_of(PercentUnits.begin(), PercentUnits.end(), is) ||
           (input == Input::oc && std::any_of(MassUnits.begin(), MassUnits.end(), is));
}

// Whether `field` is `name`, with a unit after it or not.
bool namedAs(std::string_view field, std::string_view name, Input input) {
    return field.size() >= name.size() && base::sameName(field.substr(0, name.size()), name) &&
           (field.size() == name.size() || isUnit(field.substr(name.size()), input));
}

bool namedLoosely(std::string_view field, Input input) {
    return namedAs(field, estimation::name(input), input) ||
           std::any_of(OtherNames.begin(), OtherNames.end(), [&](const OtherName& other) {
               return other.input == input && namedAs(field, other.name, input);
           });
}

// The fields that `matches`.
template <typename Matches>
std::vector<std::size_t> fieldsWhere(std::span<const std::string_view> header, Matches matches) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (matches(trimBlanks(header[i]))) {
            found.push_back(i);
        }
    }
    return found;
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool namesOrganicMatter(std::string_view field) {
    field = trimBlanks(field);
    return std::any_of(OtherNames.begin(), OtherNames.end(), [field](const OtherName& other) {
        return other.organicMatter && namedAs(field, other.name, other.input);
    });
}

InputColumns findInputColumns(std::span<const std::string_view> header,
                              const std::array<std::string, 4>& given) {
    InputColumns columns;
    for (const Input input : estimation::allInputs) {
        const auto i = static_cast<std::size_t>(input);
        InputColumn& found = columns[i];
        const std::string_view wanted =
            given[i].empty() ? estimation::name(input) : trimBlanks(given[i]);
        found.candidates = fieldsWhere(
            header, [wanted](std::string_view field) { return base::sameName(field, wanted); });
        if (found.candidates.empty() && given[i].empty()) {
            found.candidates = fieldsWhere(
                header, [input](std::string_view field) { return namedLoosely(field, input); });
        }
        if (!found.candidates.empty()) {
            found.column = found.candidates.front();
            found.organicMatter = input == Input::oc && namesOrganicMatter(header[*found.column]);
        }
    }
    return columns;
}

std::string ambiguityText(Input input, const InputColumn& found,
                          std::span<const std::string_view> header, std::string_view remedy) {
    const std::vector<std::size_t>& fields = found.candidates;
    const std::string_view first = trimBlanks(header[fields.front()]);
    const bool oneName = std::all_of(fields.begin(), fields.end(), [&](std::size_t f) {
        return base::sameName(trimBlanks(header[f]), first);
    });
    if (oneName) {
        return "two columns named " + base::printable(first) + " (columns " +
               std::to_string(fields[0] + 1) + " and " + std::to_string(fields[1] + 1) + ")";
    }
    std::string text = "columns ";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += i == 0 ? "" : i + 1 == fields.size() ? " and " : ", ";
        text += "\"" + base::printable(trimBlanks(header[fields[i]])) + "\" (column " +
                std::to_string(fields[i] + 1) + ")";
    }
    return text + " could each be " + std::string(estimation::name(input)) + ": " +
           std::string(remedy);
}

std::string organicMatterNote(std::string_view field) {
    std::array<char, 16> factor{};
    std::snprintf(factor.data(), factor.size(), "%g", estimation::OrganicMatterPerCarbon);
    return "organic matter in column \"" + base::printable(trimBlanks(field)) +
           "\" read as organic carbon = OM / " + factor.data() +
           " (the van Bemmelen factor), in the unit of its numbers";
}

} // namespace talvo::table
