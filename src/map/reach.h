#pragma once

// What an input may lead GDAL to read. A VRT can name any file, its raw bands read any
// file's bytes, and a virtual path (/vsicurl/ and the like) reaches the network: a tool run
// for others on a shared machine must read only what it was given. --trusted-inputs lifts
// these checks for inputs the user vouches for.

#include <string>

namespace talvo::map {

// The drivers an untrusted input may be read with: formats whose files hold their cells
// themselves, and VRT, whose sources checkReach() checks.
const char* const* allowedDrivers();

// Sets GDAL's own switches against raw bands and Python in VRTs, for a GDAL that honours
// them (3.6 does not: checkReach() stands in).
void limitGdalReach();

// Throws Error, naming `label`, where the input at `path` is a virtual path, is read by a
// driver outside allowedDrivers(), or is a VRT that has a raw band or Python, or names a
// source that is not a plain file in its own folder or below, or a source that fails these
// checks in turn.
void checkReach(const std::string& path, const std::string& label);

} // namespace talvo::map
