// DSSAT's soil file (.SOL): every profile in one file, each column six characters wide as
// its documentation (DSSAT 4.8, SOIL.CDE) lays them, -99 where a value is missing.

#include "table/soil_file_format.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <string>

namespace talvo::table::soil_file {

namespace {

constexpr std::size_t IdWidth = 10;
constexpr double HoursPerDay = 24.0;

// A six-character column: a blank, then the value in five characters, with fewer decimals
// where a large value needs the room.
std::string column(const SoilProfile& profile, double value, int decimals) {
    for (int places = decimals; places >= 0; --places) {
        std::string text = fixed(value, 6, places);
        if (text.size() == 6 && text.front() == ' ') {
            return text;
        }
    }
    fail(profile, "a value too large for DSSAT's columns: " + estimation::generalText(value));
}

// The root growth factor DSSAT's own soil tools give where none is measured: 1 to 15 cm,
// then falling off with the depth of the layer's middle.
double rootGrowthFactor(const SoilLayer& layer) {
    const double middle = (layer.top + layer.bottom) / 2.0;
    return layer.bottom <= 15.0 ? 1.0 : std::exp(-0.02 * middle);
}

std::string profileHead(const SoilProfile& profile) {
    if (profile.id.size() > IdWidth ||
        std::any_of(profile.id.begin(), profile.id.end(),
                    [](unsigned char c) { return std::isgraph(c) == 0; })) {
        fail(profile, "DSSAT ids are up to 10 letters or digits without blanks");
    }
    std::string id = profile.id;
    id.resize(IdWidth, ' ');
    const SoilLayer& top = profile.layers.front();
    const int curve = std::isfinite(top.ks) ? curveNumber(top.ks * 10.0) : -99;
    std::string text = "*" + id + "  TALVO         -99 " +
                       fixed(profile.layers.back().bottom, 5, 0) + " profile " + profile.id + "\n";
    text += "@SITE        COUNTRY          LAT     LONG SCS FAMILY\n";
    text += " -99         -99              -99      -99 -99\n";
    text += "@ SCOM  SALB  SLU1  SLDR  SLRO  SLNF  SLPF  SMHB  SMPX  SMKE\n";
    text += "   -99   -99   -99   -99" + fixed(curve, 6, 1) + "  1.00  1.00   -99   -99   -99\n";
    return text;
}

} // namespace

std::string dssatFile(std::span<const SoilProfile> profiles) {
    std::string text = "*SOILS: soil profiles from talvo-batch\n";
    text += "! " + std::string(convertedUnits(SoilFormat::dssat)) +
            "; water of the whole soil, stones counted in it\n";
    for (const SoilProfile& profile : profiles) {
        text += "\n" + profileHead(profile);
        text += "@  SLB  SLMH  SLLL  SDUL  SSAT  SRGF  SSKS  SBDM  SLOC  SLCL  SLSI  SLCF  SLNI"
                "  SLHW  SLHB  SCEC  SADC\n";
        for (const SoilLayer& layer : profile.layers) {
            text += column(profile, layer.bottom, 0) + "   -99";
            for (const double water : {layer.pwp, layer.fc, layer.sat}) {
                text += column(profile, water / 100.0, 3);
            }
            text += column(profile, rootGrowthFactor(layer), 3) +
                    column(profile, layer.ks / HoursPerDay, 2) +
                    column(profile, layer.bulkDensity, 2) +
                    column(profile, layer.organicCarbon, 2) + column(profile, layer.clay, 1) +
                    column(profile, layer.silt, 1) + column(profile, layer.stones, 1) +
                    "   -99   -99   -99   -99   -99\n";
        }
    }
    return text;
}

} // namespace talvo::table::soil_file
