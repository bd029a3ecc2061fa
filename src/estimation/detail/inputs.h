#pragma once

#include <array>
#include <string_view>

namespace talvo::estimation {

// The four inputs of a soil, in the order every front end lists them.
enum class Input { sand, silt, clay, oc };
inline constexpr std::array allInputs{Input::sand, Input::silt, Input::clay, Input::oc};

// Organic matter per unit of organic carbon: the conventional van Bemmelen factor, by which
// a table's organic matter is read as carbon (OC = OM / 1.724) in the unit of its numbers.
inline constexpr double OrganicMatterPerCarbon = 1.724;

// The three results of an estimate, in the order they are worked out.
enum class Result { fc, pwp, awc };

// The short name of an input or result ("sand", "fc", ...): columns, options and messages use it.
std::string_view name(Input input);
std::string_view name(Result result);

} // namespace talvo::estimation
