#pragma once

#include <cstdint>
#include <ostream>

namespace talvo::bench {

// Writes a CSV table of `rows` plausible soils (id, sand, silt, clay, oc), the same every
// time: sand, silt and clay add up to 100, OC between 0.5 and 30 g/kg.
void writeSoilTable(std::ostream& out, std::uint64_t rows);

} // namespace talvo::bench
