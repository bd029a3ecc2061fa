#include "base/error.h"
#include "base/options.h"
#include "table/chunks.h"
#include "table/converter.h"
#include "table/horizons.h"
#include "table/options.h"

#ifndef __EMSCRIPTEN__
#include "table/run.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {
namespace {

// talvo-batch's options, parsed as the command line and the page parse them.
Settings settingsFrom(const std::vector<std::string>& arguments) {
    Settings settings;
    settings.delimiter = '\0';
    for (std::size_t i = 0; i + 1 < arguments.size(); i += 2) {
        const std::string& option = arguments[i];
        const std::string& value = arguments[i + 1];
        if (option == "--model") {
            settings.models = base::parseModels(value, settings.allModels);
        } else if (option == "--decimal") {
            settings.decimal = base::parseDecimal(value);
        } else if (option == "--delimiter") {
            settings.delimiter = parseDelimiter(value);
        } else if (option == "--precision") {
            settings.precision = base::parsePrecision(value);
        } else if (option == "--column") {
            addColumn(settings, value);
        } else if (option == "--prefix") {
            settings.prefix = value;
        } else if (option == "--profiles") {
            settings.profiles = value == "on";
        } else if (option == "--root-depth") {
            settings.rootZone.rootDepth = base::parseRootDepth(value);
        } else if (option == "--safe-cells") {
            settings.safeCells = value == "on";
        } else if (option == "--cf-by") {
            settings.basis = base::parseCoarseFragmentBasis(value);
        } else {
            ADD_FAILURE() << "no such option " << option;
        }
    }
    settleDelimiter(settings);
    return settings;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << "cannot read " << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct Converted {
    std::string output;
    std::string error; // the line talvo-batch writes, less its name; empty when none
    std::string notices;
    Summary summary;
    std::string profiles; // the --summary file's text
};

// `input` pushed in pieces of `piece` bytes, pulling after each as the page does.
Converted convert(std::string_view input, const Settings& settings, std::size_t piece,
                  const std::string& name = "soils.csv") {
    Converted result;
    Converter converter(settings, name,
                        [&result](const std::string& text) { result.notices += text + '\n'; });
    const auto drain = [&] {
        for (std::string_view out = converter.pull(); !out.empty(); out = converter.pull()) {
            result.output += out;
        }
    };
    try {
        for (std::size_t at = 0; at < input.size(); at += piece) {
            converter.push(input.substr(at, piece));
            drain();
        }
        converter.finish();
        drain();
    } catch (const base::Error& error) {
        result.error = error.what();
    }
    result.summary = converter.summary();
    result.profiles = converter.profileSummary();
    return result;
}

// The tables talvo-batch's own tests run, with the same options: the output is its standard
// output byte for byte, and an error its line, whatever the pieces the input comes in.
TEST(Converter, GivesTalvoBatchsOutput) {
    struct Case {
        const char* expected; // in expected/, or "" for no output
        const char* input;    // in cases/
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::vector<std::string> survey{"--column", "sand=Sand (%)", "--column", "silt=Silt (%)",
                                          "--column", "clay=Clay (%)", "--column", "oc=SOC (g/kg)"};
    std::vector<std::string> surveyPrefixed = survey;
    surveyPrefixed.insert(surveyPrefixed.end(),
                          {"--model", "all", "--decimal", ",", "--prefix", "est_"});
    std::vector<std::string> surveyUnprefixed = survey;
    surveyUnprefixed.insert(surveyUnprefixed.end(), {"--model", "0", "--decimal", ","});
    const std::vector<Case> cases{
        {"all_models_fixed", "soils.csv", {"--model", "all"}, ""},
        {"output_file", "soils.csv", {"--model", "all", "--precision", "general"}, ""},
        {"model_list", "soils.csv", {"--model", "rawls et al., 1982,3"}, ""},
        {"model_beginning", "soils.csv", {"--model", "TOM,singh"}, ""},
        {"decimal_comma", "decimal_comma.csv", {"--model", "all", "--decimal", ","}, ""},
        {"tab_delimiter", "soils.tsv", {"--model", "3", "--delimiter", "tab"}, ""},
        {"quoting", "quoting.csv", {"--model", "5"}, ""},
        {"safe_cells", "formulas.csv", {"--model", "0", "--safe-cells", "on"}, ""},
        {"crlf_bom", "crlf_bom.csv", {"--model", "0"}, ""},
        {"blank_lines", "blank_lines.csv", {"--model", "4"}, ""},
        {"header_only", "header_only.csv", {"--model", "0"}, ""},
        {"malformed_rows", "malformed.csv", {"--model", "6"}, ""},
        {"failures", "failures.csv", {"--model", "1"}, ""},
        {"field_survey", "field_survey.csv", surveyPrefixed, ""},
        {"one_row", "one_row.csv", {"--model", "1"}, ""},
        {"ssurgo", "ssurgo.csv", {"--model", "2,0"}, ""},
        {"unit_headers", "unit_headers.csv", {"--model", "1", "--decimal", ","}, ""},
        {"column_list",
         "two_kinds.csv",
         {"--model", "4", "--column", "sand=sandtotal_r", "--column", "clay=claytotal_r"},
         ""},
        {"",
         "two_kinds.csv",
         {"--model", "4"},
         "two_kinds.csv: columns \"sand_pct\" (column 2) and \"sandtotal_r\" (column 3) could "
         "each be sand: name the one to read with --column sand=HEADER"},
        {"unterminated_quote",
         "unterminated.csv",
         {"--model", "0"},
         "unterminated.csv, line 4: unterminated quote"},
        {"", "field_survey.csv", surveyUnprefixed,
         "field_survey.csv: the input already has a column named fc (column 7): name the added "
         "columns with --prefix, such as --prefix est_ for est_fc"},
        {"",
         "control_header.csv",
         {"--model", "0"},
         "control_header.csv: missing column: sand; the header has \"id\\x1b[2J\", "
         "\"sa\\x00nd\", \"clay\": name it with --column, such as --column sand=HEADER"},
        {"",
         "empty.csv",
         {"--model", "0"},
         "the input is empty: the first row must name the columns"},
    };
    const std::string folder = TALVO_BATCH_TESTS;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.input) + " " + c.expected);
        const std::string input = fileText(folder + "/cases/" + c.input);
        const std::string wanted =
            *c.expected != '\0' ? fileText(folder + "/expected/" + c.expected + ".csv") : "";
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, input.size() + 1}) {
            SCOPED_TRACE(piece);
            const Converted converted = convert(input, settingsFrom(c.arguments), piece, c.input);
            EXPECT_EQ(converted.output, wanted);
            EXPECT_EQ(converted.error, c.error);
        }
    }
}

