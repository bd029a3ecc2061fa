#include "map/block_cache.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace talvo::map {

std::size_t blockBytesInUse(const BlockLayout& block, int rasterWidth, int rasterHeight,
                            int windowWidth, int windowRows, int windowsAhead) {
    assert(block.width > 0 && block.height > 0 && block.cellBytes > 0);
    assert(rasterWidth > 0 && rasterHeight > 0 && windowWidth > 0 && windowRows > 0);
    assert(windowsAhead >= 0);
    const auto blocksFor = [](std::int64_t cells, std::int64_t blockCells) {
        return (cells + blockCells - 1) / blockCells;
    };
    // Windows need not start on a block's edge, so they may reach into one block more.
    const std::int64_t down =
        std::min(blocksFor(rasterHeight, block.height), blocksFor(windowRows, block.height) + 1);
    const std::int64_t columnsInUse = (std::int64_t{windowsAhead} + 1) * windowWidth;
    const std::int64_t across =
        std::min(blocksFor(rasterWidth, block.width), blocksFor(columnsInUse, block.width) + 1);
    return static_cast<std::size_t>(down * across * block.width * block.height * block.cellBytes);
}

} // namespace talvo::map
