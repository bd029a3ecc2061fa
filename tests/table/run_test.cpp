#include "estimation/estimation.h"
#include "table/columns.h"
#include "table/csv.h"
#include "table/run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace talvo::table {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

struct Outcome {
    std::string output;
    Summary summary;
};

Outcome run(const std::string& csv, const Settings& settings, unsigned threads = 2) {
    std::istringstream input(csv);
    std::ostringstream output;
    RunOptions options;
    options.threads = threads;
    const Summary summary = runTable(input, output, settings, options);
    return {output.str(), summary};
}

Settings settingsFor(const std::string& model, Precision precision = Precision::fixed) {
    Settings settings;
    if (model == "all") {
        settings.allModels = true;
        for (const estimation::PtfModel& row : estimation::ModelCatalogue) {
            settings.models.push_back(&row);
        }
    } else {
        settings.models.push_back(estimation::modelAt(std::stoi(model)));
    }
    settings.precision = precision;
    return settings;
}

// Counts what it is given, and takes no more once `limit` bytes have come.
class Sink final : public std::streambuf {
public:
    explicit Sink(std::streamsize limit) : m_limit(limit) {}
    std::streamsize largest = 0;
    std::streamsize total = 0;

protected:
    std::streamsize xsputn(const char* /*text*/, std::streamsize count) override {
        largest = std::max(largest, count);
        total += count;
        return total > m_limit ? 0 : count;
    }
    int_type overflow(int_type c) override {
        ++total;
        return traits_type::not_eof(c);
    }

private:
    std::streamsize m_limit;
};

// Columns are found by name in any order, case and blanks, other columns kept in place; a
// header the models cannot use stops the run before any row.
TEST(RunTable, ReadsTheHeader) {
    // A NUL, an escape sequence and a tab, whole: the literal's own length (sv), not a count.
    constexpr std::string_view headerWithControls = "i\0d\x1b[2J,sand\tclay\n"sv;
    // The table, the model, and the output or the error.
    const std::vector<std::tuple<std::string, const char*, std::string>> cases{
        {"Id, CLAY ,note,Sand,oc\n7,20,\"a, b\",40,5\n", "2",
         "Id, CLAY ,note,Sand,oc,model,unit,fc,pwp,awc,texture,flags,error\n"
         "7,20,\"a, b\",40,5,\"Rawls et al., 1982\",% v/v,50.85,26.28,36.86,,,\n"},
        // A second column of a name the model does not read is only kept.
        {"sand,clay,oc,oc\n40,20,x,y\n", "0",
         "sand,clay,oc,oc,model,unit,fc,pwp,awc,texture,flags,error\n"
         "40,20,x,y,TALVO PTF model (PSD),% w/w,23.38,7.69,35.09,,,\n"},
        // With every model asked for, those whose columns are missing are left out.
        {"Sand,CLAY\n40,20\n", "all",
         "Sand,CLAY,model,unit,fc,pwp,awc,texture,flags,error\n"
         "40,20,TALVO PTF model (PSD),% w/w,23.38,7.69,35.09,,,\n"
         "40,20,\"Singh, 2000\",% v/v,37.58,10.97,39.92,,,\n"},
        {"sand,silt\n40,20\n", "0",
         "missing column: clay; the header has \"sand\", \"silt\": name it with --column, such "
         "as --column clay=HEADER"},
        {"sand,clay,FC\n40,20,1\n", "0",
         "the input already has a column named FC (column 3): name the added columns with "
         "--prefix, such as --prefix est_ for est_fc"},
        {"sand,clay,SAND\n1,2,3\n", "0", "two columns named sand (columns 1 and 3)"},
        // SSURGO's names; organic matter 8.62 % read as OC 8.62 / 1.724 = 5, which Rawls
        // reads as 40, 20, 5 above.
        {"claytotal_r,sandtotal_r,om_r\n20,40,8.62\n", "2",
         "claytotal_r,sandtotal_r,om_r,model,unit,fc,pwp,awc,texture,flags,error\n"
         "20,40,8.62,\"Rawls et al., 1982\",% v/v,50.85,26.28,36.86,,,\n"},
        // Organic matter no model reads is only kept; units after the names.
        {"Sand (%),clay_pct,OM\n40,20,x\n", "0",
         "Sand (%),clay_pct,OM,model,unit,fc,pwp,awc,texture,flags,error\n"
         "40,20,x,TALVO PTF model (PSD),% w/w,23.38,7.69,35.09,,,\n"},
        {"sand_pct,Sand (%),clay\n1,2,3\n", "0",
         "columns \"sand_pct\" (column 1) and \"Sand (%)\" (column 2) could each be sand: "
         "name the one to read with --column sand=HEADER"},
        {"sa\"nd,clay\n", "0", "line 1: stray quote in header field 1"},
        {std::string("\xFF\xFEs\0a\0n\0d\0", 10), "0",
         "the input is UTF-16 text: save it as CSV in UTF-8"},
        // Header text is echoed escaped: whole past a NUL, and unable to drive the terminal.
        {std::string(headerWithControls), "0",
         "missing columns: sand, clay; the header has \"i\\x00d\\x1b[2J\", \"sand\\tclay\": "
         "name them with --column, such as --column sand=HEADER"},
        {"sand,clay,\tFC\n", "0",
         "the input already has a column named \\tFC (column 3): name the added columns "
         "with --prefix, such as --prefix est_ for est_fc"},
    };
    for (const auto& [csv, model, wanted] : cases) {
        SCOPED_TRACE(csv);
        std::string outcome;
        try {
            outcome = run(csv, settingsFor(model)).output;
        } catch (const base::Error& error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, wanted);
    }
}

