#pragma once

// Runs of pixels in one row, the innermost loops of every fill, clear and pattern.

#include <QRgb>
#include <QtGlobal>

namespace gdi::detail {

// Stores `color` into run[0, count). Uses 32-byte stores where the processor has them: a
// cleared 2000 x 40 bar is 320 KB, so the width of each store decides how long a clear takes.
void FillRun(QRgb* run, qint64 count, QRgb color);

// The same for `rows` runs of `count` pixels, each `bytesPerLine` after the one before; narrow
// runs (a 2-pixel gap between blocks, a standing bar's rows) are stored pixel by pixel.
void FillRuns(QRgb* first, qsizetype bytesPerLine, qint64 rows, qint64 count, QRgb color);

// Completes a repeating run: run[0, done) holds whole periods of a pattern (done > 0), and
// copies of them fill run[done, count), each copy twice as long as the last.
void RepeatRun(QRgb* run, qint64 done, qint64 count);

} // namespace gdi::detail
