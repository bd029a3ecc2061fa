#include "estimation/detail/float_text.h"

#include "estimation/detail/portable.h"

#include <array>
#include <cmath>
#include <system_error>

namespace talvo::estimation {

double floatAsText(float single) noexcept {
    if (!std::isfinite(single)) {
        return static_cast<double>(single); // NaN and the infinities have no digits
    }
    // "5.23e+01" is read as "52.3" is: the text's form does not change its number.
    std::array<char, 64> text{};
    const auto written = toScientific(text.data(), text.data() + text.size(), single);
    double wide = 0;
    fromChars(text.data(), written.ptr, wide);
    return wide;
}

} // namespace talvo::estimation
