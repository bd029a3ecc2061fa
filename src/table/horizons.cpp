#include "table/horizons.h"

#include "table/csv.h"
#include "table/settings.h"

#include <array>
#include <cmath>

namespace talvo::table {

std::string_view headerName(HorizonInput input) {
    constexpr std::array<std::string_view, allHorizonInputs.size()> names{"profile", "top",
                                                                          "bottom", "bd", "cf"};
    return names.at(static_cast<std::size_t>(input));
}

void ProfileTable::add(const HorizonBatch& batch) {
    const std::size_t modelCount = m_models.size();
    std::size_t idStart = 0;
    for (std::size_t h = 0; h < batch.entries.size(); ++h) {
        const HorizonBatch::Entry& entry = batch.entries[h];
        const std::string_view profileId =
            std::string_view(batch.ids).substr(idStart, entry.idEnd - idStart);
        idStart = entry.idEnd;
        // Looked up as a view: a string made for every horizon cost as much as the sums.
        auto found = m_index.find(profileId);
        if (found == m_index.end()) {
            found = m_index.emplace(std::string(profileId), m_ids.size()).first;
            m_ids.push_back(found->first);
            m_profiles.resize(m_profiles.size() + modelCount);
        }
        for (std::size_t m = 0; m < modelCount; ++m) {
            const double waterMm = batch.water[h * modelCount + m];
            m_profiles[found->second * modelCount + m].add(
                entry.top, entry.bottom,
                std::isnan(waterMm) ? std::nullopt : std::optional<double>(waterMm));
        }
    }
}

char* writeNumberText(char* out, double value, const Settings& settings) {
    // Two decimals from the 15-digit form, as fixedText takes them from the 15-digit text.
    const estimation::DecimalForm form = estimation::decimalForm(value);
    const char separator = settings.decimal.get();
    return settings.precision == Precision::fixed ? estimation::writeFixed(out, form, separator)
                                                  : estimation::writeGeneral(out, form, separator);
}

std::string numberText(double value, const Settings& settings) {
    std::array<char, estimation::FixedTextCapacity>
        text; // NOLINT(cppcoreguidelines-pro-type-member-init)
    return {text.data(), writeNumberText(text.data(), value, settings)};
}

namespace {

void appendNumber(std::string& line, const std::string& text, char delimiter) {
    line += delimiter;
    appendField(line, text, delimiter);
}

} // namespace

void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out) {
    const std::vector<const estimation::PtfModel*>& models = table.models();
    const std::string_view lineEnd = table.lineEnd();
    const char delimiter = settings.delimiter;
    const bool named = models.size() > 1;
    std::string line;
    for (const std::string_view column : {"profile", "model", "depth_cm", "taw_0_30", "taw_0_100",
                                          "taw_root", "raw_root", "root_depth", "flags"}) {
        if (column == "model" && !named) {
            continue;
        }
        line += line.empty() ? "" : std::string(1, delimiter);
        line += column;
    }
    line += lineEnd;
    out << line;
    const estimation::RootZone& zone = settings.rootZone;
    // Depths are the table's own numbers: written in full, not rounded as water is.
    const std::string rootDepth = estimation::generalText(zone.rootDepth, settings.decimal);
    for (std::size_t p = 0; p < table.size(); ++p) {
        for (std::size_t m = 0; m < models.size(); ++m) {
            const estimation::ProfileWater water = table.water(p, m, zone);
            line.clear();
            appendField(line, table.id(p), delimiter);
            if (named) {
                line += delimiter;
                appendField(line, models[m]->listText, delimiter);
            }
            appendNumber(line, estimation::generalText(water.depth, settings.decimal), delimiter);
            for (const double sum : {water.topsoil, water.subsoil, water.root, water.readily}) {
                appendNumber(line, numberText(sum, settings), delimiter);
            }
            appendNumber(line, rootDepth, delimiter);
            line += delimiter;
            appendField(line, estimation::profileFlagsText(water.flags), delimiter);
            line += lineEnd;
            out << line;
        }
    }
}

} // namespace talvo::table
