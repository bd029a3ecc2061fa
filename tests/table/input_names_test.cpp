#include "base/error.h"
#include "table/input_names.h"
#include "table/options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {
namespace {

std::vector<std::string_view> fieldsOf(std::string_view header) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = header.find(',', start);
        fields.push_back(header.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

// "sand=2 silt=- clay=3 oc=4om": each input's column from 1, "-" for none, "?2,5" for the
// candidates of an ambiguous one, "om" where it holds organic matter.
std::string described(const InputColumns& found) {
    std::string text;
    for (const estimation::Input input : estimation::allInputs) {
        const InputColumn& column = found[static_cast<std::size_t>(input)];
        text += text.empty() ? "" : " ";
        text += std::string(estimation::name(input)) + "=";
        if (column.ambiguous()) {
            text += "?";
            for (const std::size_t candidate : column.candidates) {
                text += std::to_string(candidate + 1) +
                        (candidate == column.candidates.back() ? "" : ",");
            }
        } else {
            text += column.column ? std::to_string(*column.column + 1) : "-";
        }
        text += column.organicMatter ? "om" : "";
    }
    return text;
}

// Header spellings of real tables: found, not found, ambiguous, organic matter.
TEST(InputNames, FoundAsRealTablesSpellThem) {
    struct Case {
        std::string_view header;
        std::string_view sandGiven; // --column sand=
        std::string_view wanted;
    };
    const std::vector<Case> cases{
        {"id,sand,silt,clay,oc", "", "sand=2 silt=3 clay=4 oc=5"},
        {" SAND ,Silt,cLaY,OC", "", "sand=1 silt=2 clay=3 oc=4"},
        // Units after the name, in brackets or after '_', '-' or blanks.
        {"Sand (%),Silt [%],clay_pct,OC (g/kg)", "", "sand=1 silt=2 clay=3 oc=4"},
        {"sand_percent,silt %,clay-PCT,oc[g/kg]", "", "sand=1 silt=2 clay=3 oc=4"},
        {"Sand( % ),silt%,Clay (percent),SOC_gkg", "", "sand=1 silt=2 clay=3 oc=4"},
        // SSURGO's columns, organic matter included.
        {"mukey,sandtotal_r,silttotal_r,claytotal_r,om_r", "", "sand=2 silt=3 clay=4 oc=5om"},
        {"SANDTOTAL_R (%),OM (%)", "", "sand=1 silt=- clay=- oc=2om"},
        {"om,Om_R", "", "sand=- silt=- clay=- oc=?1,2om"},
        // Sand, silt and clay in g/kg would be read a tenfold off: not found.
        {"sand (g/kg),silt_gkg,clay", "", "sand=- silt=- clay=3 oc=-"},
        // Names that only begin like an input's are others' columns.
        {"sandy,sand_fine,silt_r,clay (mm),ocean,OM_l,oc_rank", "", "sand=- silt=- clay=- oc=-"},
        // An exact name wins over a looser one; two looser ones are ambiguous.
        {"Sand (%),sand,sandtotal_r", "", "sand=2 silt=- clay=- oc=-"},
        {"sand_pct,x,sandtotal_r,Sand (%)", "", "sand=?1,3,4 silt=- clay=- oc=-"},
        {"OC (g/kg),om_r,oc", "", "sand=- silt=- clay=- oc=3"},
        {"OC (g/kg),om_r", "", "sand=- silt=- clay=- oc=?1,2"},
        {"sand,SAND", "", "sand=?1,2 silt=- clay=- oc=-"},
        // A header given is matched exactly, and alone.
        {"Sand (%),sand", "Sand (%)", "sand=1 silt=- clay=- oc=-"},
        {"Sand (%),sandtotal_r", " sandtotal_r ", "sand=2 silt=- clay=- oc=-"},
        {"sand_pct", "Sand", "sand=- silt=- clay=- oc=-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        std::array<std::string, 4> given{};
        given[0] = c.sandGiven;
        EXPECT_EQ(described(findInputColumns(fieldsOf(c.header), given)), c.wanted);
    }
}

// A column given for OC that is named as organic matter is read as such.
TEST(InputNames, OrganicMatterByItsNameWhereverFound) {
    const std::vector<std::string_view> header{"Sand", "clay", "OM_r [%]", "oc"};
    std::array<std::string, 4> given{};
    EXPECT_FALSE(findInputColumns(header, given)[3].organicMatter); // oc itself wins
    given[3] = "OM_r [%]";
    const InputColumn carbon = findInputColumns(header, given)[3];
    EXPECT_EQ(carbon.column, 2U);
    EXPECT_TRUE(carbon.organicMatter);
    EXPECT_EQ(organicMatterNote(" om_r "), "organic matter in column \"om_r\" read as organic "
                                           "carbon = OM / 1.724 (the van Bemmelen factor), in "
                                           "the unit of its numbers");
}

// The message names every candidate, by its text and column; one name twice is the table's
// to mend.
TEST(InputNames, AmbiguityNamesTheCandidates) {
    const struct {
        std::string_view header;
        estimation::Input input;
        std::string_view wanted;
    } cases[]{
        {"id,Sand (%),sand_pct", estimation::Input::sand,
         "columns \"Sand (%)\" (column 2) and \"sand_pct\" (column 3) could each be sand: R"},
        {"om,soc,OC [g/kg]", estimation::Input::oc,
         "columns \"om\" (column 1), \"soc\" (column 2) and \"OC [g/kg]\" (column 3) could each "
         "be oc: R"},
        {"clay, Clay,CLAY", estimation::Input::clay, "two columns named clay (columns 1 and 2)"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string_view> header = fieldsOf(c.header);
        const InputColumns found = findInputColumns(header, {});
        EXPECT_EQ(ambiguityText(c.input, found[static_cast<std::size_t>(c.input)], header, "R"),
                  c.wanted);
    }
}

// --column takes lists; a comma splits only before another NAME=.
TEST(InputNames, ColumnListsSplitBeforeEachName) {
    const struct {
        std::string_view text;
        std::array<std::string, 4> wanted;
    } cases[]{
        {"sand=sandtotal_r,clay=claytotal_r", {"sandtotal_r", "", "claytotal_r", ""}},
        {"sand=Sand, fine (%),oc=C, org", {"Sand, fine (%)", "", "", "C, org"}},
        {"silt=a,b=c", {"", "a,b=c", "", ""}},
    };
    for (const auto& c : cases) {
        Settings settings;
        addColumns(settings, c.text);
        EXPECT_EQ(settings.columnNames, c.wanted) << c.text;
    }
    Settings settings;
    EXPECT_THROW(addColumns(settings, "sand=a,sand=b"), base::Error);
    EXPECT_THROW(addColumns(settings, "sand=a,clay="), base::Error);
}

} // namespace
} // namespace talvo::table
