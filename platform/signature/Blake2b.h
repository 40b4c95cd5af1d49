#pragma once

#include <QtGlobal>

#include <array>
#include <memory>

namespace vex::signature {

using Blake2b512 = std::array<unsigned char, 64>;

// BLAKE2b-512 of data given in pieces, so a file is hashed while it streams in.
class Blake2b {
  public:
    Blake2b();
    ~Blake2b();
    Blake2b(const Blake2b&) = delete;
    Blake2b& operator=(const Blake2b&) = delete;

    void Update(const char* data, qint64 size);
    // The hash of everything given so far; the hasher is spent afterwards.
    Blake2b512 Final();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vex::signature
