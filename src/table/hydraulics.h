#pragma once

// talvo-batch --hydraulics: each row's water-retention curve and saturated conductivity, here
// so that the page's table tab writes the same table.

#include "estimation/estimation.h"
#include "table/chunks.h"
#include "table/csv.h"
#include "table/horizons.h"
#include "table/settings.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace talvo::table {

struct HydraulicArguments {
    std::vector<estimation::HydraulicModel> models; // empty: no --hydraulics
    std::optional<bool> topsoil;                    // --topsoil; a topsoil column wins
    double fcHead = estimation::FieldCapacityHead;
};

// What a table's rows came to: how many, and how many with an error.
struct HydraulicTally {
    std::uint64_t rows = 0;
    std::uint64_t rowsWithError = 0;
};

// A horizon table's profiles, for --summary: their water by each model and, with --sd, by
// each draw (8 bytes a horizon, model and draw).
struct HydraulicProfiles {
    table::ProfileTable water;
    table::ProfileTable drawn; // a column a model's draw, each model's draws together
};

// What a chunk of a table's rows came to.
struct HydraulicChunk {
    std::string text; // the rows' lines
    HydraulicTally tally;
    table::HorizonBatch horizons; // with --summary: each horizon's water by each model
    table::HorizonBatch drawn;    // with --summary and --sd: by each model's draw
    std::exception_ptr damage;    // a damaged record ended the chunk; its lines before are in text
};

struct HydraulicLayout; // where the header holds what the models read

// Writes every input column, then per model hydraulic_model, theta_r, theta_s, alpha, n, ks,
// fc, pwp, awc, flags, with --profiles theta_fc, theta_pwp and aw_mm, with --sd the
// percentiles, and error: one line per row and model. Copied for each thread that formats.
class HydraulicFormatter {
public:
    // Throws base::Error for a header the models cannot use. `keepHorizons`: gather the
    // horizons for --summary.
    HydraulicFormatter(const table::RecordView& header, const table::Settings& settings,
                       const HydraulicArguments& arguments, bool keepHorizons);
    // The output's header line, line break included.
    std::string header(const table::RecordView& header) const;
    // Formats the chunk's rows into `out`, cleared first.
    void format(const table::Chunk& chunk, HydraulicChunk& out);

private:
    std::shared_ptr<const HydraulicLayout> m_layout;
    const table::Settings* m_settings;
    const HydraulicArguments* m_arguments;
    estimation::SoilDraws m_draws; // with --sd
    std::string m_inputs;          // a row's input cells, written once for all its models
    bool m_keepHorizons;
};

// Reads the header from `reader`, writes the output's header line and starts `profiles`
// where given. Throws base::Error for a header the models cannot use, table::CsvError for a
// damaged one.
HydraulicFormatter startHydraulics(table::ChunkReader& reader, std::ostream& output,
                                   const table::Settings& settings,
                                   const HydraulicArguments& arguments,
                                   HydraulicProfiles* profiles);

// Writes a formatted chunk's lines and adds its horizons to `profiles` where given; then
// rethrows its damage.
void takeHydraulicChunk(const HydraulicChunk& chunk, std::ostream& output,
                        HydraulicProfiles* profiles, HydraulicTally& tally);

// The bytes of input a chunk aims at. With --sd a row is a thousand estimates and more: small
// chunks keep every thread busy, and the draws kept for --summary in bounds.
std::size_t hydraulicChunkBytes(const table::Settings& settings);

// The whole table from `input` to `output` on the calling thread, a chunk at a time (the
// browser's build has no threads). Throws as startHydraulics, and table::CsvError at a
// damaged record once the lines before it are written.
HydraulicTally writeHydraulics(std::istream& input, std::ostream& output,
                               const table::Settings& settings, const HydraulicArguments& arguments,
                               HydraulicProfiles* profiles = nullptr);

// A number of the added columns as the table writes it at `out`, which holds
// estimation::ResultTextCapacity chars: with fixed precision water and conductivity to two
// decimals and alpha and n (`significant`) to four significant digits; with general, 15
// digits. Nothing where the model gives none. Returns the end.
char* writeHydraulicNumber(char* out, double value, bool significant,
                           estimation::Precision precision, char separator);
// The same as a string.
std::string hydraulicText(double value, bool significant, estimation::Precision precision,
                          estimation::DecimalSeparator separator = {});

// The profiles' sums as --summary writes them, with --sd each model's TAW 0-30, 0-100 and to
// the root depth at p05 and p95 over the draws.
void writeHydraulicSummary(HydraulicProfiles& profiles, const table::Settings& settings,
                           std::ostream& output);

} // namespace talvo::table
