#pragma once

// Maps and arrays of soils repeat themselves: neighbouring cells often hold the same sand,
// silt, clay and OC. A direct-mapped cache of recent cells keeps their results; a result
// depends on nothing but the four numbers, so a hit is the same result to the bit.

#include "estimation/detail/portable.h"

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace talvo::estimation {

template <typename Result, unsigned IndexBits> class RecentCells {
public:
    using Numbers = std::array<double, 4>; // sand, silt, clay and OC

    // `compute(numbers)` gives a cell's result. Every slot starts as the cell of four NaNs, so
    // that no slot is empty and a look-up reads one cache line.
    template <typename Compute>
    requires std::invocable<const Compute&, const Numbers&>
    explicit RecentCells(const Compute& compute)
        : m_entries(std::size_t{1} << IndexBits,
                    Entry{bitCast<Key>(NoNumbers), compute(NoNumbers)}) {}

    // The result of the cell `numbers`: a recent one's, or `compute(numbers)`, with the same
    // `compute` as the constructor's.
    template <typename Compute> const Result& find(const Numbers& numbers, const Compute& compute) {
        const auto key = bitCast<Key>(numbers);
        Entry& entry = m_entries[slot(key)];
        // Word by word: the array's == calls memcmp, which costs more than a hit saves.
        if (entry.key[0] != key[0] || entry.key[1] != key[1] || entry.key[2] != key[2] ||
            entry.key[3] != key[3]) {
            entry.key = key;
            entry.result = compute(numbers);
        }
        return entry.result;
    }

private:
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    static constexpr Numbers NoNumbers{NaN, NaN, NaN, NaN};
    using Key = std::array<std::uint64_t, 4>;
    struct alignas(64) Entry {
        Key key;
        Result result;
    };
    static_assert(sizeof(Entry) == 64, "an entry fills one cache line");

    static std::size_t slot(const Key& key) noexcept {
        std::uint64_t hash = 0;
        for (const std::uint64_t word : key) {
            hash = (hash ^ word) * 0x9E3779B97F4A7C15U;
        }
        return static_cast<std::size_t>(hash >> (64 - IndexBits));
    }

    std::vector<Entry> m_entries;
};

} // namespace talvo::estimation
