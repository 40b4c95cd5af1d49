#include "platform/runtime/BackgroundWriteback.h"

#include <fcntl.h>
#include <unistd.h>

namespace vex::runtime {

BackgroundWriteback::BackgroundWriteback(int fd)
    : fd_(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), follower_(0, [this](qint64 from, qint64 to) {
          ::sync_file_range(fd_, from, to - from, SYNC_FILE_RANGE_WRITE);
      }) {}

void BackgroundWriteback::HandUpTo(qint64 end) {
    if (fd_ >= 0) follower_.Advance(end);
}

void BackgroundWriteback::Stop() {
    follower_.Stop();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

} // namespace vex::runtime