// A failure names the cell it was read from, found again in its row: on the quick path for
// lines without quotes and on the careful one, in any column, with the decimal comma too.
TEST(Converter, NamesTheCellOfAFailure) {
    struct Case {
        std::string row; // below the header id,sand,clay,oc,note (or with ;)
        std::vector<std::string> arguments;
        std::string error; // the row's last field
    };
    const std::vector<Case> cases{
        {"1,40,twenty,5,a", {"--model", "1"}, R"("Type mismatch: clay ""twenty""")"},
        {"2,40,20,x,b", {"--model", "1"}, R"("Type mismatch: oc ""x""")"},
        {"3,,20,5,c", {"--model", "1"}, "Missing: sand"},
        {"4,1e999,20,5,d", {"--model", "1"}, "Overflow: sand"},
        // Silt read from the clay column: one cell for two inputs.
        {"5,40,2x,5,e",
         {"--model", "1", "--column", "silt=clay"},
         R"("Type mismatch: clay ""2x""")"},
        {"6;40,5;20;5,1x;f", {"--model", "1", "--decimal", ","}, R"("Type mismatch: oc ""5,1x""")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const char delimiter = c.row.find(';') != std::string::npos ? ';' : ',';
        std::string header = "id,sand,clay,oc,note\n";
        std::replace(header.begin(), header.end(), ',', delimiter);
        // A quoted header sends every row through the careful reader.
        for (const std::string& first : {header, "\"id\"" + header.substr(2)}) {
            const Converted converted =
                convert(first + c.row + "\n", settingsFrom(c.arguments), std::size_t{1} << 16);
            const std::string& out = converted.output;
            EXPECT_TRUE(out.ends_with(delimiter + c.error + "\n")) << out;
        }
    }
}