// A header the models cannot use names the input, and the line where the error has one; the
// names --column gave are echoed escaped, in errors as in the notice of a model left out.
TEST(RunTable, HeaderErrorsNameTheInput) {
    const std::string escape = "S\x1b";
    struct Case {
        std::string csv;
        const char* model;
        std::string sandColumn; // --column sand=
        std::string wanted;     // the error, or the notices
    };
    const std::vector<Case> cases{
        {"id,silt\n", "0", "",
         "soils.csv: missing columns: sand, clay; the header has \"id\", \"silt\": name them "
         "with --column, such as --column sand=HEADER"},
        {"\n\nsand,cl\"ay\n", "0", "", "soils.csv, line 3: stray quote in header field 2"},
        {"sand,clay\n", "0", escape,
         "soils.csv: missing column: S\\x1b; the header has \"sand\", \"clay\": name it with "
         "--column, such as --column sand=HEADER"},
        // Quoted or not, a header read with the wrong delimiter gets the same hint.
        {"sand;clay\n", "0", "",
         "soils.csv: missing columns: sand, clay; the header has \"sand;clay\": name them with "
         "--column, such as --column sand=HEADER; or is it separated by ';'? try --delimiter ';'"},
        {"\"sand\";\"clay\"\n", "0", "",
         "soils.csv: missing columns: sand, clay; the header has \"sand\";\"clay\"\": name them "
         "with --column, such as --column sand=HEADER; or is it separated by ';'? try "
         "--delimiter ';'"},
        // Said once, whatever the number of models that read it.
        {"sand,clay,om_r\n", "all", "",
         "Tomasella and Hodnett, 1998 left out: no column silt\n"
         "Adhikary et al., 2008 left out: no column silt\n"
         "Chakraborty et al., 2011 left out: no column silt\n"
         "organic matter in column \"om_r\" read as organic carbon = OM / 1.724 (the van "
         "Bemmelen factor), in the unit of its numbers\n"},
        {"silt,clay\n", "all", escape,
         "TALVO PTF model (PSD) left out: no column S\\x1b\n"
         "TALVO PTF model (PSD + OC) left out: no column S\\x1b, oc\n"
         "Rawls et al., 1982 left out: no column S\\x1b, oc\n"
         "Singh, 2000 left out: no column S\\x1b\n"
         "Adhikary et al., 2008 left out: no column S\\x1b\n"
         "Chakraborty et al., 2011 left out: no column S\\x1b\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        Settings settings = settingsFor(c.model);
        settings.columnNames[static_cast<std::size_t>(estimation::Input::sand)] = c.sandColumn;
        std::istringstream input(c.csv);
        std::ostringstream output;
        std::string outcome;
        RunOptions options;
        options.inputName = "soils.csv";
        options.notice = [&outcome](const std::string& text) { outcome += text + '\n'; };
        try {
            runTable(input, output, settings, options);
        } catch (const base::Error& error) {
            outcome = error.what();
        }
        EXPECT_EQ(outcome, c.wanted);
    }
}

// Every row goes out as wide as the header, so that a spreadsheet's export stays a table:
// empty fields past the header are dropped, other surplus goes into the error with the
// reason. Unquoted rows and quoted ones (the careful reader) agree.
TEST(RunTable, RowsKeepTheHeadersWidth) {
    struct Case {
        std::string row;
        std::string error; // the end of the last field
    };
    // A reason too long for the room a row's own columns have goes out all the same.
    const std::string surplus(3000, 'x');
    const std::vector<Case> cases{
        {"40,20,5," + surplus,
         "\"Malformed row: 4 fields, header has 3; beyond the header: " + surplus + "\""},
        {"40,20,5,", ""},
        {"40,20,5,,,", ""},
        {"40,20,5,x", "\"Malformed row: 4 fields, header has 3; beyond the header: x\""},
        {"40,20,5,,y", "\"Malformed row: 5 fields, header has 3; beyond the header: ,y\""},
        {"40,20", "\"Malformed row: 2 fields, header has 3\""},
        {"40,twenty,5,", R"("Type mismatch: clay ""twenty""")"},
        {"40,NA,5", "Missing: clay"},
        {"40, ,5", "Missing: clay"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row.substr(0, 20));
        const std::string unquoted = run("sand,clay,oc\n"s + c.row + "\n", settingsFor("1")).output;
        const std::string quoted =
            run("sand,clay,oc\n\"1\",2,3\n"s + c.row + "\n", settingsFor("1")).output;
        const std::string line = unquoted.substr(unquoted.find('\n') + 1);
        EXPECT_EQ(quoted.substr(quoted.rfind('\n', quoted.size() - 2) + 1), line);
        EXPECT_TRUE(line.ends_with(","s + c.error + "\n")) << line;
        std::istringstream input(line);
        CsvReader reader(input, ',');
        Records records;
        ASSERT_TRUE(reader.next(records));
        EXPECT_EQ(records[0].size(), 3U + AddedColumns.size());
    }
}

// Two inputs may name one column: both read it, in unquoted rows as in quoted ones.
TEST(RunTable, InputsSharingAColumnReadTheSameField) {
    Settings settings = settingsFor("0");
    settings.columnNames[static_cast<std::size_t>(estimation::Input::sand)] = "x";
    settings.columnNames[static_cast<std::size_t>(estimation::Input::clay)] = "x";
    // Sand 40 and clay 40; clay 20 from the next field gave 23.38.
    const std::string wanted = "id,x,y,model,unit,fc,pwp,awc,texture,flags,error\n"
                               "A,40,20,TALVO PTF model (PSD),% w/w,27.52,11.87,34.97,,,\n";
    for (const char* csv : {"id,x,y\nA,40,20\n", "id,x,y\n\"A\",40,20\n"}) {
        SCOPED_TRACE(csv);
        EXPECT_EQ(run(csv, settings).output, wanted);
    }
}

// A record's length counts its line break, in unquoted rows as in quoted ones: MaxRecordBytes
// with the break is taken, one byte more is refused.
TEST(RunTable, UnquotedAndQuotedRowsShareTheLengthLimit) {
    for (const std::size_t length : {MaxRecordBytes - 1, MaxRecordBytes}) {
        const std::string rest = ",40,20\n";
        const std::string unquoted(length - rest.size() + 1, 'a');
        const std::string quoted = '"' + unquoted.substr(2) + '"';
        for (const std::string& first : {unquoted, quoted}) {
            SCOPED_TRACE(std::to_string(length) + (first == unquoted ? " unquoted" : " quoted"));
            const std::string csv = std::string("id,sand,clay\n").append(first).append(rest);
            std::string outcome;
            try {
                outcome = std::to_string(run(csv, settingsFor("0")).summary.records);
            } catch (const CsvError& error) {
                outcome = error.what();
            }
            EXPECT_EQ(outcome, length < MaxRecordBytes
                                   ? "1"
                                   : "line 2: a record longer than 1 MiB (the limit)");
        }
    }
}

// Rows come out in input order however many threads estimate them, and an unclosed quote
// stops a run only after the rows of every chunk before it are written.
TEST(RunTable, RowsComeOutInOrderWhateverTheThreads) {
    std::string csv = "id,sand,silt,clay,oc\n";
    for (int i = 0; i < 20000; ++i) {
        const int sand = i % 80;
        csv += std::to_string(i) + ',' + std::to_string(sand) + ",20," + std::to_string(80 - sand) +
               ',' + std::to_string(i % 7) + '\n';
    }
    const Settings settings = settingsFor("all", Precision::general);
    const Outcome one = run(csv, settings, 1);
    EXPECT_EQ(one.summary.records, 20000U);
    EXPECT_EQ(one.summary.rows, 140000U);
    for (const unsigned threads : {2U, 4U}) {
        const Outcome many = run(csv, settings, threads);
        // Not EXPECT_EQ: gtest's line diff of two such tables would take gigabytes.
        EXPECT_TRUE(many.output == one.output) << threads << " threads";
        EXPECT_EQ(many.summary.rowsWithError, one.summary.rowsWithError);
    }

    std::istringstream damaged(csv + "20000,40,\"20\n20001,40,20\n");
    std::ostringstream output;
    try {
        runTable(damaged, output, settings);
        ADD_FAILURE() << "no error";
    } catch (const CsvError& error) {
        EXPECT_EQ(error.line(), 20002U);
    }
    EXPECT_TRUE(output.str() == one.output)
        << output.str().size() << " bytes written, " << one.output.size() << " wanted";
}

// An output that fails mid-run and a progress callback that throws end the run with their
// error, every thread joined, instead of ending the process.
TEST(RunTable, FailuresInTheWriterEndTheRun) {
    std::string csv = "sand,clay\n";
    for (int i = 0; i < 100000; ++i) {
        csv += "40,20\n";
    }
    Sink failing(1'000'000);
    std::ostream full(&failing);
    std::istringstream input(csv);
    EXPECT_THROW(runTable(input, full, settingsFor("all")), base::Error);

    std::istringstream again(csv);
    std::ostringstream output;
    RunOptions options;
    options.progress = [](std::uint64_t) { throw std::runtime_error("progress"); };
    EXPECT_THROW(runTable(again, output, settingsFor("0"), options), std::runtime_error);
}

// A header of a million empty columns pads every short row to a megabyte: output goes out in
// pieces, so memory stays bounded (the run would otherwise hold gigabytes).
TEST(RunTable, WideRowsGoOutInPieces) {
    std::string csv = "sand,clay" + std::string(1'000'000, ',') + "\n";
    for (int i = 0; i < 300; ++i) {
        csv += "40,20\n";
    }
    std::istringstream input(csv);
    Sink counting(std::numeric_limits<std::streamsize>::max());
    std::ostream output(&counting);
    const Summary summary = runTable(input, output, settingsFor("0"));
    EXPECT_EQ(summary.rowsWithError, 300U);
    EXPECT_GT(counting.total, 300'000'000);
    EXPECT_LT(counting.largest, 4 * static_cast<std::streamsize>(PieceBytes));
}

} // namespace
} // namespace talvo::table
