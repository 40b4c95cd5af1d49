#pragma once

#include "platform/signature/Blake2b.h"

#include <QIODevice>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vex::signature {

// A write-only device that passes every byte on to another device and hashes what that device
// accepted (BLAKE2b-512), so a download is hashed on its way to disk without a second pass over
// the file. The hashing runs on a thread of its own, beside the transfer and the disk writes of
// the caller's thread, which it would otherwise slow down. The bytes wait for it in one
// ring of kMaxPending bytes, allocated once, so memory stays bounded and unfragmented.
//
// Like a socket, the sink tells its writer how far behind the hasher is: bytesToWrite() is what
// waits to be hashed, and bytesWritten() is emitted (in the thread the sink belongs to, through
// its event loop) as the hasher catches up. A writer that keeps bytesToWrite() under
// kMaxPending less its write never waits; a write that does not fit waits for room.
class HashingSink : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = 8 * 1024 * 1024;

    explicit HashingSink(QIODevice& target);
    ~HashingSink() override;

    // The hash of everything passed on; waits for the hasher to catch up. Call once.
    Blake2b512 Final();

    bool isSequential() const override { return true; }
    qint64 bytesToWrite() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    void HashPieces();
    void ReportHashed();
    void Stop();

    QIODevice& target_;
    Blake2b hasher_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<char[]> ring_;
    qint64 written_ = 0; // bytes put into the ring so far
    qint64 hashed_ = 0;  // bytes hashed so far; the ring holds written_ - hashed_
    bool finished_ = false;
    bool hasherWaiting_ = false;
    bool writerWaiting_ = false;
    bool reportPosted_ = false; // a ReportHashed() is on its way to the owner's thread
    qint64 reported_ = 0;       // hashed bytes announced through bytesWritten(); owner's thread
    std::thread worker_;
};

} // namespace vex::signature
