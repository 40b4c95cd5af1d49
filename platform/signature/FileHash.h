#pragma once

#include "platform/signature/Blake2b.h"

#include <QIODevice>

#include <array>
#include <optional>

namespace vex::signature {

// BLAKE2b with a 32-byte output. It is a hash of its own, not the first half of BLAKE2b-512:
// the output length is one of the hash's parameters.
using Blake2b256 = std::array<unsigned char, 32>;

// The hashes of everything a device holds from where it stands, read in pieces so that memory
// stays bounded; nullopt when a read fails.
std::optional<Blake2b512> HashBlake2b512(QIODevice& in);
std::optional<Blake2b256> HashBlake2b256(QIODevice& in);

} // namespace vex::signature
