#pragma once

#include <QByteArray>

namespace vex::testing {

// The HTTP content codings a server may put on a body.
enum class Coding { Gzip, Deflate };

// The header value of a coding: "gzip" or "deflate".
QByteArray CodingName(Coding coding);

// size zero bytes compressed in that coding: about a thousandth of their size, so a body of a
// few hundred KiB stands for a quarter of a GiB once inflated.
QByteArray CompressedZeros(qint64 size, Coding coding);

} // namespace vex::testing
