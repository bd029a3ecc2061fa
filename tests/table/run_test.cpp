#include "estimation/catalogue.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"
#include "estimation/number_text.h"
#include "support/memory_fields.h"
#include "table/csv.h"
#include "table/run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

using estimation::Result;

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

Settings settingsFor(const char* model, const char* precision = "fixed", const char* decimal = ".",
                     const char* delimiter = "") {
    return makeSettings(model, precision, decimal, delimiter);
}

// The rows of a run's output, split by the reader itself.
std::vector<std::vector<std::string>> rowsOf(const std::string& output, char delimiter = ',') {
    std::istringstream input(output);
    CsvReader reader(input, delimiter);
    Records records;
    while (reader.next(records)) {
    }
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::vector<std::string> row;
        for (std::size_t f = 0; f < records[i].size(); ++f) {
            row.emplace_back(records[i][f]);
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(MakeSettings, ReadsTheOptionsAsTyped) {
    struct Case {
        const char *model, *precision, *decimal, *delimiter;
        std::vector<int> models;
        Precision precisionWanted;
        char decimalWanted, delimiterWanted;
    };
    const std::vector<Case> cases{
        {"0", "fixed", ".", "", {0}, Precision::fixed, '.', ','},
        {"6", "general", ".", ";", {6}, Precision::general, '.', ';'},
        {"Rawls et al., 1982", "fixed", ",", "", {2}, Precision::fixed, ',', ';'},
        {"Chakraborty et al., 2011", "fixed", ",", "tab", {6}, Precision::fixed, ',', '\t'},
        {"all", "fixed", ".", "|", {0, 1, 2, 3, 4, 5, 6}, Precision::fixed, '.', '|'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const Settings settings = makeSettings(c.model, c.precision, c.decimal, c.delimiter);
        EXPECT_EQ(settings.models, c.models);
        EXPECT_EQ(settings.precision, c.precisionWanted);
        EXPECT_EQ(settings.decimal.get(), c.decimalWanted);
        EXPECT_EQ(settings.delimiter, c.delimiterWanted);
    }
}

TEST(MakeSettings, RefusesWhatItCannotUseUnambiguously) {
    struct Case {
        const char *model, *precision, *decimal, *delimiter;
    };
    const std::vector<Case> cases{
        {"7", "fixed", ".", ""},
        {"-1", "fixed", ".", ""},
        {"01", "fixed", ".", ""},
        {"rawls et al., 1982", "fixed", ".", ""}, // names are exact, as the chooser shows them
        {"All", "fixed", ".", ""},
        {"0", "exact", ".", ""},
        {"0", "fixed", ",", ","}, // is 1,5 one number or two fields?
        {"0", "fixed", ".", "."},
        {"0", "fixed", "", ""},
        {"0", "fixed", "..", ""},
        {"0", "fixed", "5", ""},
        {"0", "fixed", ".", "\""},
        {"0", "fixed", ".", "\n"},
        {"0", "fixed", ".", ";;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.precision + " " + c.decimal + " " +
                     c.delimiter);
        EXPECT_THROW(makeSettings(c.model, c.precision, c.decimal, c.delimiter), Error);
    }
}

// The batch result for each worked example is what the window's own action shows; the
// general texts are the 15-digit texts it writes on the way.
TEST(RunTable, WorkedExamplesMatchTheWindow) {
    struct Case {
        int model;
        const char *sand, *silt, *clay, *oc;
        std::vector<std::string> general;
    };
    const std::vector<Case> cases{
        {2, "40", "", "20", "5", {"50.8534", "26.2828", "36.8559"}},
        {3, "", "30", "20", "", {"24.906", "13.33", "17.364"}},
        {6, "40", "40", "20", "", {"29.287", "12.835", "36.77022"}},
        {4, "40", "", "20", "", {"37.58", "10.97", "39.915"}},
        {0, "40", "", "20", "", {"23.38382", "7.68507", "35.08670625"}},
        {1, "40", "", "20", "5", {"23.40813", "6.84364", "37.02163515"}},
        {5, "40", "40", "20", "", {"25.17", "9.51", "23.49"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        test::MemoryFields window(c.model, c.sand, c.silt, c.clay, c.oc);
        estimation::EstimateAction(window);
        const std::vector<std::string> shown{
            window.caption(Result::fc), window.caption(Result::pwp), window.caption(Result::awc)};

        const std::string csv =
            std::string("sand,silt,clay,oc\n") + c.sand + ',' + c.silt + ',' + c.clay + ',' + c.oc;
        const std::string model = std::to_string(c.model);
        for (const Precision precision : {Precision::fixed, Precision::general}) {
            const auto rows =
                rowsOf(run(csv, settingsFor(model.c_str(),
                                            precision == Precision::fixed ? "fixed" : "general"))
                           .output);
            ASSERT_EQ(rows.size(), 2U);
            const std::vector<std::string> results(rows[1].begin() + 5, rows[1].begin() + 8);
            EXPECT_EQ(results, precision == Precision::fixed ? shown : c.general);
            EXPECT_EQ(rows[1][8], "");
        }
    }
}

TEST(RunTable, FindsColumnsByNameAndKeepsTheOthers) {
    struct Case {
        const char* what;
        std::string csv;
        Settings settings;
        std::string output;
        std::uint64_t rowsWithError;
    };
    const std::vector<Case> cases{
        {"columns found by name, other columns kept in place",
         "Id, CLAY ,note,Sand,oc\n7,20,\"a, b\",40,5\n", settingsFor("Rawls et al., 1982"),
         "Id, CLAY ,note,Sand,oc,model,fc,pwp,awc,error\n"
         "7,20,\"a, b\",40,5,\"Rawls et al., 1982\",50.85,26.28,36.86,\n",
         0},
        {"only the columns a model reads are needed", "silt,clay\n30,20\n", settingsFor("3"),
         "silt,clay,model,fc,pwp,awc,error\n"
         "30,20,\"Tomasella and Hodnett, 1998\",24.91,13.33,17.36,\n",
         0},
        {"a second column of a name no model reads is kept", "sand,clay,oc,oc\n40,20,x,y\n",
         settingsFor("0"),
         "sand,clay,oc,oc,model,fc,pwp,awc,error\n"
         "40,20,x,y,TALVO PTF model (PSD),23.38,7.69,35.09,\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome outcome = run(c.csv, c.settings);
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_EQ(outcome.summary.rowsWithError, c.rowsWithError);
    }
}

TEST(RunTable, RefusesAHeaderTheModelsCannotUse) {
    struct Case {
        std::string csv;
        const char* model;
        std::string message;
    };
    const std::vector<Case> cases{
        {"", "0", "the input is empty: the first row must name the columns"},
        {"\n\r\n", "0", "the input is empty: the first row must name the columns"},
        {"sand,silt\n40,20\n", "0", "missing column: clay"},
        {"silt\n40\n", "all", "missing columns: sand, clay, oc"},
        {"sand,clay,SAND\n1,2,3\n", "0", "two columns named sand (columns 1 and 3)"},
        {"sa\"nd,clay\n", "0", "line 1: stray quote in header field 1"},
        {std::string("\xFF\xFEs\0a\0n\0d\0", 10), "0",
         "the input is UTF-16 text: save it as CSV in UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        try {
            const Outcome outcome = run(c.csv, settingsFor(c.model));
            ADD_FAILURE() << "no error: " << outcome.output;
        } catch (const Error& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(RunTable, WritesTheRowsBeforeAnUnclosedQuoteThenStops) {
    std::string csv = "sand,clay\n";
    for (int i = 0; i < 5000; ++i) {
        csv += "40,20\n";
    }
    csv += "40,\"20\n40,20\n";
    std::istringstream input(csv);
    std::ostringstream output;
    try {
        runTable(input, output, settingsFor("4"));
        ADD_FAILURE() << "no error";
    } catch (const CsvError& error) {
        EXPECT_EQ(error.line(), 5002U);
    }
    EXPECT_EQ(rowsOf(output.str()).size(), 5001U);
}

// Rows come out in input order however many threads estimate them.
TEST(RunTable, OrderDoesNotDependOnThreads) {
    std::string csv = "id,sand,silt,clay,oc\n";
    for (int i = 0; i < 20000; ++i) {
        const int sand = i % 80;
        csv += std::to_string(i) + ',' + std::to_string(sand) + ",20," + std::to_string(80 - sand) +
               ',' + std::to_string(i % 7) + '\n';
    }
    const Settings settings = settingsFor("all", "general");
    const Outcome one = run(csv, settings, 1);
    EXPECT_EQ(one.summary.records, 20000U);
    EXPECT_EQ(one.summary.rows, 140000U);
    for (const unsigned threads : {2U, 4U}) {
        const Outcome many = run(csv, settings, threads);
        EXPECT_EQ(many.output, one.output) << threads << " threads";
        EXPECT_EQ(many.summary.rowsWithError, one.summary.rowsWithError);
    }
}

} // namespace
} // namespace talvo::table
