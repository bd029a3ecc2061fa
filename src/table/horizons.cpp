#include "table/horizons.h"

#include "table/csv.h"
#include "table/settings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <new>
#include <optional>

namespace talvo::table {

std::string_view headerName(HorizonInput input) {
    constexpr std::array<std::string_view, allHorizonInputs.size()> names{"profile", "top",
                                                                          "bottom", "bd", "cf"};
    return names.at(static_cast<std::size_t>(input));
}

namespace {

// How many horizons ahead add() asks for a profile's place in the index.
constexpr std::size_t PrefetchAhead = 8;

} // namespace

std::size_t ProfileTable::slot(std::string_view id, std::uint64_t hash) const noexcept {
    const std::size_t mask = m_slotCount - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& place = m_slots[at];
        if (place.number == 0 || (place.hash == hash && this->id(place.number - 1) == id)) {
            return at;
        }
    }
}

void ProfileTable::grow() {
    const std::size_t count = std::max<std::size_t>(64, m_slotCount * 2);
    m_slots.reset(static_cast<Slot*>(std::calloc(count, sizeof(Slot))));
    if (!m_slots) {
        throw std::bad_alloc();
    }
    m_slotCount = count;
    // Every id differs from the others: only a free place is looked for.
    for (std::size_t p = 0; p < m_profiles.size(); ++p) {
        std::size_t at = m_profiles[p].hash & (count - 1);
        while (m_slots[at].number != 0) {
            at = (at + 1) & (count - 1);
        }
        m_slots[at] = {m_profiles[p].hash, p + 1};
    }
}

std::size_t ProfileTable::find(std::string_view profileId, std::uint64_t hash) {
    for (std::size_t& recent : m_recent) {
        if (recent != None && holds(recent, profileId, hash)) {
            std::swap(recent, m_recent[0]);
            return m_recent[0];
        }
    }
    if (2 * (m_profiles.size() + 1) > m_slotCount) {
        grow();
    }
    Slot& place = m_slots[slot(profileId, hash)];
    if (place.number == 0) {
        m_ids += profileId;
        m_profiles.push_back({m_ids.size(), hash, None, None});
        place = {hash, m_profiles.size()};
    }
    m_recent[1] = m_recent[0];
    m_recent[0] = place.number - 1;
    return m_recent[0];
}

void ProfileTable::add(const HorizonBatch& batch) {
    const std::size_t modelCount = m_models.size();
    std::size_t idStart = 0;
    for (std::size_t h = 0; h < batch.entries.size(); ++h) {
        // A new profile's place in the index is a miss in every cache: asked for a few
        // horizons ahead, it has come by the time it is looked at.
        if (h + PrefetchAhead < batch.entries.size() && m_slotCount != 0) {
            __builtin_prefetch(&m_slots[batch.entries[h + PrefetchAhead].hash & (m_slotCount - 1)]);
        }
        const HorizonBatch::Entry& entry = batch.entries[h];
        Entry& profile = m_profiles[find(
            std::string_view(batch.ids).substr(idStart, entry.idEnd - idStart), entry.hash)];
        idStart = entry.idEnd;
        const std::size_t horizon = m_horizons.size();
        m_horizons.push_back({entry.top, entry.bottom, None});
        (profile.last == None ? profile.first : m_horizons[profile.last].next) = horizon;
        profile.last = horizon;
        for (std::size_t m = 0; m < modelCount; ++m) {
            m_water.push_back(batch.water[h * modelCount + m]);
        }
    }
}

estimation::ProfileWater ProfileTable::water(std::size_t profile, std::size_t m,
                                             const estimation::RootZone& zone) const {
    const std::size_t modelCount = m_models.size();
    m_profile.clear();
    for (std::size_t h = m_profiles[profile].first; h != None; h = m_horizons[h].next) {
        const double waterMm = m_water[h * modelCount + m];
        m_profile.add(m_horizons[h].top, m_horizons[h].bottom,
                      std::isnan(waterMm) ? std::nullopt : std::optional<double>(waterMm));
    }
    return m_profile.water(zone);
}

char* writeNumberText(char* out, double value, const Settings& settings) {
    // Two decimals from the 15-digit form, as fixedText takes them from the 15-digit text.
    const char separator = settings.decimal.get();
    return settings.precision == Precision::fixed
               ? estimation::writeFixed(out, value, separator)
               : estimation::writeGeneral(out, estimation::decimalForm(value), separator);
}

namespace {

// Summary rows go out in blocks of about this size rather than one by one.
constexpr std::size_t SummaryBlockBytes = std::size_t{1} << 16;

// A number's text as the next field; quoted only where the delimiter can occur in one.
void appendNumber(std::string& line, std::string_view text, char delimiter, bool quoted) {
    line += delimiter;
    if (quoted) {
        appendField(line, text, delimiter);
    } else {
        line += text;
    }
}

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

void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out) {
    const std::vector<const estimation::PtfModel*>& models = table.models();
    const std::string_view lineEnd = table.lineEnd();
    const char delimiter = settings.delimiter;
    const bool named = models.size() > 1;
    std::string block;
    for (const std::string_view column : {"profile", "model", "depth_cm", "taw_0_30", "taw_0_100",
                                          "taw_root", "raw_root", "root_depth", "flags"}) {
        if (column == "model" && !named) {
            continue;
        }
        if (!block.empty()) {
            block += delimiter;
        }
        block += column;
    }
    block += lineEnd;
    const estimation::RootZone& zone = settings.rootZone;
    // Depths are the table's own numbers: written in full, not rounded as water is.
    const std::string rootDepth = estimation::generalText(zone.rootDepth, settings.decimal);
    const auto flagFields = profileFlagFields(delimiter);
    const bool quoted =
        std::string_view("0123456789+-eE").find(delimiter) != std::string_view::npos ||
        delimiter == settings.decimal.get();
    std::array<char, estimation::FixedTextCapacity>
        text; // NOLINT(cppcoreguidelines-pro-type-member-init)
    const auto appendText = [&](const char* end) {
        appendNumber(block, {text.data(), static_cast<std::size_t>(end - text.data())}, delimiter,
                     quoted);
    };
    for (std::size_t p = 0; p < table.size(); ++p) {
        for (std::size_t m = 0; m < models.size(); ++m) {
            const estimation::ProfileWater water = table.water(p, m, zone);
            appendField(block, table.id(p), delimiter);
            if (named) {
                block += delimiter;
                appendField(block, models[m]->listText, delimiter);
            }
            appendText(estimation::writeGeneral(text.data(), estimation::decimalForm(water.depth),
                                                settings.decimal.get()));
            for (const double sum : {water.topsoil, water.subsoil, water.root, water.readily}) {
                appendText(writeNumberText(text.data(), sum, settings));
            }
            appendNumber(block, rootDepth, delimiter, quoted);
            block += delimiter;
            block += flagFields[water.flags.bits()];
            block += lineEnd;
            if (block.size() >= SummaryBlockBytes) {
                out.write(block.data(), static_cast<std::streamsize>(block.size()));
                block.clear();
            }
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

} // namespace talvo::table
