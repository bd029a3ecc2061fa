// talvo_profile's sums: each horizon's cells read as talvo-batch --profiles reads them, its
// water from the model's 15-digit FC and PWP, then each profile's root-zone water.

#include "base/options.h"
#include "engine.h"
#include "estimation/estimation.h"
#include "table/horizon_cells.h"
#include "table/settings.h"

#include <Rcpp.h>
#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace talvo;
using table::HorizonInput;

constexpr double MillimetresPerCentimetre = 10.0;

// A horizon column as its cells: texts where R holds texts, numbers where it holds numbers.
class HorizonColumn {
public:
    explicit HorizonColumn(SEXP values) : m_values(values) {}

    void fill(table::HorizonCells& cells, std::string& text, HorizonInput input, R_xlen_t i) const {
        const auto at = static_cast<std::size_t>(input);
        if (TYPEOF(m_values) == STRSXP) {
            text = r::utf8(STRING_ELT(m_values, i));
        } else if (TYPEOF(m_values) == REALSXP) {
            // A number is read as it stands; NA as an empty cell.
            cells.plain.at(at) = REAL(m_values)[i];
            text.clear();
        } else {
            text.clear();
        }
        cells.texts.at(at) = text;
    }

private:
    SEXP m_values;
};

// The flags of an estimate's text with the horizon's added, as talvo-batch writes them.
std::string withHorizonFlags(const std::string& text,
                             const std::optional<estimation::HorizonWater>& water) {
    estimation::Flags flags;
    for (const estimation::Flag flag : estimation::allFlags) {
        const std::string code(estimation::code(flag));
        if ((";" + text + ";").find(";" + code + ";") != std::string::npos) {
            flags.add(flag);
        }
    }
    estimation::addHorizonFlags(water, flags);
    return estimation::flagsText(flags);
}

struct ProfileSums {
    std::vector<std::string> names; // in the order they first appear
    std::vector<estimation::Profile> sums;
    std::vector<bool> porous; // a horizon holds more water than its pores
    std::map<std::string, std::size_t> index;

    std::size_t of(const std::string& name) {
        const auto [at, added] = index.try_emplace(name, names.size());
        if (added) {
            names.push_back(name);
            sums.emplace_back();
            porous.push_back(false);
        }
        return at->second;
    }
};

Rcpp::List profileTable(const ProfileSums& profiles, const estimation::RootZone& zone) {
    const auto count = static_cast<R_xlen_t>(profiles.sums.size());
    Rcpp::NumericVector depth(count), topsoil(count), subsoil(count), root(count), readily(count);
    Rcpp::CharacterVector names(count), flags(count);
    for (R_xlen_t p = 0; p < count; ++p) {
        const auto at = static_cast<std::size_t>(p);
        const estimation::ProfileWater water = profiles.sums[at].water(zone);
        names[p] = Rcpp::String(profiles.names[at], CE_UTF8);
        depth[p] = water.depth;
        topsoil[p] = water.topsoil;
        subsoil[p] = water.subsoil;
        root[p] = water.root;
        readily[p] = water.readily;
        std::string text = estimation::profileFlagsText(water.flags);
        if (profiles.porous[at]) {
            text += text.empty() ? "porosity" : ";porosity";
        }
        flags[p] = text;
    }
    return Rcpp::List::create(Rcpp::Named("profile") = names, Rcpp::Named("depth_cm") = depth,
                              Rcpp::Named("taw_0_30") = topsoil, Rcpp::Named("taw_0_100") = subsoil,
                              Rcpp::Named("taw_root") = root, Rcpp::Named("raw_root") = readily,
                              Rcpp::Named("flags") = flags);
}

// Each horizon's water, flags and error, as talvo-batch writes them in its rows.
class HorizonRows {
public:
    // horizons: profile (texts), top, bottom, bd, cf and the measured theta_fc, theta_pwp, dul and
    // ll15 (numbers, texts or NULL); estimated:
    // the model's fc and pwp in 15 digits, flags and error.
    HorizonRows(const Rcpp::List& horizons, const Rcpp::List& estimated)
        : m_columns{columnsOf(horizons)}, m_fc(estimated["fc"]), m_pwp(estimated["pwp"]),
          m_estimateFlags(estimated["flags"]), m_estimateError(estimated["error"]),
          m_thetaFc(m_fc.size()), m_thetaPwp(m_fc.size()), m_water(m_fc.size()),
          m_flags(m_fc.size()), m_error(m_fc.size()), m_malformed(m_fc.size()) {}

    R_xlen_t size() const { return m_fc.size(); }

