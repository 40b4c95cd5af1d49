#pragma once

#include "platform/signature/Blake2b.h"

#include <QByteArray>
#include <QIODevice>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vex::signature {

// A write-only device that passes every byte on to another device and hashes what that device
// accepted (BLAKE2b-512), so a download is hashed on its way to disk without a second pass over
// the file. The hashing runs on a thread of its own, beside the transfer and the disk writes of
// the caller's thread, which it would otherwise slow down by half; at most kMaxPending bytes
// wait for it, so memory stays bounded when the hasher falls behind.
class HashingSink : public QIODevice {
  public:
    static constexpr qint64 kMaxPending = 8 * 1024 * 1024;

    explicit HashingSink(QIODevice& target);
    ~HashingSink() override;

    // The hash of everything passed on; waits for the hasher to catch up. Call once.
    Blake2b512 Final();

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    void HashPieces();
    void Stop();

    QIODevice& target_;
    Blake2b hasher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> pending_;
    qint64 pendingBytes_ = 0;
    bool finished_ = false;
    bool hasherWaiting_ = false;
    std::thread worker_;
};

} // namespace vex::signature
