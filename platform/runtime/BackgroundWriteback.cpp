#include "platform/runtime/BackgroundWriteback.h"

#include <fcntl.h>
#include <unistd.h>

namespace vex::runtime {

BackgroundWriteback::BackgroundWriteback(int fd) : fd_(::fcntl(fd, F_DUPFD_CLOEXEC, 0)) {}

void BackgroundWriteback::HandUpTo(qint64 end) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_ || fd_ < 0 || end <= wanted_) return;
        wanted_ = end;
        if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void BackgroundWriteback::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void BackgroundWriteback::Run() {
    qint64 handed = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || wanted_ > handed; });
        if (stopping_) return;
        const qint64 end = wanted_;
        lock.unlock();
        ::sync_file_range(fd_, handed, end - handed, SYNC_FILE_RANGE_WRITE);
        handed = end;
        lock.lock();
    }
}

} // namespace vex::runtime
