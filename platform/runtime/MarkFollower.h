#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vex::runtime {

// Work that follows a mark moving forward, done on a thread of its own so that the caller only
// says how far it has got and goes on. Each call of `work` gets the mark it last reached and
// the newest one; marks handed meanwhile are served by that one call.
class MarkFollower {
  public:
    // start: the mark before anything was handed; a later mark must pass it.
    MarkFollower(qint64 start, std::function<void(qint64 from, qint64 to)> work)
        : work_(std::move(work)), wanted_(start), reached_(start) {}
    ~MarkFollower() { Stop(); }

    MarkFollower(const MarkFollower&) = delete;
    MarkFollower& operator=(const MarkFollower&) = delete;

    // Returns at once; the thread starts with the first mark handed.
    void Advance(qint64 mark);
    // Waits until the work has reached `mark` (or the follower stops): for a caller that
    // must not get too far ahead.
    void WaitFor(qint64 mark);
    // Waits for the call under way, if any, and ends the thread; later marks are dropped.
    void Stop();

  private:
    void Run();

    const std::function<void(qint64, qint64)> work_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable reached_changed_;
    qint64 wanted_;         // under mutex_
    bool stopping_ = false; // under mutex_
    qint64 reached_;        // under mutex_
    std::thread worker_;
};

} // namespace vex::runtime
