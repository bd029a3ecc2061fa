#include "batch/soil_table.h"

#include <random>
#include <string>

namespace talvo::bench {

void writeSoilTable(std::ostream& out, std::uint64_t rows) {
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<int> tenths(0, 1000);
    std::uniform_int_distribution<int> organic(50, 3000);
    std::string text = "id,sand,silt,clay,oc\n";
    const auto decimal = [](int hundredths, int scale) {
        return std::to_string(hundredths / scale) + '.' + std::to_string(hundredths % scale);
    };
    for (std::uint64_t i = 0; i < rows; ++i) {
        const int sand = tenths(random);
        const int clay = tenths(random) * (1000 - sand) / 1000;
        const int silt = 1000 - sand - clay;
        text += std::to_string(i + 1) + ',' + decimal(sand, 10) + ',' + decimal(silt, 10) + ',' +
                decimal(clay, 10) + ',' + std::to_string(organic(random) / 100) + '.' +
                std::to_string(organic(random) % 100 / 10) + '\n';
        if (text.size() > (std::size_t{1} << 16)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

} // namespace talvo::bench
