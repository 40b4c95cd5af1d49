#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstddef>
#include <optional>

// Text handling shared by the key and signature file readers.
namespace vex::signature::detail {

// The lines of a small text file. A final line feed ends the last line rather than starting an
// empty one, and a carriage return before a line feed is dropped, so files that passed through
// a Windows editor or server still read the same.
QList<QByteArrayView> SplitLines(QByteArrayView text);

// Strict base64 (with padding) that must decode to exactly size bytes; nullopt otherwise.
std::optional<QByteArray> DecodeBase64(QByteArrayView text, std::size_t size);

// Two algorithm bytes as the user should read them: the letters when printable, hex otherwise.
QString AlgorithmText(QByteArrayView bytes);

} // namespace vex::signature::detail
