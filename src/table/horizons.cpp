#include "table/horizons.h"

#include "base/error.h"
#include "table/csv.h"
#include "table/settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvo::table {

std::string_view headerName(HorizonInput input) {
    constexpr std::array<std::string_view, allHorizonInputs.size()> names{
        "profile", "top", "bottom", "bd", "cf", "theta_fc", "theta_pwp", "dul", "ll15"};
    return names.at(static_cast<std::size_t>(input));
}

std::size_t ProfileTable::find(std::string_view profileId) {
    for (std::size_t& recent : m_recent) {
        if (recent != None && runId(recent) == profileId) {
            std::swap(recent, m_recent[0]);
            return m_recent[0];
        }
    }
    m_ids += profileId;
    m_runs.push_back({m_ids.size(), None, None});
    m_recent[1] = m_recent[0];
    m_recent[0] = m_runs.size() - 1;
    return m_recent[0];
}

void ProfileTable::add(const HorizonBatch& batch) {
    const std::size_t modelCount = m_modelNames.size();
    std::size_t idStart = 0;
    for (std::size_t h = 0; h < batch.entries.size(); ++h) {
        const HorizonBatch::Entry& entry = batch.entries[h];
        const std::string_view profileId =
            std::string_view(batch.ids).substr(idStart, entry.idEnd - idStart);
        idStart = entry.idEnd;
        Run& run = m_runs[find(profileId)];
        const std::size_t horizon = m_horizons.size();
        m_horizons.push_back({entry.top, entry.bottom, None});
        (run.last == None ? run.first : m_horizons[run.last].next) = horizon;
        run.last = horizon;
        const auto values = batch.water.begin() + static_cast<std::ptrdiff_t>(h * modelCount);
        m_water.insert(m_water.end(), values, values + static_cast<std::ptrdiff_t>(modelCount));
    }
    m_details.insert(m_details.end(), batch.details.begin(), batch.details.end());
}

void ProfileTable::gather() {
    // The runs by id, each id's in the order they came: its first run is the profile's.
    std::vector<std::size_t> order(m_runs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const int byId = runId(a).compare(runId(b));
        return byId != 0 ? byId < 0 : a < b;
    });
    const auto sameId = [this](std::size_t a, std::size_t b) { return runId(a) == runId(b); };
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (sameId(order[i - 1], order[i])) {
            m_horizons[m_runs[order[i - 1]].last].next = m_runs[order[i]].first;
        }
    }
    order.erase(std::unique(order.begin(), order.end(), sameId), order.end());
    std::sort(order.begin(), order.end());
    m_profiles = std::move(order);
}

estimation::ProfileWater ProfileTable::water(std::size_t profile, std::size_t m,
                                             const estimation::RootZone& zone,
                                             estimation::Profile& scratch) const {
    const std::size_t modelCount = m_modelNames.size();
    scratch.clear();
    for (std::size_t h = m_runs[m_profiles[profile]].first; h != None; h = m_horizons[h].next) {
        const double waterMm = m_water[h * modelCount + m];
        scratch.add(m_horizons[h].top, m_horizons[h].bottom,
                    std::isnan(waterMm) ? std::nullopt : std::optional<double>(waterMm));
    }
    return scratch.water(zone);
}

std::vector<HorizonSoilDetails> ProfileTable::details(std::size_t profile, std::size_t m) const {
    const std::size_t stride = HorizonSoilDetails::Fields + 2 * m_modelNames.size();
    std::vector<HorizonSoilDetails> out;
    for (std::size_t h = m_runs[m_profiles[profile]].first; h != None; h = m_horizons[h].next) {
        if ((h + 1) * stride > m_details.size()) {
            break; // kept without soil details
        }
        HorizonSoilDetails horizon{.top = m_horizons[h].top, .bottom = m_horizons[h].bottom};
        const auto first = m_details.begin() + static_cast<std::ptrdiff_t>(h * stride);
        std::copy(first, first + HorizonSoilDetails::Fields, horizon.soil.begin());
        const auto limits = first + static_cast<std::ptrdiff_t>(HorizonSoilDetails::Fields + 2 * m);
        horizon.fc = limits[0];
        horizon.pwp = limits[1];
        out.push_back(horizon);
    }
    return out;
}

char* writeNumberText(char* out, double value, const Settings& settings) {
    // Two decimals from the 15-digit form, as fixedText takes them from the 15-digit text.
    const char separator = settings.decimal.get();
    return settings.precision == Precision::fixed ? estimation::writeFixed(out, value, separator)
                                                  : estimation::writeGeneral(out, value, separator);
}

namespace {

// A row's numbers: depth_cm and the four sums, each led by the delimiter and quoted at most.
constexpr std::size_t SummaryNumbersBytes =
    5 * (1 + quotedFieldBytes(estimation::ResultTextCapacity));

// Each set of profile flags as its field, by its bits, worked out once.
std::array<std::string, std::size_t{1} << estimation::allProfileFlags.size()>
profileFlagFields(char delimiter) {
    std::array<std::string, std::size_t{1} << estimation::allProfileFlags.size()> fields;
    for (std::size_t bits = 0; bits < fields.size(); ++bits) {
        estimation::ProfileFlags flags;
        for (std::size_t i = 0; i < estimation::allProfileFlags.size(); ++i) {
            if ((bits >> i & 1U) != 0) {
                flags.add(estimation::allProfileFlags[i]);
            }
        }
        appendField(fields[flags.bits()], estimation::profileFlagsText(flags), delimiter);
    }
    return fields;
}

} // namespace