// The page refuses what talvo-batch refuses, in its words.
TEST(Options, RefusedAsTalvoBatchRefuses) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--decimal", ":"}, "--decimal ':': give . or ,"},
        {{"--decimal", ".."}, "--decimal '..': give . or ,"},
        {{"--model", "t"},
         "--model 't' names the beginning of TALVO PTF model (PSD), TALVO PTF model (PSD + OC), "
         "Tomasella and Hodnett, 1998: give more of the name, or the position"},
        {{"--model", "0,Rawls 1982"},
         "unknown model 'Rawls 1982': give positions 0 to 6 or names (or their beginnings) as "
         "--list-models shows them, separated by commas, or all"},
    };
    for (const Case& c : cases) {
        try {
            settingsFrom(c.arguments);
            ADD_FAILURE() << c.arguments[1] << " accepted";
        } catch (const base::Error& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
        }
    }
}

// What talvo-batch says besides the table: the models left out, the rows with an error.
TEST(Converter, TellsOfModelsLeftOutAndRowsWithAnError) {
    const Converted converted =
        convert("id,sand,clay\n1,40,20\n2,x,20\n", settingsFrom({"--model", "all"}), 5);
    EXPECT_EQ(converted.notices, "TALVO PTF model (PSD + OC) left out: no column oc\n"
                                 "Rawls et al., 1982 left out: no column oc\n"
                                 "Tomasella and Hodnett, 1998 left out: no column silt\n"
                                 "Adhikary et al., 2008 left out: no column silt\n"
                                 "Chakraborty et al., 2011 left out: no column silt\n");
    EXPECT_EQ(converted.summary.records, 2U);
    EXPECT_EQ(failedRowsNote(converted.summary),
              "2 of 4 rows could not be estimated; the error column says why");
}

// A table of many chunks, with quoted chunks among unquoted ones and CRLF: whatever the
// pieces it is pushed in, the output is the same, and natively the threaded run's.
TEST(Converter, ManyChunksComeOutAsTheThreadedRunWrites) {
    std::string csv = "id;sand;silt;clay;oc;note\r\n";
    for (int i = 0; i < 60000; ++i) {
        const int sand = i % 80;
        const std::string id =
            i % 5000 == 0 ? "\"row;" + std::to_string(i) + "\"" : std::to_string(i);
        csv += id + ';' + std::to_string(sand) + ",5;20;" + std::to_string(80 - sand) + ';' +
               std::to_string(i % 7) + ";field note\r\n";
    }
    csv += "60000;40;\"20\r\n60001;40;20\r\n"; // a quote never closed
    ASSERT_GT(csv.size(), ReadAhead);          // more than the converter keeps back
    const Settings settings = settingsFrom({"--model", "0,1", "--decimal", ","});
    const Converted whole = convert(csv, settings, csv.size());
    EXPECT_EQ(whole.error, "soils.csv, line 60002: unterminated quote");
    EXPECT_EQ(whole.summary.records, 60000U);
    EXPECT_GT(whole.output.size(), 2 * csv.size());
    for (const std::size_t piece : {std::size_t{4096}, std::size_t{300000}}) {
        const Converted pieces = convert(csv, settings, piece);
        // Not EXPECT_EQ: gtest's line diff of two such tables would take gigabytes.
        EXPECT_TRUE(pieces.output == whole.output) << piece << "-byte pieces";
        EXPECT_EQ(pieces.error, whole.error);
    }
#ifndef __EMSCRIPTEN__
    std::istringstream input(csv);
    std::ostringstream output;
    RunOptions options;
    options.threads = 3;
    EXPECT_THROW(runTable(input, output, settings, options), base::Error);
    EXPECT_TRUE(output.str() == whole.output)
        << output.str().size() << " bytes threaded, " << whole.output.size() << " without";
#endif
}

