#include "estimation/float_text.h"

#include <array>
#include <charconv>
#include <system_error>

namespace talvo::estimation {

double floatAsText(float single) noexcept {
    std::array<char, 64> text{};
    const auto written = std::to_chars(text.data(), text.data() + text.size(), single);
    double wide = 0;
    if (std::from_chars(text.data(), written.ptr, wide).ec != std::errc{}) {
        return static_cast<double>(single); // NaN and the infinities
    }
    return wide;
}

} // namespace talvo::estimation