SummaryWriter::SummaryWriter(const ProfileTable& table, const Settings& settings)
    : m_table(table), m_settings(settings), m_flagFields(profileFlagFields(settings.delimiter)) {
    const char delimiter = settings.delimiter;
    // Depths are the table's own numbers: written in full, not rounded as water is.
    appendField(m_rootDepth, estimation::generalText(settings.rootZone.rootDepth, settings.decimal),
                delimiter);
    // A model's field is written only where several ran.
    for (const std::string& model : table.modelNames()) {
        std::string field;
        if (table.modelNames().size() > 1) {
            field += delimiter;
            appendField(field, model, delimiter);
        }
        m_modelFields.push_back(std::move(field));
    }
    m_quoted = std::string_view("0123456789+-eE").find(delimiter) != std::string_view::npos ||
               delimiter == settings.decimal.get();
}

std::string SummaryWriter::header() const {
    std::string header;
    for (const std::string_view column : {"profile", "model", "depth_cm", "taw_0_30", "taw_0_100",
                                          "taw_root", "raw_root", "root_depth", "flags"}) {
        if (column == "model" && m_table.modelNames().size() < 2) {
            continue;
        }
        if (!header.empty()) {
            header += m_settings.delimiter;
        }
        header += column;
    }
    for (const std::string& column : m_extraNames) {
        header += m_settings.delimiter;
        appendField(header, column, m_settings.delimiter);
    }
    header += m_table.lineEnd();
    return header;
}

char* SummaryWriter::writeNumber(char* out, double value, bool rounded) const {
    const char delimiter = m_settings.delimiter;
    *out++ = delimiter;
    const auto write = [&](char* at) {
        return rounded ? writeNumberText(at, value, m_settings)
                       : estimation::writeGeneral(at, value, m_settings.decimal.get());
    };
    if (!m_quoted) {
        return write(out);
    }
    std::array<char, estimation::ResultTextCapacity>
        text; // NOLINT(cppcoreguidelines-pro-type-member-init)
    char* const end = write(text.data());
    // Quoted only where the delimiter did occur in it.
    return writeField(out, {text.data(), static_cast<std::size_t>(end - text.data())}, delimiter);
}

void SummaryWriter::appendRows(std::size_t first, std::size_t last, std::string& out,
                               estimation::Profile& scratch) const {
    const char delimiter = m_settings.delimiter;
    const std::string_view lineEnd = m_table.lineEnd();
    // Written straight into `out`, which grows by doubling: resizing it for each row would
    // clear a row's room, thousands of bytes for the longest numbers, every time.
    std::size_t used = out.size();
    for (std::size_t p = first; p < last; ++p) {
        const std::string_view id = m_table.id(p);
        for (std::size_t m = 0; m < m_modelFields.size(); ++m) {
            const estimation::ProfileWater water =
                m_table.water(p, m, m_settings.rootZone, scratch);
            const std::string& flags = m_flagFields[water.flags.bits()];
            const std::size_t bound = quotedFieldBytes(id.size()) + m_modelFields[m].size() +
                                      SummaryNumbersBytes + 2 + m_rootDepth.size() + flags.size() +
                                      lineEnd.size();
            if (out.size() < used + bound) {
                out.resize(std::max(2 * out.size(), used + bound));
            }
            char* end = writeField(out.data() + used, id, delimiter);
            end = std::copy(m_modelFields[m].begin(), m_modelFields[m].end(), end);
            end = writeNumber(end, water.depth, false);
            for (const double sum : {water.topsoil, water.subsoil, water.root, water.readily}) {
                end = writeNumber(end, sum, true);
            }
            *end++ = delimiter;
            end = std::copy(m_rootDepth.begin(), m_rootDepth.end(), end);
            *end++ = delimiter;
            end = std::copy(flags.begin(), flags.end(), end);
            if (m_extraCells) {
                // Of any length: the row's room is worked out again after them.
                out.resize(static_cast<std::size_t>(end - out.data()));
                m_extraCells(p, m, out);
                out.resize(out.size() + lineEnd.size());
                end = out.data() + out.size() - lineEnd.size();
            }
            end = std::copy(lineEnd.begin(), lineEnd.end(), end);
            used = static_cast<std::size_t>(end - out.data());
        }
    }
    out.resize(used);
}

void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out) {
    writeProfileSummary(SummaryWriter(table, settings), out);
}

void writeProfileSummary(const SummaryWriter& writer, std::ostream& out) {
    std::string block = writer.header();
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    estimation::Profile scratch;
    // Rows go out in blocks of this many profiles, some tens of KiB, rather than one by one.
    constexpr std::size_t ProfilesPerBlock = 512;
    for (std::size_t first = 0; first < writer.size(); first += ProfilesPerBlock) {
        block.clear();
        writer.appendRows(first, std::min(writer.size(), first + ProfilesPerBlock), block, scratch);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

} // namespace talvo::table
