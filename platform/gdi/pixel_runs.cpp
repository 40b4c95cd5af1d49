#include "platform/gdi/pixel_runs.h"

#include <algorithm>
#include <cstring>

namespace gdi::detail {

namespace {

// Narrower runs than this are not worth the set-up of a vector loop.
constexpr qint64 kNarrowRun = 16;

QRgb* NextRow(QRgb* run, qsizetype bytesPerLine) {
    return reinterpret_cast<QRgb*>(reinterpret_cast<uchar*>(run) + bytesPerLine);
}

void FillRunPortable(QRgb* run, qint64 count, QRgb color) {
    for (qint64 i = 0; i < count; ++i)
        run[i] = color;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VEX_GDI_AVX2_RUNS 1
// The same loop, compiled for AVX2; it is only called on a processor that has it.
__attribute__((target("avx2"))) void FillRunAvx2(QRgb* run, qint64 count, QRgb color) {
    for (qint64 i = 0; i < count; ++i)
        run[i] = color;
}

__attribute__((target("avx2"))) void FillRunsAvx2(QRgb* run, qsizetype bytesPerLine, qint64 rows,
                                                  qint64 count, QRgb color) {
    for (; rows > 0; --rows, run = NextRow(run, bytesPerLine)) {
        for (qint64 i = 0; i < count; ++i)
            run[i] = color;
    }
}

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

} // namespace

void FillRun(QRgb* run, qint64 count, QRgb color) {
#ifdef VEX_GDI_AVX2_RUNS
    if (HasAvx2()) {
        FillRunAvx2(run, count, color);
        return;
    }
#endif
    FillRunPortable(run, count, color);
}

void FillRuns(QRgb* run, qsizetype bytesPerLine, qint64 rows, qint64 count, QRgb color) {
    // Whole rows of an image without padding are one run: a standing bar's rows are too narrow
    // for the vector loop, together they are not.
    if (rows > 1 && bytesPerLine == qsizetype(count * qint64(sizeof(QRgb)))) {
        FillRun(run, count * rows, color);
        return;
    }
    if (count == 1) { // a frame's side, a line down a standing bar
        for (; rows > 0; --rows, run = NextRow(run, bytesPerLine))
            *run = color;
        return;
    }
    if (count < kNarrowRun) {
        for (; rows > 0; --rows, run = NextRow(run, bytesPerLine)) {
            for (qint64 i = 0; i < count; ++i)
                run[i] = color;
        }
        return;
    }
#ifdef VEX_GDI_AVX2_RUNS
    if (HasAvx2()) {
        FillRunsAvx2(run, bytesPerLine, rows, count, color);
        return;
    }
#endif
    for (; rows > 0; --rows, run = NextRow(run, bytesPerLine))
        FillRunPortable(run, count, color);
}

void RepeatRun(QRgb* run, qint64 done, qint64 count) {
    while (done < count) {
        const qint64 chunk = std::min(done, count - done);
        std::memcpy(run + done, run, std::size_t(chunk) * sizeof(QRgb));
        done += chunk;
    }
}

} // namespace gdi::detail
