#include "batch/soil_table.h"

#include <random>
#include <string>

namespace talvo::bench {

void writeSoilTable(std::ostream& out, std::uint64_t rows) {
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<int> percent(0, 1000); // in tenths
    std::uniform_int_distribution<int> organic(5, 300);  // in tenths of g/kg
    std::string text = "id,sand,silt,clay,oc\n";
    const auto decimal = [](int tenths) {
        return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
    };
    for (std::uint64_t i = 0; i < rows; ++i) {
        const int sand = percent(random);
        const int clay = percent(random) * (1000 - sand) / 1000;
        const int silt = 1000 - sand - clay;
        text += std::to_string(i + 1) + ',' + decimal(sand) + ',' + decimal(silt) + ',' +
                decimal(clay) + ',' + decimal(organic(random)) + '\n';
        if (text.size() > (std::size_t{1} << 16)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

} // namespace talvo::bench