    // Reads horizon i and adds its water to its profile; a row without a profile belongs to
    // none, and its cells are not read.
    void add(R_xlen_t i, const estimation::PtfModel& model, const table::Settings& settings,
             ProfileSums& profiles) {
        table::HorizonCells cells;
        for (const HorizonInput input : table::allHorizonInputs) {
            const auto at = static_cast<std::size_t>(input);
            m_columns.at(at).fill(cells, m_texts.at(at), input, i);
        }
        std::string fault;
        std::string malformed;
        const table::Horizon horizon = table::readHorizon(cells, settings, fault, malformed);
        const bool failed = m_estimateError[i] != NA_STRING;
        std::optional<estimation::HorizonWater> found;
        if (malformed.empty() && fault.empty()) {
            // Without an estimate, measured FC and PWP still give the horizon its water.
            const double none = std::numeric_limits<double>::quiet_NaN();
            found = estimation::horizonWater(
                model, failed ? none : m_fc[i], failed ? none : m_pwp[i], horizon.soil,
                (horizon.bottom - horizon.top) * MillimetresPerCentimetre, horizon.measured);
        }
        m_thetaFc[i] = found ? found->thetaFc : NA_REAL;
        m_thetaPwp[i] = found ? found->thetaPwp : NA_REAL;
        m_water[i] = found ? found->waterMm : NA_REAL;
        m_malformed[i] = malformed.empty() ? FALSE : TRUE;
        if (!malformed.empty()) {
            m_flags[i] = "";
            m_error[i] = Rcpp::String(malformed, CE_UTF8);
            return;
        }
        m_flags[i] = withHorizonFlags(r::utf8(m_estimateFlags[i]), found);
        m_error[i] = failed
                         ? Rcpp::String(m_estimateError[i])
                         : (fault.empty() ? Rcpp::String(NA_STRING) : Rcpp::String(fault, CE_UTF8));
        const std::size_t p = profiles.of(std::string(horizon.profile));
        profiles.porous[p] = profiles.porous[p] || (found && found->fcAbovePorosity);
        profiles.sums[p].add(horizon.top, horizon.bottom,
                             found ? std::optional(found->waterMm) : std::nullopt);
    }

    Rcpp::List table() const {
        return Rcpp::List::create(
            Rcpp::Named("theta_fc") = m_thetaFc, Rcpp::Named("theta_pwp") = m_thetaPwp,
            Rcpp::Named("aw_mm") = m_water, Rcpp::Named("flags") = m_flags,
            Rcpp::Named("error") = m_error, Rcpp::Named("malformed") = m_malformed);
    }

private:
    using Columns = std::array<HorizonColumn, table::allHorizonInputs.size()>;

    // Each horizon input's column by its header name; NULL where the table has none.
    static Columns columnsOf(const Rcpp::List& horizons) {
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return Columns{HorizonColumn(
                horizons[std::string(table::headerName(table::allHorizonInputs[I]))])...};
        }
        (std::make_index_sequence<table::allHorizonInputs.size()>());
    }

    Columns m_columns;
    std::array<std::string, table::allHorizonInputs.size()> m_texts; // the horizon being read
    Rcpp::NumericVector m_fc, m_pwp;
    Rcpp::CharacterVector m_estimateFlags, m_estimateError;
    Rcpp::NumericVector m_thetaFc, m_thetaPwp, m_water;
    Rcpp::CharacterVector m_flags, m_error;
    Rcpp::LogicalVector m_malformed;
};

} // namespace

// Horizons and their estimates as HorizonRows takes them. Returns the profiles' sums, and
// each horizon's theta_fc, theta_pwp, aw_mm, flags and error, and whether its row is malformed.
extern "C" SEXP talvo_profile_water(SEXP model, SEXP horizons, SEXP estimated, SEXP rootDepth,
                                    SEXP depletion, SEXP cfBy, SEXP decimal) {
    BEGIN_RCPP
    constexpr base::Spelling keyword = base::Spelling::keyword;
    const estimation::PtfModel& chosen = r::modelOf(model);
    const estimation::RootZone zone{base::checkRootDepth(Rf_asReal(rootDepth), keyword),
                                    base::checkDepletion(Rf_asReal(depletion), keyword)};
    table::Settings settings;
    settings.basis = base::parseCoarseFragmentBasis(r::optionText(cfBy, "cf_by"), keyword);
    settings.decimal = r::decimalOf(r::optionText(decimal, "decimal"));
    HorizonRows rows{Rcpp::List(horizons), Rcpp::List(estimated)};
    ProfileSums profiles;
    for (R_xlen_t i = 0; i < rows.size(); ++i) {
        rows.add(i, chosen, settings, profiles);
        if ((i & 8191) == 0) {
            Rcpp::checkUserInterrupt();
        }
    }
    return Rcpp::List::create(Rcpp::Named("profiles") = profileTable(profiles, zone),
                              Rcpp::Named("horizons") = rows.table());
    END_RCPP
}
