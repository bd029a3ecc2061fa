// The page's calculator: the form library and the engine's door handed to JavaScript. Thin on
// purpose: every text the page shows comes from here, so the page and the window agree to the
// character. Nothing thrown may reach JavaScript: each call answers with plain objects.

#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/failure_message.h"
#include "form/memory_fields.h"
#include "form/particle_sizes.h"
#include "form/result_origins.h"
#include "form/results_text.h"
#include "form/retention_chart.h"
#include "form/soil_summary.h"
#include "form/soil_table.h"
#include "form/triangle_geometry.h"

#include <array>
#include <cstddef>
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::web {

namespace {

using emscripten::val;
using estimation::Input;
using estimation::Result;

constexpr std::array allResults{Result::fc, Result::pwp, Result::awc};

val text(std::string_view s) {
    return val(std::string(s));
}

std::string field(const val& object, const char* name) {
    const val value = object[name];
    return value.isString() ? value.as<std::string>() : std::string();
}

// The page's choice of separator: "," or anything else for ".".
estimation::DecimalSeparator separatorOf(const val& form) {
    return estimation::DecimalSeparator(field(form, "separator") == "," ? ',' : '.');
}

// A particle-size scale by its name as talvo-batch's --psd takes it; the models' own scale
// for anything else.
estimation::ParticleSizeScale scaleNamed(const std::string& psd) {
    return estimation::particleSizeScale(psd).value_or(
        estimation::ParticleSizeScale::international);
}

// The page's choice of particle-size scale.
estimation::ParticleSizeScale scaleOf(const val& page) {
    return scaleNamed(field(page, "psd"));
}

// The page's form as the actions see it: {model, psd, sand, silt, clay, oc, fc, pwp, awc}.
void readForm(const val& form, form::MemoryFields& fields) {
    fields.setModelIndex(form["model"].isNumber() ? form["model"].as<int>() : -1);
    fields.setParticleSizeScale(scaleOf(form));
    for (const Input input : estimation::allInputs) {
        fields.setInputText(input, field(form, std::string(estimation::name(input)).c_str()));
    }
    for (const Result result : allResults) {
        fields.setCaption(result, field(form, std::string(estimation::name(result)).c_str()));
    }
}

struct Texts {
    std::array<std::string, 4> owned;
    estimation::InputTexts view() const { return {owned[0], owned[1], owned[2], owned[3]}; }
};

Texts inputTexts(const val& form) {
    Texts texts;
    for (const Input input : estimation::allInputs) {
        texts.owned.at(static_cast<std::size_t>(input)) =
            field(form, std::string(estimation::name(input)).c_str());
    }
    return texts;
}

val strings(auto&& range) {
    val out = val::array();
    for (const auto& s : range) {
        out.call<void>("push", text(s));
    }
    return out;
}

val planePoint(form::PlanePoint p) {
    val out = val::object();
    out.set("x", p.x);
    out.set("y", p.y);
    return out;
}

val failureOf(const estimation::Failure& failure, estimation::DecimalSeparator separator) {
    val out = val::object();
    out.set("kind", text(estimation::describe(failure.kind())));
    out.set("box", failure.input() ? text(estimation::name(*failure.input())) : text(""));
    out.set("detail", text(form::failureDetail(failure.reason(), separator)));
    out.set("message", text(form::failureMessage(failure, separator)));
    return out;
}

// The chooser's seven texts, in catalogue order.
val models() {
    val out = val::array();
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        out.call<void>("push", text(model.listText));
    }
    return out;
}

// Choosing a model with sand, silt and clay on the scale named `psd`: {boxes: {sand: {enabled,
// background}, ...}, fcUnit, pwpUnit}; null for an index that chooses none, which leaves the
// page as it is.
val selectModel(int modelIndex, const std::string& psd) {
    if (estimation::modelAt(modelIndex) == nullptr) {
        return val::null();
    }
    form::MemoryFields fields;
    fields.setModelIndex(modelIndex);
    fields.setParticleSizeScale(scaleNamed(psd));
    form::ModelSelection(fields);
    val boxes = val::object();
    for (const Input input : estimation::allInputs) {
        val box = val::object();
        box.set("enabled", fields.inputEnabled(input));
        box.set("background", fields.inputBackground(input) == form::SystemColour::highlightText
                                  ? text("highlightText")
                                  : text("inactiveBorder"));
        boxes.set(std::string(estimation::name(input)), box);
    }
    val out = val::object();
    out.set("boxes", boxes);
    out.set("fcUnit", text(fields.unitCaption(form::Unit::fc)));
    out.set("pwpUnit", text(fields.unitCaption(form::Unit::pwp)));
    return out;
}

} // namespace

