#pragma once

#include "platform/signature/Blake2b.h"

#include "platform/runtime/ThreadedSink.h"

#include <QIODevice>

namespace vex::signature {

// A write-only device that passes every byte on to another device and hashes what that device
// accepted (BLAKE2b-512), so a download is hashed on its way to disk without a second pass over
// the file. The hashing runs on a thread of its own (runtime::ThreadedSink), beside the
// transfer and the disk writes of the caller's thread, which it would otherwise slow down.
//
// Like a socket, the sink tells its writer how far behind the hasher is: bytesToWrite() is what
// waits to be hashed, and bytesWritten() is emitted (in the thread the sink belongs to, through
// its event loop) as the hasher catches up. A writer that keeps bytesToWrite() under
// kMaxPending less its write never waits; a write that does not fit waits for room.
class HashingSink : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = vex::runtime::ThreadedSink::kMaxPending;

    explicit HashingSink(QIODevice& target);

    // The hash of everything passed on; waits for the hasher to catch up. Call once.
    Blake2b512 Final();

    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override { return hashing_.bytesToWrite(); }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    QIODevice& target_;
    Blake2b hasher_;
    vex::runtime::ThreadedSink hashing_; // after the hasher: its thread ends first
};

} // namespace vex::signature
