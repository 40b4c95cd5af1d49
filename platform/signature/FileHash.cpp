#include "platform/signature/FileHash.h"

#include <sodium.h>

#include <vector>

namespace vex::signature {

namespace {

constexpr qint64 kPiece = 1024 * 1024;

template <std::size_t Size> std::optional<std::array<unsigned char, Size>> Hash(QIODevice& in) {
    static_assert(Size >= crypto_generichash_BYTES_MIN && Size <= crypto_generichash_BYTES_MAX);
    [[maybe_unused]] const int ready = sodium_init();
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, Size);
    std::vector<char> piece(kPiece);
    for (;;) {
        const qint64 n = in.read(piece.data(), kPiece);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(piece.data()),
                                  static_cast<unsigned long long>(n));
    }
    std::array<unsigned char, Size> hash{};
    crypto_generichash_final(&state, hash.data(), hash.size());
    return hash;
}

} // namespace

std::optional<Blake2b512> HashBlake2b512(QIODevice& in) {
    return Hash<64>(in);
}

std::optional<Blake2b256> HashBlake2b256(QIODevice& in) {
    return Hash<32>(in);
}

} // namespace vex::signature