// The form's results with the soil each was worked out for, kept between the page's calls, so
// that the page greys what no longer describes the soil on screen as the window does.
class PageResults {
public:
    // A press of Estimate: {fc, pwp, awc} as the captions read afterwards, failure (null, or
    // {kind, box, detail, message}), the warnings of the last estimate with a model, one
    // sentence a line, and the same flags as the window's short line (flagLine).
    val estimate(const val& page) {
        const estimation::DecimalSeparator separator = separatorOf(page);
        form::MemoryFields fields;
        readForm(page, fields);
        val failure = val::null();
        try {
            m_origins.estimate(fields, separator);
        } catch (const estimation::Failure& error) {
            failure = failureOf(error, separator);
        }
        val out = val::object();
        for (const Result result : allResults) {
            out.set(std::string(estimation::name(result)), text(fields.caption(result)));
        }
        out.set("failure", failure);
        out.set("warnings", text(form::flagSentences(m_origins.flags())));
        out.set("flagLine", text(form::flagLine(m_origins.flags())));
        return out;
    }

    // What no longer describes the soil on the page: {fc, pwp, awc, flags}, each true or
    // false, and the note a stale caption carries.
    val stale(const val& page) const {
        const form::Staleness stale = staleness(page);
        val out = val::object();
        for (const Result result : allResults) {
            out.set(std::string(estimation::name(result)), stale[result]);
        }
        out.set("flags", stale.flags);
        out.set("note", text(form::StaleNote));
        return out;
    }

    // The results as the window copies them, from what the page shows, stale ones left out:
    // {modelText (the chooser's text), sand..oc, enabled: {sand..oc}, fcUnit, fc, pwp, awc}.
    std::string resultsText(const val& page) const {
        const form::Staleness stale = staleness(page);
        form::ShownEstimate shown;
        shown.model = field(page, "modelText");
        const val enabled = page["enabled"];
        for (const Input input : estimation::allInputs) {
            const std::string name(estimation::name(input));
            shown.boxes.at(static_cast<std::size_t>(input)) = {
                field(page, name.c_str()), !enabled.isUndefined() && enabled[name].as<bool>()};
        }
        shown.fcUnit = field(page, "fcUnit");
        for (const Result result : allResults) {
            if (!stale[result]) {
                shown.results.at(static_cast<std::size_t>(result)) =
                    field(page, std::string(estimation::name(result)).c_str());
            }
        }
        return form::resultsText(shown);
    }

private:
    form::Staleness staleness(const val& page) const {
        form::MemoryFields fields;
        readForm(page, fields);
        return m_origins.stale(form::screenSoil(fields));
    }

    form::ResultOrigins m_origins;
};

