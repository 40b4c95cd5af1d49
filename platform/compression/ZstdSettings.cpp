#include "platform/compression/ZstdSettings.h"

#include <zstd.h>

namespace vex::compression {

namespace {

// What a zstd decoder accepts unless told otherwise.
constexpr int kZstdDefaultMaxWindowLog = 27;

} // namespace

int WindowLogSpanning(qint64 bytes) {
    const ZSTD_bounds bounds = ZSTD_cParam_getBounds(ZSTD_c_windowLog);
    int log = bounds.lowerBound;
    while (log < bounds.upperBound && (qint64{1} << log) < bytes)
        ++log;
    return log;
}

int DefaultMaxWindowLog() {
    return kZstdDefaultMaxWindowLog;
}

} // namespace vex::compression
