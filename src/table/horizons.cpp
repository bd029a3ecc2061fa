#include "table/horizons.h"

#include "table/csv.h"
#include "table/error.h"
#include "table/settings.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>

namespace talvo::table {

std::string_view headerName(HorizonInput input) {
    constexpr std::array<std::string_view, allHorizonInputs.size()> names{"profile", "top",
                                                                          "bottom", "bd", "cf"};
    return names.at(static_cast<std::size_t>(input));
}

namespace {

// The index numbers profiles in 32 bits, and the table horizons; one number is "none".
constexpr std::size_t MaxProfiles = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t MaxHorizons = std::numeric_limits<std::uint32_t>::max() - 1;
// Below 2^24 a float's whole numbers are all there, and the depths of real profiles lie far
// below it; NaN and the rest are kept in full.
constexpr double FloatDepthLimit = 16777216.0;

bool floatHolds(double depth) noexcept {
    return std::fabs(depth) < FloatDepthLimit &&
           static_cast<double>(static_cast<float>(depth)) == depth;
}
// How many horizons ahead add() asks for a profile's place in the index, and profiles ahead
// grow() does.
constexpr std::size_t PrefetchAhead = 8;

} // namespace

std::size_t ProfileTable::slot(std::string_view id, std::uint64_t hash) const noexcept {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& place = m_slots[at];
        if (place.number == 0 || (place.tag == hashTag(hash) &&
                                  holds(static_cast<std::size_t>(place.number) - 1, id, hash))) {
            return at;
        }
    }
}

void ProfileTable::grow() {
    // Doubled, and where that takes a block, the whole block: each size below it would take
    // a block of its own, fresh memory that the system clears at a cost.
    const std::size_t bytes =
        zeroedRoom(std::max<std::size_t>(64, m_slots.size() * 2) * sizeof(Slot));
    const std::size_t count = bytes / sizeof(Slot);
    assert(std::has_single_bit(count));
    m_slotMemory = {static_cast<Slot*>(allocateZeroed(bytes)), FreeZeroed{bytes}};
    m_slots = {m_slotMemory.get(), count};
    // Every id differs from the others: only a free place is looked for, each some profiles
    // ahead, as the places are far apart.
    for (std::size_t p = 0; p < m_profiles.size(); ++p) {
        if (p + PrefetchAhead < m_profiles.size()) {
            __builtin_prefetch(&m_slots[m_profiles[p + PrefetchAhead].hash & (count - 1)], 1);
        }
        std::size_t at = m_profiles[p].hash & (count - 1);
        while (m_slots[at].number != 0) {
            at = (at + 1) & (count - 1);
        }
        m_slots[at] = {hashTag(m_profiles[p].hash), static_cast<std::uint32_t>(p + 1)};
    }
}

ProfileTable::Entry& ProfileTable::find(std::string_view profileId, std::uint64_t hash) {
    for (Recent& recent : m_recent) {
        if (recent.entry != nullptr && recent.entry->hash == hash &&
            std::string_view(m_ids).substr(recent.idStart, recent.entry->idEnd - recent.idStart) ==
                profileId) {
            std::swap(recent, m_recent[0]);
            return *m_recent[0].entry;
        }
    }
    if (2 * (m_profiles.size() + 1) > m_slots.size()) {
        grow();
    }
    Slot& place = m_slots[slot(profileId, hash)];
    if (place.number == 0) {
        if (m_profiles.size() == MaxProfiles) {
            throw Error("more than " + std::to_string(MaxProfiles) + " profiles");
        }
        m_ids += profileId;
        m_profiles.push_back({m_ids.size(), hash, NoHorizon, NoHorizon});
        place = {hashTag(hash), static_cast<std::uint32_t>(m_profiles.size())};
    }
    const std::size_t profile = static_cast<std::size_t>(place.number) - 1;
    m_recent[1] = m_recent[0];
    m_recent[0] = {&m_profiles[profile], profile == 0 ? 0 : m_profiles[profile - 1].idEnd};
    return *m_recent[0].entry;
}

