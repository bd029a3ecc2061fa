#include "python/profiles.h"

#include "estimation/estimation.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace py = pybind11;

namespace talvo::python {

namespace {

constexpr double MillimetresPerCentimetre = 10.0;

// The per-profile columns: depth, TAW 0-30, 0-100 and to the roots, RAW, flags.
py::tuple profileColumns(const std::vector<estimation::Profile>& sums, double rootDepth,
                         double depletion) {
    const std::size_t profiles = sums.size();
    constexpr std::size_t SumColumns = 5;
    std::vector<Numbers> columns;
    columns.reserve(SumColumns);
    for (std::size_t i = 0; i < SumColumns; ++i) {
        columns.emplace_back(static_cast<py::ssize_t>(profiles));
    }
    py::array_t<std::uint8_t> flags(static_cast<py::ssize_t>(profiles));
    for (std::size_t p = 0; p < profiles; ++p) {
        const estimation::ProfileWater sum = sums[p].water({rootDepth, depletion});
        columns[0].mutable_at(p) = sum.depth;
        columns[1].mutable_at(p) = sum.topsoil;
        columns[2].mutable_at(p) = sum.subsoil;
        columns[3].mutable_at(p) = sum.root;
        columns[4].mutable_at(p) = sum.readily;
        flags.mutable_at(p) = sum.flags.bits();
    }
    return py::make_tuple(columns[0], columns[1], columns[2], columns[3], columns[4], flags);
}

} // namespace

py::tuple profileWater(int position, const Numbers& fc, const Numbers& pwp, const Numbers& bd,
                       const Numbers& cf, const Numbers& top, const Numbers& bottom,
                       const Codes& profile, std::size_t profiles, double rootDepth,
                       double depletion, bool cfByWeight, const Numbers& measuredFc,
                       const Numbers& measuredPwp) {
    const estimation::PtfModel* model = estimation::modelAt(position);
    const auto count = static_cast<std::size_t>(fc.size());
    for (const py::ssize_t size : {pwp.size(), bd.size(), cf.size(), top.size(), bottom.size(),
                                   profile.size(), measuredFc.size(), measuredPwp.size()}) {
        if (static_cast<std::size_t>(size) != count) {
            throw py::value_error("the horizon columns differ in length");
        }
    }
    if (model == nullptr) {
        throw py::value_error("no model at position " + std::to_string(position));
    }
    Numbers thetaFc(static_cast<py::ssize_t>(count));
    Numbers thetaPwp(static_cast<py::ssize_t>(count));
    Numbers water(static_cast<py::ssize_t>(count));
    py::array_t<std::uint16_t> horizonFlags(static_cast<py::ssize_t>(count));
    std::vector<estimation::Profile> sums(profiles);
    using estimation::NoNumber;
    for (std::size_t h = 0; h < count; ++h) {
        const std::int64_t p = profile.at(h);
        if (p < 0 || static_cast<std::size_t>(p) >= profiles) {
            throw py::value_error("a horizon's profile number is out of range");
        }
        const estimation::HorizonSoil soil{bd.at(h), cf.at(h),
                                           cfByWeight ? estimation::CoarseFragmentBasis::weight
                                                      : estimation::CoarseFragmentBasis::volume};
        const auto found =
            estimation::horizonWater(*model, fc.at(h), pwp.at(h), soil,
                                     (bottom.at(h) - top.at(h)) * MillimetresPerCentimetre,
                                     {measuredFc.at(h), measuredPwp.at(h)});
        thetaFc.mutable_at(h) = found ? found->thetaFc : NoNumber;
        thetaPwp.mutable_at(h) = found ? found->thetaPwp : NoNumber;
        water.mutable_at(h) = found ? found->waterMm : NoNumber;
        estimation::Flags added;
        estimation::addHorizonFlags(found, added);
        horizonFlags.mutable_at(h) = added.bits();
        sums[static_cast<std::size_t>(p)].add(top.at(h), bottom.at(h),
                                              found ? std::optional(found->waterMm) : std::nullopt);
    }
    return py::make_tuple(profileColumns(sums, rootDepth, depletion),
                          py::make_tuple(thetaFc, thetaPwp, water, horizonFlags));
}

} // namespace talvo::python
