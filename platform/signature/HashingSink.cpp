#include "platform/signature/HashingSink.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace vex::signature {

namespace {

// The hasher frees room in pieces of this size, so a writer waiting for room, or an event loop
// waiting for the ring to drain, hears of progress every millisecond or so rather than once per
// ring.
constexpr qint64 kHashPiece = 1024 * 1024;

} // namespace

HashingSink::HashingSink(QIODevice& target)
    : target_(target), ring_(std::make_unique_for_overwrite<char[]>(kMaxPending)) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    worker_ = std::thread([this] { HashPieces(); });
}

HashingSink::~HashingSink() {
    // Joined before the QObject goes away, which then drops any report still on its way.
    Stop();
}

Blake2b512 HashingSink::Final() {
    Stop();
    return hasher_.Final();
}

qint64 HashingSink::bytesToWrite() const {
    const std::lock_guard lock(mutex_);
    return written_ - hashed_;
}

qint64 HashingSink::readData(char*, qint64) {
    return -1;
}

qint64 HashingSink::writeData(const char* data, qint64 size) {
    const qint64 written = target_.write(data, size);
    if (written != size) setErrorString(target_.errorString());

    for (qint64 done = 0; done < written;) {
        std::unique_lock lock(mutex_);
        // Only a writer that ignores bytesToWrite() gets here with the ring full.
        writerWaiting_ = true;
        changed_.wait(lock, [this] { return written_ - hashed_ < kMaxPending; });
        writerWaiting_ = false;
        const qint64 at = written_ % kMaxPending;
        const qint64 room = std::min(kMaxPending - (written_ - hashed_), kMaxPending - at);
        const qint64 n = std::min(written - done, room);
        lock.unlock();
        // The hasher reads only below written_, so this part of the ring is the writer's.
        std::memcpy(ring_.get() + at, data + done, static_cast<std::size_t>(n));
        done += n;
        lock.lock();
        written_ += n;
        // Waking the hasher costs a system call; it is woken only when it waits for work.
        if (hasherWaiting_) changed_.notify_all();
    }
    return written;
}

void HashingSink::HashPieces() {
    std::unique_lock lock(mutex_);
    for (;;) {
        hasherWaiting_ = true;
        changed_.wait(lock, [this] { return written_ > hashed_ || finished_; });
        hasherWaiting_ = false;
        if (written_ == hashed_) return; // finished, and everything hashed
        const qint64 at = hashed_ % kMaxPending;
        const qint64 n = std::min({written_ - hashed_, kMaxPending - at, kHashPiece});
        lock.unlock();
        hasher_.Update(ring_.get() + at, n);
        lock.lock();
        hashed_ += n;
        if (writerWaiting_) changed_.notify_all();
        // One report at a time is on its way; it announces everything hashed by the time it
        // runs, so a fast hasher does not flood the owner's event loop.
        if (!reportPosted_) {
            reportPosted_ = true;
            QMetaObject::invokeMethod(
                this, [this] { ReportHashed(); }, Qt::QueuedConnection);
        }
    }
}

void HashingSink::ReportHashed() {
    qint64 hashed = 0;
    {
        const std::lock_guard lock(mutex_);
        reportPosted_ = false;
        hashed = hashed_;
    }
    if (hashed == reported_) return;
    const qint64 progress = hashed - reported_;
    reported_ = hashed;
    emit bytesWritten(progress);
}

void HashingSink::Stop() {
    if (!worker_.joinable()) return;
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

} // namespace vex::signature
