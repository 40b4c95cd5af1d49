#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vex::runtime {

// The first `maxBytes` bytes of the regular file at `path` (a link to one is followed).
// Anything else standing there (a FIFO, a device, a socket, a folder) is refused without being
// read or waited for: opening a FIFO for reading waits for a writer that may never come, and a
// device may never end. nullopt when the path cannot be opened, is no regular file, or cannot
// be read.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes);

} // namespace vex::runtime
