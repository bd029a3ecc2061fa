#include "estimation/estimation.h"
#include "table/csv.h"
#include "table/hydraulics.h"
#include "table/run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

// What a run wrote: its table, its summary, and the damaged record's line where it met one.
struct Written {
    std::string table;
    std::string summary;
    std::uint64_t damagedLine = 0;
    HydraulicTally tally;
};

// `threads` 0: writeHydraulics on the calling thread, as the page runs it.
Written write(const std::string& csv, const Settings& settings, const HydraulicArguments& arguments,
              unsigned threads) {
    std::istringstream input(csv);
    std::ostringstream table;
    HydraulicProfiles profiles;
    HydraulicProfiles* const kept = settings.profiles ? &profiles : nullptr;
    Written out;
    try {
        out.tally = threads == 0 ? writeHydraulics(input, table, settings, arguments, kept)
                                 : runHydraulics(input, table, settings, arguments, kept, threads);
        if (kept != nullptr) {
            std::ostringstream summary;
            writeHydraulicSummary(profiles, settings, summary);
            out.summary = summary.str();
        }
    } catch (const CsvError& error) {
        out.damagedLine = error.line();
    }
    out.table = table.str();
    return out;
}

// Horizons of many profiles, sizes on the USDA scale; a long note makes each row some
// `noteBytes` so that the table spans many chunks.
std::string horizonTable(int profiles, std::size_t noteBytes) {
    std::string csv = "profile,top,bottom,sand,silt,clay,om,bd,topsoil,note\n";
    const std::string note(noteBytes, 'n');
    for (int p = 0; p < profiles; ++p) {
        for (int h = 0; h < 3; ++h) {
            const int sand = 10 + (p * 7 + h * 13) % 70;
            const int clay = 5 + (p * 3 + h) % 40;
            csv += "P" + std::to_string(p) + ',' + std::to_string(h * 30) + ',' +
                   std::to_string(h * 30 + 30) + ',' + std::to_string(sand) + ',' +
                   std::to_string(100 - sand - clay) + ',' + std::to_string(clay) + ",2.5," +
                   (p % 5 == 0 ? "" : "1.4") + ',' + (h == 0 ? "1" : "0") + ",\"" + note +
                   (p % 11 == 0 ? ",\"\"quoted\"\"" : "") + "\"\n";
        }
    }
    return csv;
}

Settings settingsWith(bool profiles, bool spread) {
    Settings settings;
    settings.particleSizeScale = estimation::ParticleSizeScale::usda;
    settings.profiles = profiles;
    if (spread) {
        settings.spreads[static_cast<std::size_t>(estimation::Input::sand)] =
            base::SpreadSource{.column = "", .value = 2.0};
    }
    return settings;
}

// The threaded run hands every chunk back in order with its horizons and draws: the table
// and the profiles' sums are the single thread's, byte for byte, whatever the chunks.
TEST(RunHydraulics, ThreadsWriteWhatOneThreadWrites) {
    struct Case {
        const char* name;
        int profiles;
        std::size_t noteBytes; // plain runs take 256 KiB chunks, --sd runs 4 KiB
        bool horizons;
        bool spread;
    };
    const std::vector<Case> cases{
        {"rows", 200, 1500, false, false},
        {"profiles", 200, 1500, true, false},
        {"profiles with --sd", 8, 400, true, true},
    };
    HydraulicArguments arguments;
    arguments.models = {estimation::HydraulicModel::saxtonRawls,
                        estimation::HydraulicModel::hypres};
    for (const Case& c : cases) {
        const std::string csv = horizonTable(c.profiles, c.noteBytes);
        const Settings settings = settingsWith(c.horizons, c.spread);
        const Written one = write(csv, settings, arguments, 0);
        EXPECT_EQ(one.tally.rows, static_cast<std::uint64_t>(c.profiles) * 3 * 2) << c.name;
        EXPECT_EQ(one.summary.empty(), !c.horizons) << c.name;
        for (const unsigned threads : {1U, 3U}) {
            const Written many = write(csv, settings, arguments, threads);
            EXPECT_TRUE(many.table == one.table) << c.name << ", " << threads << " threads";
            EXPECT_EQ(many.summary, one.summary) << c.name << ", " << threads << " threads";
            EXPECT_EQ(many.tally.rowsWithError, one.tally.rowsWithError) << c.name;
        }
    }
}

// A damaged record far into the table ends the run with its line, once every row before it
// is written, on one thread or several.
TEST(RunHydraulics, RowsBeforeADamagedRecordAreWritten) {
    const std::string csv = horizonTable(200, 1500);
    const std::string damaged =
        csv + "Q,0,30,40,40,20,2,1.4,1,\"open\nQ,30,60,40,40,20,2,1.4,0,x\n";
    HydraulicArguments arguments;
    arguments.models = {estimation::HydraulicModel::saxtonRawls};
    const Settings settings = settingsWith(false, false);
    const Written whole = write(csv, settings, arguments, 0);
    for (const unsigned threads : {0U, 3U}) {
        const Written cut = write(damaged, settings, arguments, threads);
        EXPECT_EQ(cut.damagedLine, 602U) << threads << " threads";
        EXPECT_TRUE(cut.table == whole.table)
            << threads << " threads: " << cut.table.size() << " bytes of " << whole.table.size();
    }
}

} // namespace
} // namespace talvo::table