void ProfileTable::add(const HorizonBatch& batch) {
    const std::size_t modelCount = m_models.size();
    std::size_t idStart = 0;
    for (std::size_t h = 0; h < batch.entries.size(); ++h) {
        // A new profile's place in the index is a miss in every cache: asked for a few
        // horizons ahead, it has come by the time it is looked at.
        if (h + PrefetchAhead < batch.entries.size() && !m_slots.empty()) {
            __builtin_prefetch(
                &m_slots[batch.entries[h + PrefetchAhead].hash & (m_slots.size() - 1)]);
        }
        const HorizonBatch::Entry& entry = batch.entries[h];
        Entry& profile =
            find(std::string_view(batch.ids).substr(idStart, entry.idEnd - idStart), entry.hash);
        idStart = entry.idEnd;
        if (m_horizons.size() == MaxHorizons) {
            throw Error("more than " + std::to_string(MaxHorizons) + " horizons");
        }
        const auto horizon = static_cast<std::uint32_t>(m_horizons.size());
        if (floatHolds(entry.top) && floatHolds(entry.bottom)) {
            m_horizons.push_back(
                {static_cast<float>(entry.top), static_cast<float>(entry.bottom), NoHorizon});
        } else {
            const auto exact = static_cast<std::uint32_t>(m_exactDepths.size());
            m_exactDepths.push_back({entry.top, entry.bottom});
            Horizon wide{std::numeric_limits<float>::quiet_NaN(), 0.0F, NoHorizon};
            std::memcpy(&wide.bottom, &exact, sizeof exact);
            m_horizons.push_back(wide);
        }
        (profile.last == NoHorizon ? profile.first : m_horizons[profile.last].next) = horizon;
        profile.last = horizon;
        for (std::size_t m = 0; m < modelCount; ++m) {
            m_water.push_back(batch.water[h * modelCount + m]);
        }
    }
}

std::array<double, 2> ProfileTable::depths(const Horizon& horizon) const noexcept {
    if (std::isnan(horizon.top)) {
        std::uint32_t exact = 0;
        std::memcpy(&exact, &horizon.bottom, sizeof exact);
        return m_exactDepths[exact];
    }
    return {horizon.top, horizon.bottom};
}

estimation::ProfileWater ProfileTable::water(std::size_t profile, std::size_t m,
                                             const estimation::RootZone& zone,
                                             estimation::Profile& scratch) const {
    const std::size_t modelCount = m_models.size();
    scratch.clear();
    for (std::uint32_t h = m_profiles[profile].first; h != NoHorizon; h = m_horizons[h].next) {
        const double waterMm = m_water[h * modelCount + m];
        const auto [top, bottom] = depths(m_horizons[h]);
        scratch.add(top, bottom,
                    std::isnan(waterMm) ? std::nullopt : std::optional<double>(waterMm));
    }
    return scratch.water(zone);
}

char* writeNumberText(char* out, double value, const Settings& settings) {
    // Two decimals from the 15-digit form, as fixedText takes them from the 15-digit text.
    const char separator = settings.decimal.get();
    return settings.precision == Precision::fixed
               ? estimation::writeFixed(out, value, separator)
               : estimation::writeGeneral(out, value, separator);
}

namespace {

// A row's numbers: depth_cm and the four sums, each led by the delimiter and quoted at most.
constexpr std::size_t SummaryNumbersBytes =
    5 * (1 + quotedFieldBytes(estimation::FixedTextCapacity));

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
    for (const estimation::PtfModel* model : table.models()) {
        std::string field;
        if (table.models().size() > 1) {
            field += delimiter;
            appendField(field, model->listText, delimiter);
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
        if (column == "model" && m_table.models().size() < 2) {
            continue;
        }
        if (!header.empty()) {
            header += m_settings.delimiter;
        }
        header += column;
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
    std::array<char, estimation::FixedTextCapacity>
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
            end = std::copy(lineEnd.begin(), lineEnd.end(), end);
            used = static_cast<std::size_t>(end - out.data());
        }
    }
    out.resize(used);
}

void writeProfileSummary(const ProfileTable& table, const Settings& settings, std::ostream& out) {
    const SummaryWriter writer(table, settings);
    std::string block = writer.header();
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    estimation::Profile scratch;
    // Rows go out in blocks of this many profiles, some tens of KiB, rather than one by one.
    constexpr std::size_t ProfilesPerBlock = 512;
    for (std::size_t first = 0; first < table.size(); first += ProfilesPerBlock) {
        block.clear();
        writer.appendRows(first, std::min(table.size(), first + ProfilesPerBlock), block, scratch);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

} // namespace talvo::table
