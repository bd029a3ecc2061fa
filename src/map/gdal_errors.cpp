#include "map/gdal_errors.h"

#include <atomic>
#include <cerrno>
#include <cpl_error.h>
#include <cstring>

namespace talvo::map {

namespace {

// Written by any thread GDAL reports from: its compression threads write blocks too, and
// their messages stay theirs.
std::atomic<int> lastWriteError{0};

// The reasons a write fails for that a user can act on, and that GDAL's own words hide
// ("TIFFAppendToStrip:Write error at scanline ...").
bool isWriteError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EIO || error == EROFS;
}

void CPL_STDCALL noteFailure(CPLErr type, CPLErrorNum /*number*/, const char* /*message*/) {
    const int error = errno;
    if ((type == CE_Failure || type == CE_Fatal) && isWriteError(error)) {
        lastWriteError = error;
    }
}

} // namespace

void quietGdalErrors() {
    CPLSetErrorHandler(noteFailure);
}

void resetGdalErrors() {
    CPLErrorReset();
    lastWriteError = 0;
}

std::string lastGdalError() {
    if (const int error = lastWriteError.load(); error != 0) {
        return std::strerror(error);
    }
    const std::string message = CPLGetLastErrorMsg();
    return message.empty() ? "GDAL reports no reason" : message;
}

} // namespace talvo::map
