#include "base/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace talvo::base {

namespace {

using estimation::Input;

constexpr std::string_view SpreadWant =
    "NAME=NUMBER or NAME=HEADER, NAME sand, silt, clay or oc, NUMBER a standard deviation of 0 "
    "or more, such as --sd sand=2,clay=clay_sd";

// A whole number in decimal digits, nothing else: no sign, blanks or exponent.
template <typename Whole> std::optional<Whole> wholeNumber(std::string_view text) {
    Whole value{};
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

SpreadSource spreadSource(std::string_view item, std::string_view value) {
    const estimation::ParsedNumber parsed = estimation::readNumber(value);
    if (parsed.failure == estimation::FailureKind::typeMismatch) {
        return {std::string(value), 0.0};
    }
    if (parsed.failure || !(parsed.value >= 0.0) || !std::isfinite(parsed.value)) {
        throw refusal("sd", Spelling::option, item, SpreadWant);
    }
    return {{}, parsed.value};
}

} // namespace

SpreadSources parseSpreads(std::string_view text) {
    SpreadSources spreads;
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t equals = item.find('=');
        const auto* const input =
            std::find_if(estimation::allInputs.begin(), estimation::allInputs.end(),
                         [&](Input i) { return estimation::name(i) == item.substr(0, equals); });
        if (equals == std::string_view::npos || equals + 1 == item.size() ||
            input == estimation::allInputs.end()) {
            throw refusal("sd", Spelling::option, item, SpreadWant);
        }
        std::optional<SpreadSource>& spread = spreads[static_cast<std::size_t>(*input)];
        if (spread) {
            throw Error("--sd gives " + std::string(estimation::name(*input)) + " twice");
        }
        spread = spreadSource(item, item.substr(equals + 1));
        if (comma == text.size()) {
            break;
        }
        start = comma + 1;
    }
    if (spreads[0] && spreads[1] && spreads[2]) {
        throw Error("--sd gives sand, silt and clay: give at most two, as the third takes up "
                    "their difference so that every draw keeps their sum");
    }
    return spreads;
}

int parseDraws(std::string_view text) {
    const std::optional<int> draws = wholeNumber<int>(text);
    if (!draws || *draws < estimation::FewestDraws || *draws > estimation::MostDraws) {
        throw refusal("draws", Spelling::option, text,
                      "a whole number from " + std::to_string(estimation::FewestDraws) + " to " +
                          std::to_string(estimation::MostDraws));
    }
    return *draws;
}

std::uint64_t parseSeed(std::string_view text) {
    const std::optional<std::uint64_t> seed = wholeNumber<std::uint64_t>(text);
    if (!seed) {
        throw refusal("seed", Spelling::option, text,
                      "a whole number from 0 to 18446744073709551615");
    }
    return *seed;
}

} // namespace talvo::base
