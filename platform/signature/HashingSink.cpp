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
    changed_.notify_all();
    return written;
}

void HashingSink::HashPieces() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !pending_.empty() || finished_; });
        if (pending_.empty()) return; // finished, and everything hashed
        QByteArray piece = std::move(pending_.front());
        pending_.pop_front();
        lock.unlock();
        hasher_.Update(piece.constData(), piece.size());
        lock.lock();
        pendingBytes_ -= piece.size();
        changed_.notify_all();
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
