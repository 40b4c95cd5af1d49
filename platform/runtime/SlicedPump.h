#pragma once

#include <QIODevice>
#include <QString>

#include <functional>

namespace vex::runtime {

// Copies up to `bytes` bytes (-1: all) from `from` into `to` in slices of a few milliseconds,
// each from a turn of a nested event loop, so timers tick and windows repaint while a large
// file is read, hashed or decoded. A `to` that works behind its writes and says so through
// bytesToWrite() is given nothing more while it holds 4 MiB; it catches up from the same loop.
// Stops early, returning false with an empty why, when `stop` says so or the application is told to
// quit; false with why on a read or write error or when `from` ends before `bytes`.
bool PumpInSlices(QIODevice& from, QIODevice& to, qint64 bytes, const std::function<bool()>& stop,
                  QString& why);

} // namespace vex::runtime
