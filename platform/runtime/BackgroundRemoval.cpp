#include "platform/runtime/BackgroundRemoval.h"

#include "platform/runtime/TemporaryName.h"
#include "platform/runtime/WorkerPriority.h"

#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vex::runtime {

namespace {

// Tries before giving up on finding a free temporary name; a clash is already unlikely once.
constexpr int kNameAttempts = 100;

// A file on its way out: the temporary name it was given (empty when it has none left) and a
// descriptor that holds its lock and, once the name is gone, its pages.
struct Leaving {
    QByteArray name;
    int fd = -1;
};

void Finish(const Leaving& leaving) {
    // The name goes before the lock, as in ReplacingFile::RemoveLeftovers().
    if (!leaving.name.isEmpty()) ::unlink(leaving.name.constData());
    if (leaving.fd >= 0) ::close(leaving.fd);
}

// The one removal thread of the process, started by the first file handed to it. Its statics'
// destruction, when the program ends normally, waits for the files under way.
class Remover {
  public:
    ~Remover() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        for (const Leaving& leaving : queue_)
            Finish(leaving);
    }

    void Hand(Leaving leaving) {
        {
            const std::lock_guard lock(mutex_);
            if (!worker_.joinable() && !stopping_) {
                try {
                    worker_ = std::thread([this] {
                        LowerThisThreadsPriority();
                        Run();
                    });
                } catch (const std::system_error&) {
                    // No thread to be had: the caller waits for this one.
                }
            }
            if (worker_.joinable()) {
                queue_.push_back(std::move(leaving));
                leaving = {};
            }
        }
        if (leaving.fd >= 0 || !leaving.name.isEmpty()) {
            Finish(leaving);
            return;
        }
        wake_.notify_all();
    }

    bool Wait() {
        std::unique_lock lock(mutex_);
        const bool underWay = !queue_.empty() || busy_;
        done_.wait(lock, [this] { return queue_.empty() && !busy_; });
        return underWay;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return; // stopping, with nothing left
            const Leaving leaving = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            lock.unlock();
            Finish(leaving);
            lock.lock();
            busy_ = false;
            if (queue_.empty()) done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Leaving> queue_; // under mutex_
    bool busy_ = false;         // under mutex_: a file is being finished
    bool stopping_ = false;     // under mutex_
    std::thread worker_;
};

Remover& TheRemover() {
    static Remover remover;
    return remover;
}

bool UnlinkHere(const QByteArray& path) {
    return ::unlink(path.constData()) == 0 || errno == ENOENT;
}

} // namespace

bool RemoveInBackground(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    struct stat named {};
    if (::lstat(local.constData(), &named) != 0) return errno == ENOENT;
    if (S_ISDIR(named.st_mode)) return false;
    if (!S_ISREG(named.st_mode)) return UnlinkHere(local);
    const int fd =
        ::open(local.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        // Not readable, or replaced meanwhile: whatever stands there now goes the plain way.
        if (fd >= 0) ::close(fd);
        return UnlinkHere(local);
    }
    // Locked, so that a cleanup of another run never takes the renamed file for a leftover
    // while this one still holds it. A lock held by someone else changes nothing here.
    ::flock(fd, LOCK_EX | LOCK_NB);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QByteArray temporary = TemporaryNameBeside(path);
        // Never over an existing entry: the name may be that of a file being written.
        if (::renameat2(AT_FDCWD, local.constData(), AT_FDCWD, temporary.constData(),
                        RENAME_NOREPLACE) == 0) {
            TheRemover().Hand({temporary, fd});
            return true;
        }
        if (errno != EEXIST) break;
    }
    // A file system that cannot rename without replacing, or a folder that cannot be changed:
    // the caller waits for the removal, which fails alike in the latter.
    ::close(fd);
    return UnlinkHere(local);
}

void CloseInBackground(int fd) {
    if (fd >= 0) TheRemover().Hand({QByteArray(), fd});
}

bool WaitForBackgroundRemovals() {
    return TheRemover().Wait();
}

} // namespace vex::runtime
