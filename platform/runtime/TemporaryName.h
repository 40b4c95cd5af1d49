#pragma once

#include <QByteArray>
#include <QString>

namespace vex::runtime {

// The names of the temporary files that stand beside a file for a while: one being written
// before it replaces the file (ReplacingFile), one on its way out (RemoveInBackground). Both
// are ".NAME.XXXXXXXX.part" beside NAME, eight lowercase hexadecimal digits chosen at random,
// so that one cleanup (ReplacingFile::RemoveLeftovers) finds what a killed program left of
// either.

// A fresh temporary name beside `path`, as a path in the local encoding (as system calls take
// it).
QByteArray TemporaryNameBeside(const QString& path);

// Whether the folder entry `entry` is a temporary name of a file named `name`.
bool IsTemporaryNameOf(const QByteArray& entry, const QByteArray& name);

} // namespace vex::runtime
