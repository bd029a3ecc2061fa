#include "map/window_plan.h"

#include <algorithm>

namespace talvo::map {

WindowPlan::WindowPlan(int width, int first, int end, int inputBlockHeight)
    : m_width(width), m_first(first), m_end(end) {
    const int blockRows =
        (std::min(inputBlockHeight, MaxWindowRows) + OutputBlockSize - 1) / OutputBlockSize;
    m_rows = blockRows * OutputBlockSize;
    m_across = (width + OutputBlockSize - 1) / OutputBlockSize;
    m_down = (end - first + m_rows - 1) / m_rows;
}

Window WindowPlan::at(std::uint64_t index) const {
    const auto row = static_cast<int>(index / static_cast<std::uint64_t>(m_across));
    const auto column = static_cast<int>(index % static_cast<std::uint64_t>(m_across));
    Window window;
    window.x = column * OutputBlockSize;
    window.y = m_first + row * m_rows;
    window.width = std::min(OutputBlockSize, m_width - window.x);
    window.height = std::min(m_rows, m_end - window.y);
    return window;
}

} // namespace talvo::map
