#include "platform/signature/Blake2b256Sink.h"

#include <sodium.h>

namespace vex::signature {

struct Blake2b256Sink::State {
    crypto_generichash_state hash;
};

Blake2b256Sink::Blake2b256Sink() : state_(std::make_unique<State>()) {
    [[maybe_unused]] const int ready = sodium_init();
    crypto_generichash_init(&state_->hash, nullptr, 0, std::tuple_size_v<Blake2b256>);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

Blake2b256Sink::~Blake2b256Sink() = default;

Blake2b256 Blake2b256Sink::Final() {
    Blake2b256 result{};
    crypto_generichash_final(&state_->hash, result.data(), result.size());
    return result;
}

qint64 Blake2b256Sink::readData(char*, qint64) {
    return -1;
}

qint64 Blake2b256Sink::writeData(const char* data, qint64 size) {
    crypto_generichash_update(&state_->hash, reinterpret_cast<const unsigned char*>(data),
                              static_cast<unsigned long long>(size));
    return size;
}

} // namespace vex::signature
