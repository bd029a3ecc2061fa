#pragma once

// Horizon tables: each row one horizon of a soil profile, with its depths, bulk density and
// stones; the rows' water gathered per profile, in any order, into root-zone sums.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
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
        std::size_t idEnd; // in `ids`, where this horizon's id ends
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
};

// Every profile's horizons, as few numbers each; profiles kept in the order they first came.
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
    std::size_t size() const noexcept { return m_ids.size(); }
    // One profile's sums with the `m`th model.
    estimation::ProfileWater water(std::size_t profile, std::size_t m,
                                   const estimation::RootZone& zone) const {
        return m_profiles[profile * m_models.size() + m].water(zone);
    }
    const std::string& id(std::size_t profile) const { return m_ids[profile]; }

private:
    std::vector<const estimation::PtfModel*> m_models;
    std::string_view m_lineEnd = "\n";
    // Hashed as views, so that a horizon's id is looked up without a copy.
    struct IdHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view id) const noexcept {
            return std::hash<std::string_view>{}(id);
        }
    };
    std::unordered_map<std::string, std::size_t, IdHash, std::equal_to<>> m_index;
    std::vector<std::string> m_ids;
    std::vector<estimation::Profile> m_profiles; // profile-major, one per model
};

// A derived number's text in the run's precision: fifteen digits, or two decimals rounded
// from them as the results are. The value must be finite.
std::string numberText(double value, const Settings& settings);
// The same text at `out`, which holds estimation::FixedTextCapacity chars; returns the end.
char* writeNumberText(char* out, double value, const Settings& settings);

// The summary: a header (profile, model where several ran, depth_cm, taw_0_30, taw_0_100,
// taw_root, raw_root, root_depth, flags), then one row per profile and model.
void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out);

} // namespace talvo::table
