#pragma once

// The names real tables give the inputs, and which header field holds each: one rule for
// talvo-batch, the page and the Python module, so that a table found by one is found by all.
//
// A field names an input when, in any case and with blanks around it ignored, it is
// - exactly the input's own name: sand, silt, clay, oc;
// - or one of its other names, SSURGO's sandtotal_r, silttotal_r, claytotal_r, soc, or
//   organic matter as om or om_r; each of these names, and the input's own, may be followed
//   by a unit: blanks, '_' or '-', then % pct or percent, bare or in () or [] ("Sand (%)",
//   "sand_pct", "clay [%]"); organic carbon and matter also g/kg ("OC (g/kg)", "SOC_gkg").
// The unit is not read: the numbers are read as an unnamed column's are. Sand, silt and clay
// in g/kg are left unmatched rather than read a tenfold off.
//
// An exact name wins over the others, as a table's own "sand" column is what its maker
// meant. Two fields matching equally well leave the input ambiguous. A header given for an
// input (--column) is matched exactly and alone.

#include "estimation/estimation.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

// Where an input was found among a header's fields.
struct InputColumn {
    std::optional<std::size_t> column; // the first of the candidates
    // Fields that name the input equally well; two or more leave it ambiguous.
    std::vector<std::size_t> candidates;
    // The field holds organic matter, read as OC = OM / estimation::OrganicMatterPerCarbon.
    bool organicMatter = false;

    bool ambiguous() const noexcept { return candidates.size() > 1; }
};
using InputColumns = std::array<InputColumn, estimation::allInputs.size()>;

// `text` less the blanks and tabs around it.
std::string_view trimBlanks(std::string_view text);

// Each input's column among `header`'s fields; `given` holds the header named for each input
// (empty: found by the rule above).
InputColumns findInputColumns(std::span<const std::string_view> header,
                              const std::array<std::string, 4>& given);

// Whether `field` names organic matter (om, om_r, with a unit or not).
bool namesOrganicMatter(std::string_view field);

// Why an ambiguous input has no column: "two columns named sand (columns 1 and 3)", which
// only the table can mend, or "columns "Sand (%)" (column 2) and "sand_pct" (column 5) could
// each be sand: " and `remedy`, how the front end names the one to read.
std::string ambiguityText(estimation::Input input, const InputColumn& found,
                          std::span<const std::string_view> header, std::string_view remedy);

// What a run says once when it reads organic matter: "organic matter in column om_r read as
// organic carbon = OM / 1.724".
std::string organicMatterNote(std::string_view field);

} // namespace talvo::table
