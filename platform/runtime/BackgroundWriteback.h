#pragma once

#include "platform/runtime/MarkFollower.h"

#include <QtGlobal>

namespace vex::runtime {

// Asks the disk to start writing a file's first bytes, from a thread of its own. Starting the
// writeback can itself wait for the disk (for the pages of a mapped file, long enough to be
// seen as a stutter of the window), so the caller only says how far it has got and goes on.
// Nothing here is waited for: it is a hint, and the sync that follows reports what the disk
// refuses. It works on a descriptor of its own (a duplicate of `fd`), so the caller may close
// its own at any time.
class BackgroundWriteback {
  public:
    explicit BackgroundWriteback(int fd);
    ~BackgroundWriteback() { Stop(); }

    BackgroundWriteback(const BackgroundWriteback&) = delete;
    BackgroundWriteback& operator=(const BackgroundWriteback&) = delete;

    // The bytes before `end` may go to disk now; returns at once.
    void HandUpTo(qint64 end);
    // Waits for the call under way, if any, ends the thread and closes the descriptor; later
    // hands are dropped.
    void Stop();

  private:
    int fd_;
    MarkFollower follower_; // last: it stops before the descriptor goes
};

} // namespace vex::runtime