// A horizon table of many chunks, profiles spread over all of them and some rows quoted:
// whatever the pieces, rows and profile sums are the same, and natively the threaded run's.
TEST(Converter, HorizonTablesComeOutAsTheThreadedRunWrites) {
    std::string csv = "profile,top,bottom,sand,silt,clay,oc,bd,cf\n";
    for (int i = 0; i < 40000; ++i) {
        const int profile = (i * 7919) % 3000; // each profile's horizons far apart
        const int top = (i / 3000) * 20;
        const int sand = 10 + i % 70;
        const std::string id =
            i % 4000 == 0 ? "\"P," + std::to_string(profile) + "\"" : "P" + std::to_string(profile);
        csv += id + ',' + std::to_string(top) + ',' +
               std::to_string(top + 20 - (i % 997 == 0 ? 5 : 0)) + ',' + std::to_string(sand) +
               ",20," + std::to_string(80 - sand) + ",1.2," + (i % 3 == 0 ? "" : "1.4") + ',' +
               std::to_string(i % 40) + '\n';
    }
    csv += ",0,10,40,40,20,1,1.3,0\n"; // no profile
    ASSERT_GT(csv.size(), ReadAhead);
    const Settings settings = settingsFrom(
        {"--model", "0,3", "--profiles", "on", "--root-depth", "70", "--cf-by", "weight"});
    const Converted whole = convert(csv, settings, csv.size());
    ASSERT_EQ(whole.error, "");
    EXPECT_EQ(whole.summary.records, 40001U);
    EXPECT_NE(whole.profiles.find("gap"), std::string::npos);
    const Converted pieces = convert(csv, settings, 5000);
    EXPECT_TRUE(pieces.output == whole.output);
    EXPECT_TRUE(pieces.profiles == whole.profiles);
#ifndef __EMSCRIPTEN__
    std::istringstream input(csv);
    std::ostringstream output;
    ProfileTable profiles;
    RunOptions options;
    options.threads = 3;
    options.profiles = &profiles;
    runTable(input, output, settings, options);
    EXPECT_TRUE(output.str() == whole.output);
    std::ostringstream summary;
    writeProfileSummary(profiles, settings, summary);
    EXPECT_EQ(summary.str(), whole.profiles);
#endif
}

// Output comes in pieces of about PieceBytes, so the caller's memory stays bounded; after a
// failure every call fails alike.
TEST(Converter, HandsOutputOnInPiecesAndStaysFailed) {
    std::string csv = "sand,clay\n";
    for (int i = 0; i < 200000; ++i) {
        csv += "40,20\n";
    }
    Converter converter(settingsFrom({"--model", "all"}), "soils.csv");
    converter.push(csv);
    converter.finish();
    std::size_t largest = 0;
    std::size_t total = 0;
    for (std::string_view out = converter.pull(); !out.empty(); out = converter.pull()) {
        largest = std::max(largest, out.size());
        total += out.size();
    }
    EXPECT_GT(total, 10 * PieceBytes);
    EXPECT_LT(largest, 4 * PieceBytes); // a piece, and at most a chunk's rows beyond it
    EXPECT_EQ(converter.bytesDone(), csv.size());

    Converter failing(settingsFrom({"--model", "0"}), "soils.csv");
    failing.push("id,silt\n");
    failing.finish();
    for (int call = 0; call < 2; ++call) {
        try {
            failing.pull();
            ADD_FAILURE() << "no error";
        } catch (const base::Error& error) {
            EXPECT_STREQ(error.what(), "soils.csv: missing columns: sand, clay; the header has "
                                       "\"id\", \"silt\": name them with --column, such as "
                                       "--column sand=HEADER");
        }
    }
}

// The table's own cells a spreadsheet would run, header included, are counted; they go out
// byte for byte, or with --safe-cells after a '. Rows without quotes take another path than
// rows with them: both are checked.
TEST(Converter, CountsFormulaCellsAndMarksThemOnlyWhenAsked) {
    struct Case {
        std::string input;
        std::string safe; // the own fields of each line with --safe-cells
    };
    const std::string header = "=name,sand,silt,clay,note\n";
    const std::string first = "-1.5,40,40,20,@SUM(A1)\n";
    for (const Case& c : {
             Case{header + first + "+cmd,-,40,20,-2+3\n",
                  "'=name,sand,silt,clay,note\n-1.5,40,40,20,'@SUM(A1)\n'+cmd,-,40,20,'-2+3\n"},
             Case{header + first + "+cmd,-,40,20,\"-2+3, said \"\"x\"\"\"\n",
                  "'=name,sand,silt,clay,note\n-1.5,40,40,20,'@SUM(A1)\n"
                  "'+cmd,-,40,20,\"'-2+3, said \"\"x\"\"\"\n"},
         }) {
        for (const bool safe : {false, true}) {
            const Converted converted = convert(
                c.input, settingsFrom({"--model", "0", "--safe-cells", safe ? "on" : "off"}), 7);
            ASSERT_EQ(converted.error, "");
            EXPECT_EQ(converted.summary.formulaCells, 4U) << c.input;
            // Each line's own fields, up to the model's column.
            std::string own;
            std::istringstream lines(converted.output);
            for (std::string line; std::getline(lines, line);) {
                own +=
                    line.substr(0, line.find(",TALVO") == std::string::npos ? line.find(",model")
                                                                            : line.find(",TALVO")) +
                    '\n';
            }
            EXPECT_EQ(own, safe ? c.safe : c.input);
        }
    }
}

} // namespace
} // namespace talvo::table
