#include "platform/signature/HashingSink.h"

namespace vex::signature {

HashingSink::HashingSink(QIODevice& target) : target_(target) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    worker_ = std::thread([this] { HashPieces(); });
}

HashingSink::~HashingSink() {
    Stop();
}

Blake2b512 HashingSink::Final() {
    Stop();
    return hasher_.Final();
}

qint64 HashingSink::readData(char*, qint64) {
    return -1;
}

qint64 HashingSink::writeData(const char* data, qint64 size) {
    const qint64 written = target_.write(data, size);
    if (written != size) setErrorString(target_.errorString());
    if (written <= 0) return written;

    QByteArray piece(data, written);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return pendingBytes_ < kMaxPending; });
    pendingBytes_ += written;
    pending_.push_back(std::move(piece));
    // Waking the hasher costs a system call; it is woken only when it waits for work.
    if (hasherWaiting_) changed_.notify_all();
    return written;
}

void HashingSink::HashPieces() {
    std::deque<QByteArray> pieces;
    std::unique_lock lock(mutex_);
    for (;;) {
        hasherWaiting_ = true;
        changed_.wait(lock, [this] { return !pending_.empty() || finished_; });
        hasherWaiting_ = false;
        if (pending_.empty()) return; // finished, and everything hashed
        // Everything waiting is taken at once, so the lock is taken once per batch.
        pieces.swap(pending_);
        lock.unlock();
        qint64 hashed = 0;
        for (const QByteArray& piece : pieces) {
            hasher_.Update(piece.constData(), piece.size());
            hashed += piece.size();
        }
        pieces.clear();
        lock.lock();
        pendingBytes_ -= hashed;
        changed_.notify_all(); // a writer may wait for room
    }
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
