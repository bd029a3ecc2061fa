#include "table/columns.h"

#include "base/error.h"
#include "base/options.h"
#include "base/printable.h"
#include "table/formulas.h"

#include <algorithm>

namespace talvo::table {

namespace {

using estimation::Input;

// Header names listed in a message, at most.
constexpr std::size_t NamesShown = 12;

std::string_view wantedName(const Settings& settings, Input input) {
    const std::string& given = settings.columnNames[static_cast<std::size_t>(input)];
    return given.empty() ? estimation::name(input) : trimBlanks(given);
}

// The names as a message shows them: a --column header may hold anything.
std::string joined(const std::vector<std::string_view>& names) {
    std::string text;
    for (const std::string_view name : names) {
        text += text.empty() ? "" : ", ";
        text += base::printable(name);
    }
    return text;
}

// The separator a header of one field holds where the table was read with the wrong
// delimiter: '\0' when it holds none.
char otherDelimiter(const RecordView& header, const Settings& settings) {
    if (header.size() != 1) {
        return '\0';
    }
    for (const char other : {';', '\t', ','}) {
        if (other != settings.delimiter && header[0].find(other) != std::string_view::npos) {
            return other;
        }
    }
    return '\0';
}

// The input whose column is looked for under `name`.
Input inputNamed(std::string_view name, const Settings& settings) {
    const auto* const found =
        std::find_if(estimation::allInputs.begin(), estimation::allInputs.end(),
                     [&](Input input) { return wantedName(settings, input) == name; });
    return found == estimation::allInputs.end() ? Input::oc : *found;
}

// "missing columns: sand, oc; the header has "id", "Sand (%)", ...: name them with --column".
std::string missingMessage(const std::vector<std::string_view>& missing, const RecordView& header,
                           const Settings& settings) {
    std::string text = (missing.size() == 1 ? "missing column: " : "missing columns: ") +
                       joined(missing) + "; the header has ";
    for (std::size_t i = 0; i < std::min(header.size(), NamesShown); ++i) {
        text += i == 0 ? "\"" : ", \"";
        text += base::printable(header[i]);
        text += '"';
    }
    if (header.size() > NamesShown) {
        text += " and " + std::to_string(header.size() - NamesShown) + " more";
    }
    text += ": name ";
    text += missing.size() == 1 ? "it" : "them";
    // NAME is the input's own name, whatever header --column gave it.
    text += " with --column, such as --column ";
    text += estimation::name(inputNamed(missing.front(), settings));
    text += "=HEADER";
    if (const char other = otherDelimiter(header, settings); other != '\0') {
        text += other == '\t' ? "; or is it separated by tabs? try --delimiter tab"
                              : std::string("; or is it separated by '") + other +
                                    "'? try --delimiter '" + other + "'";
    }
    return text;
}

// Spreadsheets offer "Unicode text"; without this its columns would just seem missing.
void refuseUnreadableHeader(const RecordView& header, const Settings& settings) {
    const std::string_view first = header[0];
    if (first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF")) {
        throw base::Error("the input is UTF-16 text: save it as CSV in UTF-8");
    }
    // "sand";"silt" read with commas has a quote after a closing one; the missing columns'
    // message then says which delimiter to try.
    if (header.strayQuoteField() != 0 && otherDelimiter(header, settings) == '\0') {
        throw base::Error("line " + std::to_string(header.line()) +
                          ": stray quote in header field " +
                          std::to_string(header.strayQuoteField()));
    }
}

bool someModelReads(const Settings& settings, Input input) {
    return std::any_of(settings.models.begin(), settings.models.end(),
                       [input](const auto* m) { return m->readInputs.contains(input); });
}

// Each input's column; an input some model reads must not be ambiguous.
void findInputs(const RecordView& header, const Settings& settings, Columns& columns) {
    std::vector<std::string_view> fields(header.size());
    for (std::size_t i = 0; i < header.size(); ++i) {
        fields[i] = header[i];
    }
    const InputColumns found = findInputColumns(fields, settings.columnNames);
    for (const Input input : estimation::allInputs) {
        const InputColumn& column = found[static_cast<std::size_t>(input)];
        // Two candidates leave it to chance which the models read.
        if (column.ambiguous() && someModelReads(settings, input)) {
            throw base::Error(ambiguityText(input, column, fields,
                                            "name the one to read with --column " +
                                                std::string(estimation::name(input)) + "=HEADER"));
        }
        columns.input[static_cast<std::size_t>(input)] = column.column;
    }
    columns.organicMatter = found[static_cast<std::size_t>(Input::oc)].organicMatter;
}

// The names of the inputs `model` reads that have no column.
std::vector<std::string_view> lackingColumns(const estimation::PtfModel& model,
                                             const Columns& columns, const Settings& settings) {
    std::vector<std::string_view> lacking;
    for (const Input input : estimation::allInputs) {
        if (model.readInputs.contains(input) && !columns.input[static_cast<std::size_t>(input)]) {
            lacking.push_back(wantedName(settings, input));
        }
    }
    return lacking;
}

// Missing names in the order of the inputs, as the message lists them.
void sortByInput(std::vector<std::string_view>& names, const Settings& settings) {
    std::sort(names.begin(), names.end(), [&settings](std::string_view a, std::string_view b) {
        return inputNamed(a, settings) < inputNamed(b, settings);
    });
}

// The models that find their columns; asked for by name, every one must.
void chooseModels(const RecordView& header, const Settings& settings, Columns& columns,
                  const std::function<void(const std::string&)>& leftOut) {
    std::vector<std::string_view> missing;
    for (const estimation::PtfModel* model : settings.models) {
        const std::vector<std::string_view> lacking = lackingColumns(*model, columns, settings);
        for (const std::string_view name : lacking) {
            if (std::find(missing.begin(), missing.end(), name) == missing.end()) {
                missing.push_back(name);
            }
        }
        if (lacking.empty()) {
            columns.models.push_back(model);
            columns.read |= estimation::flaggedInputs(*model);
        } else if (settings.allModels && leftOut) {
            leftOut(std::string(model->listText) + " left out: no column " + joined(lacking));
        }
    }
    if (columns.models.empty() || (!settings.allModels && !missing.empty())) {
        sortByInput(missing, settings);
        throw base::Error(missingMessage(missing, header, settings));
    }
}

// An added column named like one of the input's would be read back as the wrong one.
void refuseAddedNames(const RecordView& header, const Settings& settings) {
    std::vector<std::string_view> names(AddedColumns.begin(), AddedColumns.end());
    if (settings.uncertain()) {
        names.insert(names.end(), SpreadColumns.begin(), SpreadColumns.end());
    }
    if (settings.modelSpread) {
        names.insert(names.end(), ModelSpreadColumns.begin(), ModelSpreadColumns.end());
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        for (const std::string_view added : names) {
            if (base::sameName(trimBlanks(header[i]), settings.prefix + std::string(added))) {
                throw base::Error("the input already has a column named " +
                                  base::printable(header[i]) + " (column " + std::to_string(i + 1) +
                                  "): name the added columns with --prefix, such as --prefix est_ "
                                  "for est_fc");
            }
        }
    }
}

} // namespace

HorizonColumnsFound horizonColumns(const RecordView& header, const Settings& settings) {
    HorizonColumnsFound columns{};
    std::vector<std::string_view> missing;
    std::optional<HorizonInput> firstMissing;
    for (const HorizonInput input : allHorizonInputs) {
        const std::string& given = settings.horizonNames[static_cast<std::size_t>(input)];
        const std::string_view wanted = given.empty() ? headerName(input) : trimBlanks(given);
        auto& found = columns[static_cast<std::size_t>(input)];
        for (std::size_t i = 0; i < header.size() && !found; ++i) {
            const std::string_view cell = trimBlanks(header[i]);
            if (base::sameName(cell, wanted) || (given.empty() && input == HorizonInput::profile &&
                                                 base::sameName(cell, ProfileAlias))) {
                found = i;
            }
        }
        if (!found && requiredHorizonInput(input)) {
            missing.push_back(wanted);
            firstMissing = firstMissing.value_or(input);
        }
    }
    if (firstMissing) {
        // The message's hint names a soil input: NAME here is the horizon column's own.
        std::string text = missingMessage(missing, header, settings);
        const std::size_t hint = text.find(" with --column, such as");
        text.replace(hint, text.find("=HEADER") - hint,
                     " with --column, such as --column " + std::string(headerName(*firstMissing)));
        throw base::Error(text);
    }
    return columns;
}

std::array<std::optional<std::size_t>, 4> spreadColumns(const RecordView& header,
                                                        const Settings& settings) {
    std::array<std::optional<std::size_t>, 4> columns{};
    for (const Input input : estimation::allInputs) {
        const std::optional<base::SpreadSource>& spread =
            settings.spreads[static_cast<std::size_t>(input)];
        if (!spread || spread->column.empty()) {
            continue;
        }
        auto& found = columns[static_cast<std::size_t>(input)];
        for (std::size_t i = 0; i < header.size() && !found; ++i) {
            if (base::sameName(trimBlanks(header[i]), trimBlanks(spread->column))) {
                found = i;
            }
        }
        if (!found) {
            throw base::Error("--sd " + std::string(estimation::name(input)) + "=" +
                              base::printable(spread->column) + ": the header has no such column");
        }
    }
    return columns;
}

Columns findColumns(const RecordView& header, const Settings& settings,
                    const std::function<void(const std::string&)>& notice) {
    refuseUnreadableHeader(header, settings);
    Columns columns;
    columns.count = header.size();
    findInputs(header, settings, columns);
    chooseModels(header, settings, columns, notice);
    const std::optional<std::size_t>& carbon = columns.input[static_cast<std::size_t>(Input::oc)];
    if (columns.organicMatter && columns.read.contains(Input::oc) && notice) {
        notice(organicMatterNote(header[*carbon]));
    }
    if (settings.profiles) {
        columns.horizon = horizonColumns(header, settings);
    }
    columns.spread = spreadColumns(header, settings);
    refuseAddedNames(header, settings);
    return columns;
}

estimation::InputValue readInputCell(std::string_view text, estimation::Input input,
                                     const Settings& settings, const Columns& columns) {
    const std::optional<base::DecimalScale>& scale =
        settings.scales[static_cast<std::size_t>(input)];
    estimation::InputValue value = scale ? scale->read(text, settings.decimal)
                                         : estimation::inputValue(text, settings.decimal);
    if (input == Input::oc && columns.organicMatter && !value.failure) {
        value.number /= estimation::OrganicMatterPerCarbon;
    }
    return value;
}

std::string outputHeader(const RecordView& header, const Settings& settings,
                         const Columns& columns) {
    std::string text;
    std::string safe;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (settings.safeCells) {
            safe.clear();
            appendSafeCell(safe, header[i]);
        }
        appendField(text, settings.safeCells ? std::string_view(safe) : header[i],
                    settings.delimiter);
        text += settings.delimiter;
    }
    for (const std::string_view column : AddedColumns) {
        if (settings.profiles && column == AddedColumns.back()) {
            for (const std::string_view horizon : HorizonColumns) {
                appendField(text, settings.prefix + std::string(horizon), settings.delimiter);
                text += settings.delimiter;
            }
        }
        if (settings.uncertain() && column == AddedColumns.back()) {
            for (const std::string_view spread : SpreadColumns) {
                appendField(text, settings.prefix + std::string(spread), settings.delimiter);
                text += settings.delimiter;
            }
        }
        if (settings.modelSpread && column == AddedColumns.back()) {
            for (const std::string_view range : ModelSpreadColumns) {
                appendField(text, settings.prefix + std::string(range), settings.delimiter);
                text += settings.delimiter;
            }
        }
        appendField(text, settings.prefix + std::string(column), settings.delimiter);
        text += column == AddedColumns.back() ? columns.lineEnd
                                              : std::string_view(&settings.delimiter, 1);
    }
    return text;
}

} // namespace talvo::table
