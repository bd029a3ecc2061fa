#pragma once

#include <cstdint>
#include <ostream>

namespace talvo::bench {

enum class SoilRows {
    plausible, // every row estimated
    failing,   // no row estimated: each fails in one of the ways a table's rows do
};

// Writes a CSV table of `rows` soils (id, sand, silt, clay, oc), the same every time: sand,
// silt and clay add up to 100, OC between 0.5 and 30 g/kg. Failing rows take turns: clay
// not a number, clay empty, clay beyond the double range, OC zero (a division by zero for
// the models that divide by it, 1 among them).
void writeSoilTable(std::ostream& out, std::uint64_t rows, SoilRows kind = SoilRows::plausible);

} // namespace talvo::bench
