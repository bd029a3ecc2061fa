#include "evaluation/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace talvo::evaluation {

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                out += "\xEF\xBF\xBD";
            } else {
                out += c;
            }
        }
    }
    return out;
}

namespace {

constexpr std::string_view Style = R"(<style>
body{font-family:sans-serif;margin:2em;color:#222;max-width:70em}
table{border-collapse:collapse;margin:1em 0}
th,td{border:1px solid #bbb;padding:.25em .5em;text-align:right}
th:first-child,td:first-child{text-align:left}
td small{white-space:nowrap;color:#555}
.caution{background:#fff4d6;border-left:4px solid #d9a400;padding:.5em 1em}
.plots{display:flex;flex-wrap:wrap;gap:1em}
figure{margin:0;break-inside:avoid}
figcaption{font-size:.85em;max-width:260px}
svg text{font-size:10px}
@media print{body{margin:0}.plots{display:block}figure{display:inline-block}}
</style>
)";

std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "&ndash;";
    }
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    return buffer.data();
}

// A score and its interval: "1.23 [0.98, 1.51]".
std::string withInterval(double value, const Interval& interval, int decimals) {
    std::string out = fixed(value, decimals);
    if (std::isfinite(interval.low)) {
        out += " <small>[" + fixed(interval.low, decimals) + ", " + fixed(interval.high, decimals) +
               "]</small>";
    }
    return out;
}

std::string modelName(const Comparison& c) {
    return escapeHtml(c.model->listText);
}

std::string scoresTable(const Outcome& outcome) {
    std::string out = "<table><tr><th>model</th><th>quantity</th><th>unit</th><th>n</th>"
                      "<th>ME</th><th>MAE</th><th>RMSE</th><th>R&sup2;</th><th>NSE</th></tr>\n";
    for (const Comparison& c : outcome.comparisons) {
        const Scores& s = c.scores;
        const ScoreIntervals& i = c.intervals;
        out += "<tr><td>" + modelName(c) + "</td><td>" + std::string(name(c.quantity)) +
               "</td><td>" + escapeHtml(c.unit) + "</td><td>" +
               std::to_string(static_cast<std::uint64_t>(s.n)) + "</td><td>" +
               withInterval(s.me, i.me, 2) + "</td><td>" + withInterval(s.mae, i.mae, 2) +
               "</td><td>" + withInterval(s.rmse, i.rmse, 2) + "</td><td>" +
               withInterval(s.r2, i.r2, 3) + "</td><td>" + withInterval(s.nse, i.nse, 3) +
               "</td></tr>\n";
    }
    return out + "</table>\n";
}

// The comparisons of one quantity with an RMSE, lowest first.
std::vector<const Comparison*> ranked(const Outcome& outcome, Quantity quantity) {
    std::vector<const Comparison*> ranking;
    for (const Comparison& c : outcome.comparisons) {
        if (c.quantity == quantity && std::isfinite(c.scores.rmse)) {
            ranking.push_back(&c);
        }
    }
    std::stable_sort(ranking.begin(), ranking.end(),
                     [](const auto* a, const auto* b) { return a->scores.rmse < b->scores.rmse; });
    return ranking;
}

std::string bestModels(const Outcome& outcome) {
    std::string out;
    for (const Quantity quantity : allQuantities) {
        const std::vector<const Comparison*> ranking = ranked(outcome, quantity);
        if (ranking.empty()) {
            continue;
        }
        const Comparison& best = *ranking.front();
        out += "<p>Lowest RMSE for " + std::string(name(quantity)) + ": <strong>" +
               modelName(best) + "</strong>, " + fixed(best.scores.rmse, 2) + " " +
               escapeHtml(best.unit) + " over " +
               std::to_string(static_cast<std::uint64_t>(best.scores.n)) + " rows.</p>\n";
        if (ranking.size() > 1) {
            const Comparison& next = *ranking[1];
            if (!(best.intervals.rmse.high < next.intervals.rmse.low)) {
                out += "<p class=\"caution\">Caution: its RMSE interval overlaps that of " +
                       modelName(next) + " (" + fixed(next.scores.rmse, 2) +
                       "): these measurements cannot tell the two apart with confidence.</p>\n";
            }
        }
    }
    return out.empty() ? "<p>No model could be scored: no row has both a measurement and an "
                         "estimate.</p>\n"
                       : out;
}

// Estimated against measured, with the 1:1 line, on axes the points share.
std::string scatterPlot(const Comparison& c) {
    constexpr double Size = 260;
    constexpr double Margin = 30;
    double low = 0;
    double high = 1;
    if (!c.sample.empty()) {
        low = high = c.sample.front().measured;
        for (const Point& p : c.sample) {
            low = std::min({low, p.estimated, p.measured});
            high = std::max({high, p.estimated, p.measured});
        }
    }
    // A little room around the extremes, so that no point sits on the frame.
    const double room = (high > low ? high - low : 1.0) * 0.03;
    low -= room;
    high += room;
    const double span = high - low;
    const auto x = [&](double v) { return Margin + (v - low) / span * (Size - Margin - 5); };
    const auto y = [&](double v) { return Size - Margin - (v - low) / span * (Size - Margin - 5); };
    std::string path;
    for (const Point& p : c.sample) {
        path += "M" + fixed(x(p.measured), 1) + " " + fixed(y(p.estimated), 1) + "h0";
    }
    return "<figure><svg width=\"260\" height=\"260\" "
           "viewBox=\"0 0 260 260\" role=\"img\" aria-label=\"" +
           modelName(c) + ", " + std::string(name(c.quantity)) +
           ": estimated against measured\">"
           "<rect x=\"30\" y=\"5\" width=\"225\" height=\"225\" fill=\"none\" stroke=\"#999\"/>"
           "<line x1=\"30\" y1=\"230\" x2=\"255\" y2=\"5\" stroke=\"#c33\"/>"
           "<path d=\"" +
           path +
           "\" stroke=\"#1f5fa8\" stroke-opacity=\".5\" "
           "stroke-width=\"4\" stroke-linecap=\"round\"/>"
           "<text x=\"30\" y=\"245\">" +
           fixed(low, 1) +
           "</text>"
           "<text x=\"255\" y=\"245\" text-anchor=\"end\">" +
           fixed(high, 1) +
           "</text>"
           "<text x=\"142\" y=\"257\" text-anchor=\"middle\">measured</text>"
           "<text x=\"25\" y=\"230\" text-anchor=\"end\">" +
           fixed(low, 1) +
           "</text>"
           "<text x=\"25\" y=\"14\" text-anchor=\"end\">" +
           fixed(high, 1) +
           "</text>"
           "<text transform=\"translate(10 118) rotate(-90)\" text-anchor=\"middle\">"
           "estimated</text></svg><figcaption>" +
           modelName(c) + ", " + std::string(name(c.quantity)) + " (" + escapeHtml(c.unit) +
           "): " + std::to_string(c.sample.size()) + " of " +
           std::to_string(static_cast<std::uint64_t>(c.scores.n)) +
           " rows drawn; red: 1:1</figcaption></figure>\n";
}

std::string textureName(std::size_t index) {
    return index < estimation::TextureClassCount
               ? std::string(estimation::name(estimation::allTextureClasses[index]))
               : std::string("no class");
}

// Classes of the same name differ between the two triangles.
std::string triangleNote(const Outcome& outcome) {
    return outcome.particleSizeScale == estimation::ParticleSizeScale::usda
               ? "<p>Classes of the USDA triangle (sand 0.05&ndash;2 mm), as the table gives "
                 "sand and silt.</p>\n"
               : "<p>Classes of the international triangle (sand 0.02&ndash;2 mm).</p>\n";
}

// RMSE and n per texture class, a table per quantity with the models side by side.
std::string textureTables(const Outcome& outcome) {
    std::string out;
    for (const Quantity quantity : allQuantities) {
        std::vector<const Comparison*> columns;
        for (const Comparison& c : outcome.comparisons) {
            if (c.quantity == quantity) {
                columns.push_back(&c);
            }
        }
        if (columns.empty()) {
            continue;
        }
        out += "<h3>" + std::string(name(quantity)) + ": RMSE (n)</h3><table><tr><th>class</th>";
        for (const Comparison* c : columns) {
            out += "<th>" + modelName(*c) + "</th>";
        }
        out += "</tr>\n";
        for (std::size_t t = 0; t <= estimation::TextureClassCount; ++t) {
            std::string cells;
            bool any = false;
            for (const Comparison* c : columns) {
                const Scores& s = c->byTexture[t];
                any = any || s.n > 0;
                cells += "<td>" + fixed(s.rmse, 2) + " (" +
                         std::to_string(static_cast<std::uint64_t>(s.n)) + ")</td>";
            }
            if (any) {
                out += "<tr><td>" + escapeHtml(textureName(t)) + "</td>" + cells + "</tr>\n";
            }
        }
        out += "</table>\n";
    }
    return out;
}

std::string rowList(std::uint64_t count, const std::vector<std::uint64_t>& rows) {
    std::string out = std::to_string(count);
    if (!rows.empty()) {
        out += " <small>(rows";
        for (const std::uint64_t row : rows) {
            out += " " + std::to_string(row);
        }
        out += count > rows.size() ? " &hellip;)</small>" : ")</small>";
    }
    return out;
}

std::string leftOutTable(const Outcome& outcome) {
    std::string out = "<table><tr><th>model</th><th>quantity</th><th>no measurement</th>"
                      "<th>no estimate</th><th>no sound bulk density</th></tr>\n";
    for (const Comparison& c : outcome.comparisons) {
        out += "<tr><td>" + modelName(c) + "</td><td>" + std::string(name(c.quantity)) +
               "</td><td>" + rowList(c.leftOut.noMeasurement, c.leftOut.noMeasurementRows) +
               "</td><td>" + rowList(c.leftOut.noEstimate, c.leftOut.noEstimateRows) + "</td><td>" +
               rowList(c.leftOut.unsoundDensity, c.leftOut.unsoundDensityRows) + "</td></tr>\n";
    }
    return out + (outcome.fileLines
                      ? "</table>\n<p>Rows are named by their lines in the file, the header "
                        "being line 1.</p>\n"
                      : "</table>\n<p>Rows are counted from 1.</p>\n");
}

// The comparison of a model that took the most rows: its flags describe the model's rows.
std::vector<const Comparison*> widestPerModel(const Outcome& outcome) {
    std::vector<const Comparison*> widest;
    for (const Comparison& c : outcome.comparisons) {
        if (!widest.empty() && widest.back()->model == c.model) {
            if (c.scores.n > widest.back()->scores.n) {
                widest.back() = &c;
            }
        } else {
            widest.push_back(&c);
        }
    }
    return widest;
}

// Flags on the rows scored, model by model: a score over rows the model does not fit says
// little about the model. psd is left out, as every converted row carries it.
std::string flagNotes(const Outcome& outcome) {
    std::string lines;
    std::array<bool, estimation::allFlags.size()> seen{};
    for (const Comparison* c : widestPerModel(outcome)) {
        std::string counts;
        for (std::size_t f = 0; f < estimation::allFlags.size(); ++f) {
            if (c->flagged[f] == 0 || estimation::allFlags[f] == estimation::Flag::psd) {
                continue;
            }
            seen[f] = true;
            counts += (counts.empty() ? "" : ", ") + std::to_string(c->flagged[f]) + " " +
                      escapeHtml(estimation::code(estimation::allFlags[f]));
        }
        if (!counts.empty()) {
            lines += "<li>" + modelName(*c) + ": of " +
                     std::to_string(static_cast<std::uint64_t>(c->scores.n)) + " rows scored, " +
                     counts + "</li>\n";
        }
    }
    if (lines.empty()) {
        return {};
    }
    std::string out = "<div class=\"caution\"><p>Rows scored that carry flags (the flags "
                      "column of the table says which):</p><ul>\n" +
                      lines + "</ul>\n<dl>";
    for (std::size_t f = 0; f < seen.size(); ++f) {
        if (seen[f]) {
            out += "<dt>" + escapeHtml(estimation::code(estimation::allFlags[f])) + "</dt><dd>" +
                   escapeHtml(estimation::sentence(estimation::allFlags[f])) + "</dd>";
        }
    }
    return out + "</dl></div>\n";
}

// Rawls et al., 1982 was fitted to organic carbon in percent, which it reads the table's OC
// as; the other model that reads OC reads g/kg.
std::string carbonNote(const Outcome& outcome) {
    const estimation::PtfModel* const rawls = &estimation::ModelCatalogue[2];
    const bool scored = std::any_of(outcome.comparisons.begin(), outcome.comparisons.end(),
                                    [rawls](const Comparison& c) { return c.model == rawls; });
    return scored ? "<p class=\"caution\">" + escapeHtml(rawls->listText) +
                        " reads organic carbon (OC) in %, the unit of its calibration, which "
                        "reaches 7.25 % OC (12.5 % organic matter): OC in g/kg read as % makes "
                        "its FC and PWP far too high.</p>\n"
                  : std::string();
}

// What the reader must know about units before trusting a comparison.
std::string unitNotes(const Outcome& outcome, const ReportSource& source) {
    std::string out =
        "<p>" + std::to_string(outcome.rows) + " rows of " + escapeHtml(source.table) + ".";
    for (const Quantity quantity : allQuantities) {
        const std::string& header = source.headers[static_cast<std::size_t>(quantity)];
        if (!header.empty()) {
            out += " Measured " + std::string(name(quantity)) + ": column &ldquo;" +
                   escapeHtml(header) + "&rdquo;" +
                   (quantity == Quantity::awc
                        ? " (mm in a 15 cm layer)."
                        : " (" + escapeHtml(name(outcome.unit)) +
                              (outcome.unit == MeasuredUnit::fraction ? ", compared as % v/v)."
                                                                      : ")."));
        }
    }
    out += "</p>\n";
    std::uint64_t defaulted = 0;
    bool converted = false;
    for (const Comparison& c : outcome.comparisons) {
        defaulted = std::max(defaulted, c.defaultDensityRows);
        converted = converted || c.converted;
    }
    if (converted) {
        out += "<p>Estimates in another unit than the measurements were converted with each "
               "row's bulk density (g/cm&sup3;).";
        if (defaulted > 0) {
            out += outcome.densityColumn
                       ? " " + std::to_string(defaulted) + (defaulted == 1 ? " row" : " rows") +
                             " had no bulk density and took 1.49."
                       : " The table has no bd column: every row took a bulk density of 1.49.";
        }
        out += "</p>\n";
    }
    return out;
}

} // namespace

std::string htmlReport(const Outcome& outcome, const ReportSource& source) {
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<title>Which model fits: " +
                      escapeHtml(source.table) + "</title>\n" + std::string(Style) +
                      "</head><body>\n<h1>Which model fits these soils</h1>\n" +
                      unitNotes(outcome, source) + carbonNote(outcome) + bestModels(outcome) +
                      flagNotes(outcome) +
                      "<h2>Scores</h2>\n<p>ME is the mean of estimated &minus; measured. In "
                      "brackets: 95&nbsp;% bootstrap intervals from 1000 resamples of the "
                      "rows, with a fixed seed.</p>\n" +
                      scoresTable(outcome) +
                      "<h2>Estimated against measured</h2>\n"
                      "<div class=\"plots\">\n";
    for (const Comparison& c : outcome.comparisons) {
        out += scatterPlot(c);
    }
    out += "</div>\n<h2>Scores per texture class</h2>\n" + triangleNote(outcome) +
           textureTables(outcome) + "<h2>Rows left out</h2>\n" + leftOutTable(outcome) +
           "</body></html>\n";
    return out;
}

} // namespace talvo::evaluation
