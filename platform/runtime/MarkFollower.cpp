#include "platform/runtime/MarkFollower.h"

#include "platform/runtime/WorkerPriority.h"

namespace vex::runtime {

void MarkFollower::Advance(qint64 mark) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_ || mark <= wanted_) return;
        wanted_ = mark;
        if (!worker_.joinable()) {
            worker_ = std::thread([this] {
                LowerThisThreadsPriority();
                Run();
            });
        }
    }
    wake_.notify_one();
}

void MarkFollower::WaitFor(qint64 mark) {
    std::unique_lock lock(mutex_);
    reached_changed_.wait(lock, [&] { return stopping_ || reached_ >= mark; });
}

void MarkFollower::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    reached_changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void MarkFollower::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || wanted_ > reached_; });
        if (stopping_) return;
        const qint64 mark = wanted_;
        const qint64 from = reached_;
        lock.unlock();
        work_(from, mark);
        lock.lock();
        reached_ = mark;
        lock.unlock();
        reached_changed_.notify_all();
        lock.lock();
    }
}

} // namespace vex::runtime
