#include "batch/soil_table.h"

#include <array>
#include <random>
#include <string>
#include <string_view>

namespace talvo::bench {

void writeSoilTable(std::ostream& out, std::uint64_t rows, SoilRows kind) {
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<int> percent(0, 1000); // in tenths
    std::uniform_int_distribution<int> organic(5, 300);  // in tenths of g/kg
    std::string text = "id,sand,silt,clay,oc\n";
    const auto decimal = [](int tenths) {
        return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
    };
    constexpr std::array<std::string_view, 3> badClay{"x", "", "1e999"};
    for (std::uint64_t i = 0; i < rows; ++i) {
        const int sand = percent(random);
        const int clay = percent(random) * (1000 - sand) / 1000;
        const int silt = 1000 - sand - clay;
        std::string clayText = decimal(clay);
        std::string ocText = decimal(organic(random));
        if (kind == SoilRows::failing) {
            const std::uint64_t turn = i % (badClay.size() + 1);
            if (turn < badClay.size()) {
                clayText = badClay[turn];
            } else {
                ocText = "0";
            }
        }
        text += std::to_string(i + 1) + ',' + decimal(sand) + ',' + decimal(silt) + ',' + clayText +
                ',' + ocText + '\n';
        if (text.size() > (std::size_t{1} << 16)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

} // namespace talvo::bench
