#pragma once

#include "app/vexbrindle-publish/Progress.h"

#include "platform/runtime/ReplacingFile.h"

#include <QFile>
#include <QString>

namespace vex::publish {

// zstd over files: the whole executable compressed, a patch from an old executable to the new
// one, and the check that each gives back the new executable. Everything streams: memory
// holds the compressor's window, and for a patch the old file, mapped rather than read.
//
// A patch is a standard zstd frame made with the old file as a raw prefix, so the zstd tool
// applies it too: zstd -d --patch-from=OLD PATCH -o NEW.

// Compresses the executable at `from` into a new file `to`, against the old executable at
// `old` when one is given (a patch). Shows progress; false with why on failure or
// interruption, leaving no file at `to`.
bool Compress(const QString& from, const QString& to, const QString& old, Progress& progress,
              QString& why);

// Opens the file at `from` for reading and `out` (a new file that replaces its path on commit)
// for writing; false with why, naming the file, when either cannot be opened.
bool OpenSourceAndTarget(const QString& from, QFile& in, vex::runtime::ReplacingFile& out,
                         QString& why);

// True when the file at `compressed`, decoded (against `old` for a patch), gives exactly the
// bytes of the file at `expected`; false with why otherwise.
bool DecodesTo(const QString& compressed, const QString& old, const QString& expected,
               QString& why);

} // namespace vex::publish
