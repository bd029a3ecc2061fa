#pragma once

// Horizon tables: each row one horizon of a soil profile, with its depths, bulk density and
// stones; the rows' water gathered per profile, in any order, into root-zone sums.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <cstdint>
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

// The horizons of a chunk of rows, as a worker hands them on: ids packed in one string,
// water flat, one value per model (NaN: no estimate).
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

// Every profile's horizons; profiles kept in the order they first came.
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
    std::string_view id(std::size_t profile) const noexcept { return *m_profiles[profile].id; }

private:
    static constexpr std::size_t None = ~std::size_t{0};
    // A profile's horizons are linked in the order they came, all in one vector.
    struct Horizon {
        double top;
        double bottom;
        std::size_t next; // the profile's next horizon; None after the last
    };
    struct Profile {
        const std::string* id; // m_index's key, which stays where it is
        std::size_t first;
        std::size_t last;
    };
    // The profile of `id`, added where it is new.
    std::size_t find(std::string_view id);

    std::vector<const estimation::PtfModel*> m_models;
    std::string_view m_lineEnd = "\n";
    std::unordered_map<std::string, std::size_t> m_index; // each profile by its id
    std::vector<Profile> m_profiles;
    // The last two profiles found: horizons mostly come a profile or two at a time.
    std::array<std::size_t, 2> m_recent{None, None};
    std::vector<Horizon> m_horizons;
    std::vector<double> m_water; // per horizon, one per model (NaN: no estimate)
};

// A derived number's text in the run's precision at `out`, which holds
// estimation::ResultTextCapacity chars: fifteen digits, or two decimals rounded from them as
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
