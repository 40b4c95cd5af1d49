#include "platform/runtime/ThreadedSink.h"

#include "platform/runtime/WorkerPriority.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace vex::runtime {

namespace {

// The consumer takes the ring in pieces of this size, so a writer waiting for room, or an event
// loop waiting for the ring to drain, hears of progress every millisecond or so rather than once
// per ring.
constexpr qint64 kPiece = 1024 * 1024;

} // namespace

ThreadedSink::ThreadedSink(Consumer consume)
    : consume_(std::move(consume)), ring_(std::make_unique_for_overwrite<char[]>(kMaxPending)) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    worker_ = std::thread([this] {
        LowerThisThreadsPriority();
        Consume();
    });
}

ThreadedSink::Consumer ThreadedSink::WriteTo(QIODevice& target) {
    return [&target](const char* data, qint64 size, QString& why) {
        if (target.write(data, size) == size) return true;
        why = target.errorString();
        return false;
    };
}

ThreadedSink::~ThreadedSink() {
    // Joined before the QObject goes away, which then drops any report still on its way.
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool ThreadedSink::Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return taken_ == written_; });
    return !failed_;
}

void ThreadedSink::Cancel(const QString& why) {
    {
        const std::lock_guard lock(mutex_);
        if (!failed_) failure_ = why;
        cancelled_ = failed_ = true;
        taken_ = written_;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool ThreadedSink::HasFailed() const {
    const std::lock_guard lock(mutex_);
    return failed_;
}

QString ThreadedSink::Failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

qint64 ThreadedSink::bytesToWrite() const {
    const std::lock_guard lock(mutex_);
    return written_ - taken_;
}

qint64 ThreadedSink::readData(char*, qint64) {
    return -1;
}

qint64 ThreadedSink::writeData(const char* data, qint64 size) {
    for (qint64 done = 0; done < size;) {
        std::unique_lock lock(mutex_);
        // Only a writer that ignores bytesToWrite() gets here with the ring full.
        writerWaiting_ = true;
        changed_.wait(lock, [this] { return failed_ || written_ - taken_ < kMaxPending; });
        writerWaiting_ = false;
        if (failed_) {
            const QString why = failure_;
            lock.unlock();
            setErrorString(why);
            return -1;
        }
        const qint64 at = written_ % kMaxPending;
        const qint64 room = std::min(kMaxPending - (written_ - taken_), kMaxPending - at);
        const qint64 n = std::min(size - done, room);
        lock.unlock();
        // The consumer reads only below written_, so this part of the ring is the writer's.
        std::memcpy(ring_.get() + at, data + done, static_cast<std::size_t>(n));
        done += n;
        lock.lock();
        written_ += n;
        // Waking the consumer costs a system call; it is woken only when it waits for work.
        if (consumerWaiting_) changed_.notify_all();
    }
    return size;
}

void ThreadedSink::Consume() {
    std::unique_lock lock(mutex_);
    for (;;) {
        consumerWaiting_ = true;
        changed_.wait(lock, [this] { return written_ > taken_ || stopping_ || cancelled_; });
        consumerWaiting_ = false;
        if (cancelled_ || written_ == taken_) return; // cancelled, or stopping with all taken
        const qint64 at = taken_ % kMaxPending;
        const qint64 n = std::min({written_ - taken_, kMaxPending - at, kPiece});
        lock.unlock();
        QString why;
        const bool ok = consume_(ring_.get() + at, n, why);
        lock.lock();
        if (!ok && !failed_) {
            failed_ = true;
            failure_ = why;
        }
        // After a failure nothing more is taken: what waits is dropped.
        taken_ = failed_ ? written_ : taken_ + n;
        // One report at a time is on its way; it announces everything taken by the time it
        // runs, so a fast consumer does not flood the owner's event loop.
        const bool report = !reportPosted_;
        reportPosted_ = true;
        // The rest is done without the lock: this thread runs at a lower priority than the
        // writer's, and the writer must not wait for it to be scheduled again.
        lock.unlock();
        changed_.notify_all(); // a writer may wait for room, or someone for the drain
        if (report) {
            QMetaObject::invokeMethod(
                this, [this] { ReportTaken(); }, Qt::QueuedConnection);
        }
        lock.lock();
    }
}

void ThreadedSink::ReportTaken() {
    qint64 taken = 0;
    {
        const std::lock_guard lock(mutex_);
        reportPosted_ = false;
        taken = taken_;
    }
    if (taken == reported_) return;
    const qint64 progress = taken - reported_;
    reported_ = taken;
    emit bytesWritten(progress);
}

} // namespace vex::runtime
