#include "map/settings.h"

namespace talvo::map {

void useSoilGrids(Settings& settings) {
    settings.scales = soilGridsScales();
    settings.psd = estimation::ParticleSizeScale::usda; // sand 0.05-2 mm, silt 0.002-0.05 mm
}

} // namespace talvo::map
