#pragma once

#include "platform/signature/FileHash.h"

#include <QIODevice>

#include <memory>

namespace vex::signature {

// A write-only device that hashes what is written to it with BLAKE2b-256 and keeps nothing:
// a file is hashed by pumping it in here, at whatever pace its caller chooses.
class Blake2b256Sink : public QIODevice {
  public:
    Blake2b256Sink();
    ~Blake2b256Sink() override;

    // The hash of everything written; the sink is spent afterwards.
    Blake2b256 Final();

    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vex::signature
