#include "python/input_columns.h"

#include "estimation/estimation.h"
#include "table/input_names.h"

#include <optional>
#include <pybind11/stl.h>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace py = pybind11;

namespace talvo::python {

namespace {

// For sand, silt, clay and oc: (the index of its column or None, the note said where it holds
// organic matter or None, why two columns could be it or None).
using Found =
    std::tuple<std::optional<std::size_t>, std::optional<std::string>, std::optional<std::string>>;

std::vector<Found> findColumns(const std::vector<std::string>& names, std::string_view remedy) {
    const std::vector<std::string_view> header(names.begin(), names.end());
    const table::InputColumns columns = table::findInputColumns(header, {});
    std::vector<Found> found;
    for (const estimation::Input input : estimation::allInputs) {
        const table::InputColumn& column = columns[static_cast<std::size_t>(input)];
        Found one{column.column, std::nullopt, std::nullopt};
        if (column.organicMatter) {
            std::get<1>(one) = table::organicMatterNote(header[*column.column]);
        }
        if (column.ambiguous()) {
            std::get<2>(one) = table::ambiguityText(input, column, header, remedy);
        }
        found.push_back(std::move(one));
    }
    return found;
}

} // namespace

void addInputColumns(py::module_& module) {
    module.attr("ORGANIC_MATTER_PER_CARBON") = estimation::OrganicMatterPerCarbon;
    module.def("find_columns", &findColumns, py::arg("names"), py::arg("remedy"),
               "for sand, silt, clay and oc: (index of its column or None, note where it holds "
               "organic matter or None, why it is ambiguous or None)");
}

} // namespace talvo::python
