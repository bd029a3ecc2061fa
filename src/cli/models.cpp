#include "cli/models.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iostream>
#include <vector>

namespace talvo::cli {

namespace {

constexpr std::size_t LineWidth = 79;
constexpr std::string_view Indent = "   ";
constexpr std::size_t LabelWidth = 10; // "Results:  "

// `text` after a label, broken at blanks into lines that hang under its first word.
std::string labelled(std::string_view label, std::string_view text) {
    const std::string hanging = std::string(Indent) + std::string(LabelWidth, ' ');
    std::string out = std::string(Indent) + std::string(label);
    out.resize(hanging.size(), ' ');
    std::size_t column = out.size();
    bool lineStart = true;
    while (!text.empty()) {
        const std::size_t blank = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, blank);
        if (!lineStart && column + 1 + word.size() > LineWidth) {
            out += '\n' + hanging;
            column = hanging.size();
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineStart = false;
        text.remove_prefix(std::min(blank + 1, text.size()));
    }
    return out + '\n';
}

std::string sheetOf(const estimation::PtfModel& model) {
    const estimation::ModelSheet& sheet = estimation::modelSheet(model);
    std::string reads;
    for (const estimation::InputUnit& unit : sheet.inputs) {
        reads += reads.empty() ? "" : "; ";
        reads += std::string(estimation::name(unit.input)) + " in " + std::string(unit.unit);
    }
    std::string out = std::to_string(model.position) + "  " + std::string(model.listText) + '\n';
    out += labelled("Source:", sheet.source);
    out += labelled("Reads:", reads);
    out += labelled("Results:", sheet.results);
    out += labelled("AWC:", sheet.availableWater);
    out += labelled("Domain:", estimation::calibrationText(sheet.calibration));
    for (std::size_t i = 0; i < sheet.caveats.size(); ++i) {
        out += labelled(i == 0 ? "Caveats:" : "", sheet.caveats[i]);
    }
    return out;
}

} // namespace

void addListingOptions(CLI::App& app, ModelListing& listing) {
    app.add_flag("--list-models", listing.models,
                 "list the models: position, name, inputs read, units");
    app.add_flag("--long", listing.sheets,
                 "with --list-models: each model's source, input units, what its results mean, "
                 "its calibration domain and its caveats");
}

std::optional<int> showListing(const Tool& tool, const ModelListing& listing) {
    if (listing.sheets && !listing.models) {
        tool.report("--long goes with --list-models (see --help)");
        return UsageStatus;
    }
    if (!listing.models) {
        return std::nullopt;
    }
    std::cout << (listing.sheets ? modelSheets() : modelListing());
    return 0;
}

std::string modelListing() {
    struct Line {
        std::string position, name, reads, fcUnit, pwpUnit;
    };
    std::vector<Line> lines{{"position", "model", "reads", "FC unit", "PWP unit"}};
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        lines.push_back({std::to_string(model.position), std::string(model.listText),
                         readNames(model), std::string(model.fcUnit), std::string(model.pwpUnit)});
    }
    std::array<std::size_t, 4> widths{};
    for (const Line& line : lines) {
        const std::array<std::size_t, 4> sizes{line.position.size(), line.name.size(),
                                               line.reads.size(), line.fcUnit.size()};
        for (std::size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], sizes[i]);
        }
    }
    const auto padded = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size() + 2, ' ');
    };
    std::string out;
    for (const Line& line : lines) {
        out += padded(line.position, widths[0]) + padded(line.name, widths[1]) +
               padded(line.reads, widths[2]) + padded(line.fcUnit, widths[3]) + line.pwpUnit + '\n';
    }
    return out;
}

std::string modelSheets() {
    std::string out;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        out += (out.empty() ? "" : "\n") + sheetOf(model);
    }
    return out;
}

} // namespace talvo::cli
