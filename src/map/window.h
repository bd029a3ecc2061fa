#pragma once

namespace talvo::map {

// A rectangle of cells, from the top left of the raster it is used on.
struct Window {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

} // namespace talvo::map
