#pragma once

#include <array>
#include <string_view>

namespace talvo::estimation {

// The four inputs of a soil, in the order every front end lists them.
enum class Input { sand, silt, clay, oc };
inline constexpr std::array allInputs{Input::sand, Input::silt, Input::clay, Input::oc};

// The three results of an estimate, in the order they are worked out.
enum class Result { fc, pwp, awc };

// The short name of an input or result ("sand", "fc", ...): columns, options and messages use it.
std::string_view name(Input input);
std::string_view name(Result result);

} // namespace talvo::estimation