namespace {

// The scales the soil's details offer: [{name, label, detail, sandLabel, siltLabel}], the
// models' own first; `name` is what the page's `psd` takes, as talvo-batch's --psd does, and
// the form's sand and silt labels follow the scale chosen.
val particleSizes() {
    val out = val::array();
    for (const form::ParticleSizeChoice& choice : form::particleSizeChoices) {
        val item = val::object();
        item.set("name", text(estimation::name(choice.scale)));
        item.set("label", text(choice.label));
        item.set("detail", text(choice.detail));
        item.set("sandLabel", text(choice.sandLabel));
        item.set("siltLabel", text(choice.siltLabel));
        out.call<void>("push", item);
    }
    return out;
}

// What the soil view shows of the soil being typed, with sand, silt and clay on the scale of
// `psd`: {texture, warnings, mark: {point, text}, code, header, rows, copy}; `copy` is the
// table tab-separated, as the window copies it.
val soilDetails(const val& page) {
    const estimation::DecimalSeparator separator = separatorOf(page);
    const estimation::ParticleSizeScale scale = scaleOf(page);
    const Texts texts = inputTexts(page);
    const form::SoilMark mark = form::soilMark(texts.view(), separator, scale);
    val point = val::null();
    std::string_view code;
    if (mark.point) {
        if (const auto texture = estimation::textureClass(mark.point->sand, mark.point->silt,
                                                          mark.point->clay, scale)) {
            code = estimation::code(*texture);
        }
        point = val::object();
        point.set("sand", mark.point->sand);
        point.set("silt", mark.point->silt);
        point.set("clay", mark.point->clay);
    }
    val markOut = val::object();
    markOut.set("point", point);
    markOut.set("text", text(mark.text));

    const form::SoilTable table = form::soilTable(texts.view(), separator, scale);
    val rows = val::array();
    for (const form::SoilRow& row : table) {
        rows.call<void>("push", strings(row));
    }
    val out = val::object();
    out.set("texture", text(form::textureLine(texts.view(), separator, scale)));
    out.set("warnings", strings(form::soilWarnings(texts.view(), separator, scale)));
    out.set("mark", markOut);
    out.set("code", text(code));
    out.set("header", strings(form::soilTableHeader()));
    out.set("rows", rows);
    out.set("copy", text(form::tabSeparated(texts.view(), separator, table, scale)));
    // The models' mean and range, the row under them.
    out.set("spread", strings(form::soilSpread(texts.view(), separator, scale)));
    return out;
}

// ---- Retention curve

val curvePoint(const form::CurvePoint& point, estimation::DecimalSeparator separator) {
    val out = val::object();
    out.set("head", point.head);
    out.set("theta", point.theta);
    out.set("text", text(form::thetaText(point.theta, separator)));
    return out;
}

val curvePoints(const std::vector<form::CurvePoint>& points,
                estimation::DecimalSeparator separator) {
    val out = val::array();
    for (const form::CurvePoint& point : points) {
        out.call<void>("push", curvePoint(point, separator));
    }
    return out;
}

val bandPoints(const std::vector<form::BandPoint>& points, estimation::DecimalSeparator separator) {
    val out = val::array();
    for (const form::BandPoint& point : points) {
        val band = val::object();
        band.set("head", point.head);
        band.set("p05", point.p05);
        band.set("p95", point.p95);
        band.set("p05Text", text(form::thetaText(point.p05, separator)));
        band.set("p95Text", text(form::thetaText(point.p95, separator)));
        out.call<void>("push", band);
    }
    return out;
}

// The Saxton and Rawls curve of the soil in the form, sand, silt and clay on the scale of
// `psd`, with the standard deviations of sdSand, sdClay and sdOc as typed: {title,
// description, failure, notes, points, table, fc, pwp, band, tableBand}, each point {head
// (cm), theta (% v/v), text}, each band point {head, p05, p95, p05Text, p95Text}; without a
// curve, points and table are empty and failure says why; without deviations, no band.
val retentionChart(const val& page) {
    const estimation::DecimalSeparator separator = separatorOf(page);
    const Texts texts = inputTexts(page);
    const form::CurveSpread spread{
        field(page, "sdSand"), field(page, "sdClay"), field(page, "sdOc"), {}};
    const form::RetentionChart chart =
        form::retentionChart(texts.view(), separator, scaleOf(page), spread);
    val out = val::object();
    out.set("title", text(chart.title));
    out.set("description", text(chart.description));
    out.set("failure", text(chart.failure));
    out.set("notes", strings(chart.notes));
    out.set("points", curvePoints(chart.points, separator));
    out.set("table", curvePoints(chart.table, separator));
    out.set("fc", curvePoint(chart.fieldCapacity, separator));
    out.set("pwp", curvePoint(chart.wiltingPoint, separator));
    out.set("band", bandPoints(chart.band, separator));
    out.set("tableBand", bandPoints(chart.tableBand, separator));
    return out;
}

// ----

// The triangle of the scale named `psd` fitted into width x height with room for the axes: its
// corners, each class's polygon and label point, the ticks and the axes' titles, all in the
// plane's units.
val triangle(double width, double height, double margin, const std::string& psd) {
    const estimation::ParticleSizeScale scale = scaleNamed(psd);
    const form::TriangleFrame frame = form::fitTriangle(width, height, margin);
    val corners = val::object();
    corners.set("sand", planePoint(frame.sand));
    corners.set("silt", planePoint(frame.silt));
    corners.set("clay", planePoint(frame.clay));

    val classes = val::array();
    for (const estimation::TextureClass texture : estimation::textureClasses(scale)) {
        val outline = val::array();
        for (const estimation::TexturePoint& corner : estimation::outline(texture, scale)) {
            outline.call<void>("push", planePoint(form::place(frame, corner)));
        }
        const form::PlanePoint label = form::place(frame, estimation::labelPoint(texture, scale));
        val item = val::object();
        item.set("name", text(estimation::name(texture)));
        item.set("code", text(estimation::code(texture)));
        item.set("outline", outline);
        item.set("label", planePoint(label));
        item.set("room", form::widthAt(frame, estimation::outline(texture, scale), label.y));
        classes.call<void>("push", item);
    }

    val ticks = val::array();
    for (const form::AxisTick& tick : form::axisTicks(frame, 10)) {
        val item = planePoint(tick.at);
        item.set("percent", tick.percent);
        item.set("outward", planePoint(tick.outward));
        ticks.call<void>("push", item);
    }
    val axes = val::array();
    for (const form::Axis axis : {form::Axis::sand, form::Axis::silt, form::Axis::clay}) {
        const form::AxisTick middle = form::axisMiddle(frame, axis);
        val item = planePoint(middle.at);
        item.set("title", text(form::axisTitle(axis)));
        item.set("outward", planePoint(middle.outward));
        axes.call<void>("push", item);
    }

    val out = val::object();
    out.set("corners", corners);
    out.set("classes", classes);
    out.set("ticks", ticks);
    out.set("axes", axes);
    return out;
}

// Where a soil lies in that triangle.
val placeSoil(double width, double height, double margin, double sand, double silt, double clay) {
    return planePoint(form::place(form::fitTriangle(width, height, margin), {sand, silt, clay}));
}

// The soil a click at (x, y) picks: {sand, silt, clay} as texts for the boxes, or null off
// the triangle.
val soilAt(double width, double height, double margin, double x, double y,
           const std::string& separatorText) {
    constexpr double Slack = 4; // a finger's tolerance past the edges
    const auto soil = form::soilAt(form::fitTriangle(width, height, margin), {x, y}, Slack);
    if (!soil) {
        return val::null();
    }
    const estimation::DecimalSeparator separator(separatorText == "," ? ',' : '.');
    val out = val::object();
    out.set("sand", text(estimation::generalText(soil->sand, separator)));
    out.set("silt", text(estimation::generalText(soil->silt, separator)));
    out.set("clay", text(estimation::generalText(soil->clay, separator)));
    return out;
}

std::string version() {
    return TALVO_VERSION;
}

} // namespace

EMSCRIPTEN_BINDINGS(talvo_form) {
    emscripten::class_<PageResults>("PageResults")
        .constructor<>()
        .function("estimate", &PageResults::estimate)
        .function("stale", &PageResults::stale)
        .function("resultsText", &PageResults::resultsText);
    emscripten::function("version", &version);
    emscripten::function("models", &models);
    emscripten::function("selectModel", &selectModel);
    emscripten::function("particleSizes", &particleSizes);
    emscripten::function("soilDetails", &soilDetails);
    emscripten::function("retentionChart", &retentionChart);
    emscripten::function("triangle", &triangle);
    emscripten::function("placeSoil", &placeSoil);
    emscripten::function("soilAt", &soilAt);
}

} // namespace talvo::web
