#include "base/scale.h"

#include "base/error.h"
#include "estimation/estimation.h"

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace talvo::base {

namespace {

constexpr int MaxDigits = estimation::SignificantDigits;
constexpr int MaxDecimals = estimation::MaxExactPowerOfTen;
constexpr std::uint64_t MantissaLimit = std::uint64_t{1} << 53;

Error badScale(std::string_view text, std::string_view why) {
    return Error("scale '" + std::string(text) + "': " + std::string(why));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

double DecimalScale::divisor() const noexcept {
    assert(decimals >= 0 && decimals <= MaxDecimals);
    return estimation::exactPowerOfTen(decimals);
}

estimation::InputValue DecimalScale::read(std::string_view text,
                                          estimation::DecimalSeparator separator) const {
    if (const auto plain = estimation::plainDecimal(text, separator.get())) {
        const auto places = static_cast<int>(plain->scale) + decimals;
        if (plain->digits <= (MantissaLimit - 1) / mantissa && places <= MaxDecimals) {
            const auto digits = static_cast<double>(plain->digits * mantissa);
            return {digits / estimation::exactPowerOfTen(places), std::nullopt};
        }
    }
    estimation::InputValue value = estimation::inputValue(text, separator);
    if (value.failure) {
        return value;
    }
    // " -0.4" and "4e-1" at a power of ten: the point of the number's shortest text is moved,
    // which is as exact as shifting the text itself.
    int places = -decimals;
    std::uint64_t rest = mantissa;
    for (; rest % 10 == 0; rest /= 10) {
        ++places;
    }
    value.number =
        rest == 1 ? estimation::shiftedDecimal(value.number, places) : apply(value.number);
    return value;
}

DecimalScale DecimalScale::shifted(int places) const {
    DecimalScale scale = *this;
    for (; places < 0; ++places) {
        const bool trailingZero = scale.decimals == 0 && scale.mantissa % 10 == 0;
        scale.mantissa /= trailingZero ? 10 : 1;
        scale.decimals += trailingZero ? 0 : 1;
    }
    for (; places > 0; --places) {
        if (scale.decimals > 0) {
            --scale.decimals;
        } else if (scale.mantissa < MantissaLimit / 10) {
            scale.mantissa *= 10;
        } else {
            throw Error("a scale times ten is too large");
        }
    }
    if (scale.decimals > MaxDecimals) {
        throw Error("a scale over ten has more than 22 decimals");
    }
    return scale;
}

DecimalScale parseScale(std::string_view text) {
    std::uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool seenPoint = false;
    bool anyDigit = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (isDigit(c)) {
            anyDigit = true;
            if (mantissa != 0 || c != '0') {
                if (++digits > MaxDigits) {
                    throw badScale(text, "give at most 15 significant digits");
                }
                mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            }
            decimals += seenPoint ? 1 : 0;
        } else {
            break;
        }
    }
    int exponent = 0;
    if (anyDigit && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const bool plus = i + 1 < text.size() && text[i + 1] == '+';
        const char* const first = text.data() + i + (plus ? 2 : 1);
        const auto [end, error] = std::from_chars(first, text.data() + text.size(), exponent);
        if (error != std::errc() || end == first) {
            throw badScale(text, "give a positive decimal, such as 0.1");
        }
        i = static_cast<std::size_t>(end - text.data());
    }
    if (!anyDigit || i != text.size()) {
        throw badScale(text, "give a positive decimal, such as 0.1");
    }
    if (mantissa == 0) {
        throw badScale(text, "a scale must be above zero");
    }
    if (std::abs(exponent) > 400) {
        throw badScale(text, "out of range");
    }
    decimals -= exponent;
    while (decimals > 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        --decimals;
    }
    for (; decimals < 0; ++decimals) {
        if (mantissa >= MantissaLimit / 10) {
            throw badScale(text, "too large");
        }
        mantissa *= 10;
    }
    if (decimals > MaxDecimals) {
        throw badScale(text, "give at most 22 decimals");
    }
    return {mantissa, decimals};
}

DecimalScale scaleFromDouble(double scale) {
    if (!std::isfinite(scale)) {
        throw Error("a raster declares a scale that is not a number");
    }
    // The shortest text that reads back as the scale, at rising precision: the browser's
    // standard library has no to_chars for doubles. The tools keep the C locale's point.
    std::array<char, 32> text{};
    int length = 0;
    for (int digits = 1; digits <= 17; ++digits) {
        length = std::snprintf(text.data(), text.size(), "%.*g", digits, scale);
        if (std::strtod(text.data(), nullptr) == scale) {
            break;
        }
    }
    return parseScale(std::string_view(text.data(), static_cast<std::size_t>(length)));
}

ScaleSet parseScaleList(std::string_view text) {
    ScaleSet scales;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        bool known = false;
        for (const estimation::Input input : estimation::allInputs) {
            if (name != estimation::name(input) || equals == std::string_view::npos) {
                continue;
            }
            auto& scale = scales[static_cast<std::size_t>(input)];
            if (scale) {
                throw Error("--scale gives " + std::string(name) + " twice");
            }
            scale = parseScale(item.substr(equals + 1));
            known = true;
        }
        if (!known) {
            throw Error("--scale '" + std::string(item) +
                        "': give NAME=DECIMAL with NAME sand, silt, clay or oc");
        }
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return scales;
}

ScaleSet soilGridsScales() {
    ScaleSet scales;
    for (const SoilGridsLayer& layer : SoilGridsLayers) {
        scales[static_cast<std::size_t>(layer.input)] = layer.scale;
    }
    return scales;
}

ScaleSet fractionScales() {
    const DecimalScale hundred{100, 0};
    return {hundred, hundred, hundred, std::nullopt};
}

} // namespace talvo::base
