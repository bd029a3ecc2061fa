#pragma once

// Soil maps repeat themselves: neighbouring cells often hold the same sand, silt, clay and OC.
// A small direct-mapped cache of recent cells saves their estimates; a cell's result depends
// on nothing but its four numbers, so a hit is the same result to the bit.

#include "estimation/catalogue.h"
#include "estimation/input_values.h"
#include "map/cell.h"
#include "map/settings.h"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace talvo::map {

class CellCache {
public:
    CellCache(const estimation::PtfModel& model, Precision precision)
        : m_model(model), m_precision(precision), m_entries(std::size_t{1} << IndexBits) {}

    // estimateCell for sand, silt, clay and OC (NaN where there is no number).
    const CellResult& estimate(double sand, double silt, double clay, double oc) {
        const Key key{std::bit_cast<std::uint64_t>(sand), std::bit_cast<std::uint64_t>(silt),
                      std::bit_cast<std::uint64_t>(clay), std::bit_cast<std::uint64_t>(oc)};
        Entry& entry = m_entries[slot(key)];
        if (!entry.filled || !same(entry.key, key)) {
            entry.key = key;
            entry.result =
                estimateCell(m_model, estimation::inputNumbers(sand, silt, clay, oc), m_precision);
            entry.filled = true;
        }
        return entry.result;
    }

private:
    static constexpr unsigned IndexBits = 14; // 16384 entries, about 1 MiB a thread
    using Key = std::array<std::uint64_t, 4>;
    struct Entry {
        Key key{};
        CellResult result;
        bool filled = false;
    };

    static bool same(const Key& a, const Key& b) noexcept {
        return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
    }

    static std::size_t slot(const Key& key) noexcept {
        std::uint64_t hash = 0;
        for (const std::uint64_t part : key) {
            hash = (hash ^ part) * 0x9E3779B97F4A7C15ULL;
        }
        return static_cast<std::size_t>(hash >> (64 - IndexBits));
    }

    const estimation::PtfModel& m_model;
    Precision m_precision;
    std::vector<Entry> m_entries;
};

} // namespace talvo::map
