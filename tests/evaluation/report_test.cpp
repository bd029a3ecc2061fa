// The metrics table and the report: their columns, escaping, and a report that is one file.

#include "base/options.h"
#include "evaluation/metrics.h"
#include "evaluation/report.h"
#include "evaluation/table_input.h"
#include "soils.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace talvo::evaluation {
namespace {

using estimation::ModelCatalogue;

// Every model scored against FC, PWP and AWC from another model, some rows unmeasured.
Outcome allModels() {
    const test::SoilTable soils(200);
    std::array<std::vector<double>, 3> measured = soils.estimates(ModelCatalogue[2]);
    measured[0][4] = NoNumber;
    Setup setup;
    for (const estimation::PtfModel& model : ModelCatalogue) {
        setup.models.push_back(&model);
    }
    setup.measured = {true, true, true};
    Evaluation evaluation(setup);
    evaluation.add({soils.columns(), {measured[0], measured[1], measured[2]}, {}, {}});
    return evaluation.outcome();
}

TEST(Metrics, OneRowPerModelAndQuantity) {
    const std::string table = metricsTable(allModels());
    EXPECT_EQ(table.substr(0, table.find('\n')),
              "model,unit,quantity,n,me,me_low,me_high,mae,rmse,rmse_low,rmse_high,r2,nse");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1 + 7 * 3);
    // A list text with a comma is quoted; the measured model fits itself exactly.
    EXPECT_NE(table.find("\n\"Rawls et al., 1982\",% v/v,fc,199,"), std::string::npos);
}

TEST(Report, IsOneFileWithEveryTextEscaped) {
    const std::string html =
        htmlReport(allModels(), {"<b>soils</b>.csv", {"FC <script>alert('x')</script>", "", ""}});
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("FC &lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("&lt;b&gt;soils&lt;/b&gt;.csv"), std::string::npos);
    for (const char* external : {"http:", "https:", "//", "src=", "href=", "url(", "@import"}) {
        EXPECT_EQ(html.find(external), std::string::npos) << external;
    }
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0U);
    // A plot for each of the 21 comparisons, and a 1:1 line in each.
    std::size_t plots = 0;
    for (std::size_t at = html.find("<svg"); at != std::string::npos;
         at = html.find("<svg", at + 1)) {
        ++plots;
    }
    EXPECT_EQ(plots, 21U);
    EXPECT_NE(html.find("Lowest RMSE for fc: <strong>" + escapeHtml(ModelCatalogue[2].listText) +
                        "</strong>"),
              std::string::npos);
}

TEST(Report, CautionsWhenTheBestIsNotClearlyBetter) {
    Outcome outcome;
    for (const int model : {0, 1}) {
        Comparison c;
        c.model = &ModelCatalogue[static_cast<std::size_t>(model)];
        c.unit = "% v/v";
        c.scores.n = 10;
        c.scores.rmse = 2.0 + model;
        c.intervals.rmse = {1.5 + model, 2.6 + model};
        outcome.comparisons.push_back(c);
    }
    EXPECT_NE(htmlReport(outcome, {}).find("Caution"), std::string::npos);
    outcome.comparisons[1].intervals.rmse.low = 2.7;
    EXPECT_EQ(htmlReport(outcome, {}).find("Caution"), std::string::npos);
}

TEST(Report, EscapesMarkupAndControlCharacters) {
    EXPECT_EQ(escapeHtml("a<b>&\"c'\x1b"), "a&lt;b&gt;&amp;&quot;c&#39;\xEF\xBF\xBD");
}

// Rows left out are named by their lines in the file, as the table's errors name them (a
// blank line counts, the header is line 1); flags on the rows scored and the carbon unit
// Rawls et al., 1982 reads are said. By hand: sand 10, clay 60, OC 10 give FC 97.15 % v/v,
// flagged result; sand 40, clay 20, OC 5 give 50.85, unflagged.
TEST(Report, NamesLinesOfTheFileFlagsAndTheCarbonUnit) {
    const std::string text = "sand,silt,clay,oc,FC_lab\n"
                             "40,40,20,5,50\n"
                             "\n"
                             "40,40,20,5,\n"
                             "40,40,20,x,45\n"
                             "10,30,60,10,60\n";
    table::MemoryInput input(text);
    table::Settings settings;
    settings.models = base::parseModels("Rawls", settings.allModels);
    MeasuredColumns measured;
    measured.headers[0] = "FC_lab";
    const Outcome outcome = evaluateTable(input, settings, measured);
    ASSERT_EQ(outcome.comparisons.size(), 1U);
    const Comparison& c = outcome.comparisons[0];
    EXPECT_EQ(c.leftOut.noMeasurementRows, std::vector<std::uint64_t>{4});
    EXPECT_EQ(c.leftOut.noEstimateRows, std::vector<std::uint64_t>{5});
    const auto flagged = [&c](estimation::Flag flag) {
        return c.flagged[static_cast<std::size_t>(flag)];
    };
    EXPECT_EQ(flagged(estimation::Flag::result), 1U);
    EXPECT_EQ(flagged(estimation::Flag::sum), 0U);

    const std::string html = htmlReport(outcome, {"lab.csv", measured.headers});
    const std::vector<std::string> wanted{
        "(rows 4)",
        "(rows 5)",
        "the header being line 1",
        "of 2 rows scored, 1 result",
        escapeHtml(estimation::sentence(estimation::Flag::result)),
        escapeHtml(ModelCatalogue[2].listText) + " reads organic carbon (OC) in %"};
    for (const std::string& part : wanted) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    // Singh, 2000 reads no carbon and flags none of these rows: nothing to say of either.
    table::MemoryInput again(text);
    settings.models = base::parseModels("Singh", settings.allModels);
    const std::string quiet =
        htmlReport(evaluateTable(again, settings, measured), {"lab.csv", measured.headers});
    EXPECT_EQ(quiet.find("organic carbon"), std::string::npos);
    EXPECT_EQ(quiet.find("carry flags"), std::string::npos);
}

} // namespace
} // namespace talvo::evaluation
