#pragma once

// A float32 stands for the shortest text that reads back to it ("52.3" for the float nearest
// 52.3, not 52.2999992370605), as a table cell holding "52.3" does. Every front end that takes
// float32 numbers widens them through that text.

#include "estimation/detail/portable.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvo::estimation {

// The double that the float's shortest text reads to. NaN and the infinities stay as they are.
double floatAsText(float single) noexcept;

// The double read from the shortest text of `value` with its decimal point moved `places` to
// the right (left when negative): 0.07 at 2 is 7 exactly, where 0.07 * 100 is not. For
// contents given as fractions of 1 or in g/kg. NaN and the infinities stay as they are.
double shiftedDecimal(double value, int places) noexcept;

// The same, remembered for recent floats: soil data hold few distinct values, and finding a
// float's text takes some hundred nanoseconds.
class RecentFloatTexts {
public:
    double of(float single) {
        const auto bits = bitCast<std::uint32_t>(single);
        Entry& entry = m_entries[(bits * 2654435761U) >> (32U - IndexBits)];
        if (!entry.filled || entry.bits != bits) {
            entry = {bits, true, floatAsText(single)};
        }
        return entry.value;
    }

private:
    static constexpr unsigned IndexBits = 12; // 64 KiB
    struct Entry {
        std::uint32_t bits = 0;
        bool filled = false;
        double value = 0;
    };
    std::vector<Entry> m_entries = std::vector<Entry>(std::size_t{1} << IndexBits);
};

} // namespace talvo::estimation
