#pragma once

// Horizon tables: each row one horizon of a soil profile, with its depths, bulk density and
// stones; the rows' water gathered per profile, in any order, into root-zone sums.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

struct Settings;

// The columns a horizon table has beside the soil's inputs. Measured water comes as % by
// volume (thetaFc, thetaPwp) or as cm3/cm3 (dul, ll15).
enum class HorizonInput : std::uint8_t {
    profile,
    top,
    bottom,
    bd,
    cf,
    thetaFc,
    thetaPwp,
    dul,
    ll15
};
inline constexpr std::array allHorizonInputs{
    HorizonInput::profile,  HorizonInput::top, HorizonInput::bottom,
    HorizonInput::bd,       HorizonInput::cf,  HorizonInput::thetaFc,
    HorizonInput::thetaPwp, HorizonInput::dul, HorizonInput::ll15};
// Of these, the ones a horizon table must have.
inline constexpr bool requiredHorizonInput(HorizonInput input) noexcept {
    return input == HorizonInput::profile || input == HorizonInput::top ||
           input == HorizonInput::bottom;
}
// "profile", "top", "bottom", "bd", "cf", "theta_fc", "theta_pwp", "dul", "ll15".
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
    // With Settings::soilDetails, per horizon its HorizonSoilDetails::Fields, then each
    // model's FC and PWP (NaN: none).
    std::vector<double> details;

    // A horizon's place: its profile's id and its depths; its water comes apart.
    void add(std::string_view profile, double top, double bottom) {
        ids.append(profile);
        entries.push_back({ids.size(), top, bottom});
    }
    void clear() noexcept {
        ids.clear();
        entries.clear();
        water.clear();
        details.clear();
    }
};

// A horizon as soil files need it, kept with Settings::soilDetails.
struct HorizonSoilDetails {
    // What a row gives beside its water: sand, silt, clay (%, on the run's particle-size
    // scale), organic carbon (%), bd (g/cm³), cf (% on the run's basis); NaN where not given.
    static constexpr std::size_t Fields = 6;
    double top = 0.0;
    double bottom = 0.0;
    std::array<double, Fields> soil{};
    double fc = 0.0;  // % v/v of the whole soil, as the horizon's water was summed from
    double pwp = 0.0; // likewise
};

// Every profile's horizons; profiles kept in the order they first came. Horizons are added
// in runs, a run being a profile's horizons while it is one of the last two seen; gather()
// joins each profile's runs once the input is read. Sorting the runs by id then costs far
// less than looking up every new profile in an index as it comes.
class ProfileTable {
public:
    // The models that run, once the header is read, and the line end the rows have.
    void start(const std::vector<const estimation::PtfModel*>& models, std::string_view lineEnd) {
        std::vector<std::string> names;
        names.reserve(models.size());
        for (const estimation::PtfModel* model : models) {
            names.emplace_back(model->listText);
        }
        start(std::move(names), lineEnd);
    }
    // The same for models known by their names alone, as the hydraulic models are.
    void start(std::vector<std::string> modelNames, std::string_view lineEnd) {
        m_modelNames = std::move(modelNames);
        m_lineEnd = lineEnd;
    }
    const std::vector<std::string>& modelNames() const noexcept { return m_modelNames; }
    std::string_view lineEnd() const noexcept { return m_lineEnd; }

    void add(const HorizonBatch& batch);
    // Joins each profile's runs: size(), id() and water() then hold every horizon added.
    void gather();
    std::size_t size() const noexcept { return m_profiles.size(); }
    // One profile's sums with the `m`th model; `scratch` holds its horizons meanwhile.
    estimation::ProfileWater water(std::size_t profile, std::size_t m,
                                   const estimation::RootZone& zone,
                                   estimation::Profile& scratch) const;
    std::string_view id(std::size_t profile) const noexcept { return runId(m_profiles[profile]); }
    // With Settings::soilDetails: the horizons of `profile` in the order they came, with the
    // `m`th model's FC and PWP.
    std::vector<HorizonSoilDetails> details(std::size_t profile, std::size_t m) const;

private:
    static constexpr std::size_t None = ~std::size_t{0};
    // A run's horizons are linked in the order they came, all in one deque; gather() links
    // each run's last horizon to the next run of its profile.
    struct Horizon {
        double top;
        double bottom;
        std::size_t next; // the profile's next horizon; None after the last
    };
    struct Run {
        std::size_t idEnd; // in m_ids, where the run's id ends
        std::size_t first;
        std::size_t last;
    };
    std::string_view runId(std::size_t run) const noexcept {
        const std::size_t idStart = run == 0 ? 0 : m_runs[run - 1].idEnd;
        return std::string_view(m_ids).substr(idStart, m_runs[run].idEnd - idStart);
    }
    // The run of `id`, started where it is not one of the last two.
    std::size_t find(std::string_view id);

    std::vector<std::string> m_modelNames;
    std::string_view m_lineEnd = "\n";
    std::string m_ids; // every run's id, one after another
    std::vector<Run> m_runs;
    std::vector<std::size_t> m_profiles; // each profile's first run, once gathered
    // The last two runs: horizons mostly come a profile or two at a time.
    std::array<std::size_t, 2> m_recent{None, None};
    // Deques: a vector's growth would copy millions of horizons, and leave its old room
    // standing in the heap.
    std::deque<Horizon> m_horizons;
    std::deque<double> m_water;   // per horizon, one per model (NaN: no estimate)
    std::deque<double> m_details; // per horizon, as HorizonBatch::details; empty without
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
    std::size_t size() const noexcept { return m_table.size(); }

    // Columns after flags, such as the sums' percentiles with --sd: `append` writes a profile's
    // and model's cells, each after the delimiter.
    using ExtraCells = std::function<void(std::size_t profile, std::size_t model, std::string&)>;
    void addColumns(std::vector<std::string> names, ExtraCells append) {
        m_extraNames = std::move(names);
        m_extraCells = std::move(append);
    }

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
    std::vector<std::string> m_extraNames;
    ExtraCells m_extraCells;
};

// The whole summary to `out`, from the calling thread.
void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out);
// The same by a writer given its columns.
void writeProfileSummary(const SummaryWriter& writer, std::ostream& out);

} // namespace talvo::table
