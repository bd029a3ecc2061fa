#pragma once

// What the soil-file writers share; the door is table/soil_files.h.

#include "table/soil_files.h"

#include <string>
#include <string_view>

namespace talvo::table::soil_file {

// `value` with `decimals` decimals right-aligned in `width` characters, or `missing` there
// where it is no number.
std::string fixed(double value, int width, int decimals, std::string_view missing = "-99");
// `value` in JSON to `decimals` decimals, its shortest digits, null where it is no number.
std::string json(double value, int decimals);

// A name made of letters, digits, '-', '_' and '.' alone, not starting with '.': safe as a
// file name in any folder.
std::string fileName(std::string_view id, std::string_view suffix);

// Each writer's text for one profile, its layers checked as soilFiles checks them.
std::string fao56Profile(const SoilProfile& profile, const SoilFileOptions& options);
std::string fao56Water(const SoilProfile& profile, const SoilFileOptions& options);
std::string aquacropProfile(const SoilProfile& profile, const SoilFileOptions& options);
std::string dssatFile(std::span<const SoilProfile> profiles);
std::string apsimProfile(const SoilProfile& profile);

// Throws base::Error "profile ID: MESSAGE".
[[noreturn]] void fail(const SoilProfile& profile, const std::string& message);
// Throws where any layer lacks `value` (a member pointer), naming `what` and the depths.
void require(const SoilProfile& profile, double SoilLayer::*value, std::string_view what);

} // namespace talvo::table::soil_file
