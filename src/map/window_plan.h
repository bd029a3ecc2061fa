#pragma once

// The windows a run reads, estimates and writes, in order.

#include "map/output.h"
#include "map/window.h"

#include <cstdint>

namespace talvo::map {

// A window is one output block wide, and at most this tall.
inline constexpr int MaxWindowRows = 2 * OutputBlockSize;

// The windows of rows [first, end), left to right and top to bottom. A window spans whole
// rows of output blocks, and as many rows as the inputs' blocks hold up to MaxWindowRows, so
// that each input block is read once while it is in the cache.
class WindowPlan {
public:
    WindowPlan(int width, int first, int end, int inputBlockHeight);

    int rows() const { return m_rows; }

    std::uint64_t count() const {
        return static_cast<std::uint64_t>(m_across) * static_cast<std::uint64_t>(m_down);
    }

    // The window in the input's cells.
    Window at(std::uint64_t index) const;

private:
    int m_width;
    int m_first;
    int m_end;
    int m_rows = OutputBlockSize;
    int m_across = 0;
    int m_down = 0;
};

} // namespace talvo::map
