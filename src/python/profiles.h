#pragma once

// The sums under talvo.profile: each horizon's water from the model's 15-digit FC and PWP,
// then each profile's root-zone water, with the engine's own reckoning.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace talvo::python {

using Numbers = pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast>;
using Codes =
    pybind11::array_t<std::int64_t, pybind11::array::c_style | pybind11::array::forcecast>;

// Horizons given as columns of one length, `profile` the number of each one's profile (0 to
// `profiles` - 1), with measured FC and PWP in % by volume (NaN: the estimate's). Returns
// (depth, taw_0_30, taw_0_100, taw_root, raw_root, flag bits) per profile and (theta_fc,
// theta_pwp, aw_mm, flag bits) per horizon.
pybind11::tuple profileWater(int position, const Numbers& fc, const Numbers& pwp, const Numbers& bd,
                             const Numbers& cf, const Numbers& top, const Numbers& bottom,
                             const Codes& profile, std::size_t profiles, double rootDepth,
                             double depletion, bool cfByWeight, const Numbers& measuredFc,
                             const Numbers& measuredPwp);

} // namespace talvo::python
