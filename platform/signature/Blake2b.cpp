#include "platform/signature/Blake2b.h"

#include <sodium.h>

namespace vex::signature {

struct Blake2b::State {
    crypto_generichash_state sodium;
};

Blake2b::Blake2b() : state_(std::make_unique<State>()) {
    // Picks the fastest implementation for this processor; should that fail, the portable one
    // that stays in place hashes the same.
    [[maybe_unused]] const int ready = sodium_init();
    crypto_generichash_init(&state_->sodium, nullptr, 0, crypto_generichash_BYTES_MAX);
}

Blake2b::~Blake2b() = default;

void Blake2b::Update(const char* data, qint64 size) {
    crypto_generichash_update(&state_->sodium, reinterpret_cast<const unsigned char*>(data),
                              static_cast<unsigned long long>(size));
}

Blake2b512 Blake2b::Final() {
    Blake2b512 hash{};
    crypto_generichash_final(&state_->sodium, hash.data(), hash.size());
    return hash;
}

} // namespace vex::signature
