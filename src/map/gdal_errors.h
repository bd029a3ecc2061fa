#pragma once

// GDAL's own messages: kept quiet, as the tool reports in one line of its own, and read back
// with the system's reason where GDAL gives none.

#include <string>

namespace talvo::map {

// Keeps GDAL from printing its messages, on every thread, and notes the system's reason
// (errno) with each failure. Call once, after GDALAllRegister.
void quietGdalErrors();

// Forgets the failures so far, before a call whose own are wanted.
void resetGdalErrors();

// Why the last call failed: the system's reason where a write failed on any thread (a full
// disk: "No space left on device"), else GDAL's message on this thread.
std::string lastGdalError();

} // namespace talvo::map
