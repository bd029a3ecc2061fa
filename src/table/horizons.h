#pragma once

// Horizon tables: each row one horizon of a soil profile, with its depths, bulk density and
// stones; the rows' water gathered per profile, in any order, into root-zone sums.

#include "estimation/estimation.h"
#include "table/blocks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

struct Settings;

// The columns a horizon table has beside the soil's inputs.
enum class HorizonInput : std::uint8_t { profile, top, bottom, bd, cf };
inline constexpr std::array allHorizonInputs{HorizonInput::profile, HorizonInput::top,
                                             HorizonInput::bottom, HorizonInput::bd,
                                             HorizonInput::cf};
// "profile", "top", "bottom", "bd", "cf".
std::string_view headerName(HorizonInput input);
// "id": the name profile ids often go by.
inline constexpr std::string_view ProfileAlias = "id";

// Columns added to each horizon row, before `error`.
inline constexpr std::array<std::string_view, 3> HorizonColumns{"theta_fc", "theta_pwp", "aw_mm"};

// The horizons of a chunk of rows, as a worker hands them to the writer: ids packed in one
// string, water flat, one value per model (NaN: no estimate).
struct HorizonBatch {
    struct Entry {
        std::size_t idEnd;  // in `ids`, where this horizon's id ends
        std::uint64_t hash; // the id's profileHash, worked out beside the rest of the row
        double top;
        double bottom;
    };
    std::string ids;
    std::vector<Entry> entries;
    std::vector<double> water;

    void clear() noexcept {
        ids.clear();
        entries.clear();
        water.clear();
    }
    // Room for the horizons of `bytes` of rows, as many as they can hold, so that the batch
    // never moves as it grows. Reserved, not touched: pages fault in only as rows fill them.
    void reserve(std::size_t bytes, std::size_t models) {
        constexpr std::size_t ShortestRow = 10; // "p,0,1,4,2\n": a horizon's least fields
        entries.reserve(bytes / ShortestRow);
        water.reserve(bytes / ShortestRow * models);
        ids.reserve(bytes);
    }
};

// The hash a profile's id is found by.
inline std::uint64_t profileHash(std::string_view id) noexcept {
    return std::hash<std::string_view>{}(id);
}

// Every profile's horizons, as few numbers each; profiles kept in the order they first came.
// The horizons of all profiles share a few large blocks, each linked to the next of its
// profile: a vector per profile cost an allocation or more per profile, and a page fault in
// every few.
class ProfileTable {
public:
    // The models that run, once the header is read, and the line end the rows have.
    void start(const std::vector<const estimation::PtfModel*>& models, std::string_view lineEnd) {
        m_models = models;
        m_lineEnd = lineEnd;
    }
    const std::vector<const estimation::PtfModel*>& models() const noexcept { return m_models; }
    std::string_view lineEnd() const noexcept { return m_lineEnd; }

    void add(const HorizonBatch& batch);
    std::size_t size() const noexcept { return m_profiles.size(); }
    // One profile's sums with the `m`th model; `scratch` holds its horizons meanwhile.
    estimation::ProfileWater water(std::size_t profile, std::size_t m,
                                   const estimation::RootZone& zone,
                                   estimation::Profile& scratch) const;
    std::string_view id(std::size_t profile) const noexcept {
        const std::size_t idStart = profile == 0 ? 0 : m_profiles[profile - 1].idEnd;
        return std::string_view(m_ids).substr(idStart, m_profiles[profile].idEnd - idStart);
    }

private:
    // Horizons are numbered in 32 bits, as profiles are: a horizon's record is a third
    // smaller, and each byte of it is a page fault's share.
    static constexpr std::uint32_t NoHorizon = ~std::uint32_t{0};
    struct Entry {
        std::size_t idEnd; // in m_ids
        std::uint64_t hash;
        std::uint32_t first; // its first horizon, in m_horizons
        std::uint32_t last;  // its last one so far
    };
    // Part of the hash beside the profile's number, so that a probe reads no profile that
    // cannot match; eight bytes, so that eight share a cache line.
    struct Slot {
        std::uint32_t tag;    // the hash's upper half; its lower half places the profile
        std::uint32_t number; // the profile's index + 1; 0: free, so that a new index is zeros
    };
    static std::uint32_t hashTag(std::uint64_t hash) noexcept {
        return static_cast<std::uint32_t>(hash >> 32U);
    }
    // The depths as floats where floats hold them exactly, as they hold whole and half
    // centimetres; any others in full in m_exactDepths, at the place `bottom`'s bits hold,
    // with `top` NaN.
    struct Horizon {
        float top;
        float bottom;
        std::uint32_t next; // the profile's next horizon; NoHorizon after the last
    };
    std::array<double, 2> depths(const Horizon& horizon) const noexcept;
    bool holds(std::size_t profile, std::string_view id, std::uint64_t hash) const noexcept {
        return m_profiles[profile].hash == hash && this->id(profile) == id;
    }
    // The profile of `id`, added where it is new.
    Entry& find(std::string_view id, std::uint64_t hash);
    // m_slots' place for `id`: its profile's, or the free one where it would go.
    std::size_t slot(std::string_view id, std::uint64_t hash) const noexcept;
    void grow();

    std::vector<const estimation::PtfModel*> m_models;
    std::string_view m_lineEnd = "\n";
    // Every profile's id, one after another.
    std::basic_string<char, std::char_traits<char>, BlockAllocator<char>> m_ids;
    Blocks<Entry> m_profiles;
    // An open-addressed index of the profiles, at most half full.
    std::unique_ptr<Slot, FreeZeroed> m_slotMemory;
    std::span<Slot> m_slots;
    // The last two profiles found: a profile's horizons mostly come close together. Entries
    // never move, so each is kept by its address, with where its id starts.
    struct Recent {
        Entry* entry = nullptr;
        std::size_t idStart = 0;
    };
    std::array<Recent, 2> m_recent{};
    Blocks<Horizon> m_horizons;
    Blocks<std::array<double, 2>> m_exactDepths;
    Blocks<double> m_water; // per horizon, one per model (NaN: no estimate)
};

// A derived number's text in the run's precision at `out`, which holds
// estimation::FixedTextCapacity chars: fifteen digits, or two decimals rounded from them as
// the results are. The value must be finite. Returns the end.
char* writeNumberText(char* out, double value, const Settings& settings);

// The summary: a header (profile, model where several ran, depth_cm, taw_0_30, taw_0_100,
// taw_root, raw_root, root_depth, flags), then one row per profile and model. Its rows may be
// written by several threads at once, each with its own scratch profile.
class SummaryWriter {
public:
    SummaryWriter(const ProfileTable& table, const Settings& settings);
    std::string header() const;
    // The rows of profiles [first, last), appended to `out`.
    void appendRows(std::size_t first, std::size_t last, std::string& out,
                    estimation::Profile& scratch) const;

private:
    // The delimiter and a number at `out`, rounded as water is or written in full as depths
    // are; quoted where the delimiter occurs in it.
    char* writeNumber(char* out, double value, bool rounded) const;

    const ProfileTable& m_table;
    const Settings& m_settings;
    std::array<std::string, std::size_t{1} << estimation::allProfileFlags.size()> m_flagFields;
    std::vector<std::string> m_modelFields; // the delimiter and the model, where several ran
    std::string m_rootDepth;
    bool m_quoted = false; // a delimiter that can occur in a number
};

// The whole summary to `out`, from the calling thread.
void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out);

} // namespace talvo::table
