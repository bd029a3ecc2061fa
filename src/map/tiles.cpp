#include "map/tiles.h"

#include "base/error.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace talvo::map {

namespace {

bool readCount(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() &&
           text.front() != '-';
}

} // namespace

Tile parseTile(std::string_view text) {
    const std::size_t slash = text.find('/');
    Tile tile;
    if (slash == std::string_view::npos || !readCount(text.substr(0, slash), tile.index) ||
        !readCount(text.substr(slash + 1), tile.count) || tile.count < 1 || tile.index < 1 ||
        tile.index > tile.count) {
        throw base::Error("--tile '" + std::string(text) +
                          "': give I/N, the I-th of N tiles, with 1 <= I <= N");
    }
    return tile;
}

RowRange tileRows(Tile tile, int height, int blockHeight) {
    const std::int64_t blocks = (std::int64_t{height} + blockHeight - 1) / blockHeight;
    const std::int64_t firstBlock = blocks * (tile.index - 1) / tile.count;
    const std::int64_t endBlock = blocks * tile.index / tile.count;
    return {static_cast<int>(firstBlock * blockHeight),
            static_cast<int>(std::min<std::int64_t>(endBlock * blockHeight, height))};
}

} // namespace talvo::map
