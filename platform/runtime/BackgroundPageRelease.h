#pragma once

#include "platform/runtime/MarkFollower.h"

#include <QtGlobal>

namespace vex::runtime {

// Lets go of the pages of two file mappings from a thread of its own: `fixed`, a mapping read
// throughout, and the first bytes of `growing`, a mapping written front to back. Unmapping
// pages costs time in proportion to the range it covers and the pages it finds, so the caller
// only says how far it has got and goes on. The data stays in the file and the system's cache,
// and a page touched again is read back from there.
//
// It also prepares the pages of growing just ahead of the writing, as a write would (a fresh
// page of the file's cache, filled with zeros where the file holds nothing yet): that is most
// of what writing a new file through memory costs, and the writer then finds them ready.
//
// Only for shared mappings of files (see IsSharedFileMapping): letting go of a page of private
// or anonymous memory would lose what it holds.
class BackgroundPageRelease {
  public:
    // fixed may be empty (null, 0): then only growing's pages are let go. growingSize: the
    // length of growing's mapping; ahead: how far past the writing its pages are prepared.
    BackgroundPageRelease(const char* fixed, qint64 fixedSize, const char* growing,
                          qint64 growingSize, qint64 ahead);
    ~BackgroundPageRelease() { Stop(); }

    BackgroundPageRelease(const BackgroundPageRelease&) = delete;
    BackgroundPageRelease& operator=(const BackgroundPageRelease&) = delete;

    // The pages of growing before `end` (a multiple of the page size) are written and may go,
    // and so may fixed's pages read so far; those up to `ahead` past it are about to be
    // written. Returns at once. Call it with 0 before writing starts.
    void ReleaseUpTo(qint64 end) { follower_.Advance(end); }
    // Waits until the pages before `end` have been let go: a writer far ahead of the release
    // would keep ever more pages resident.
    void WaitForRelease(qint64 end) { follower_.WaitFor(end); }
    // Waits for the release under way, if any, and ends the thread; later calls are dropped.
    void Stop() { follower_.Stop(); }

    // Whether every page of [data, data + size) lies in a shared mapping of a file.
    static bool IsSharedFileMapping(const void* data, qint64 size);

  private:
    void Release(qint64 end);

    const char* fixed_;
    qint64 fixedSize_;
    const char* growing_;
    qint64 growingSize_;
    qint64 ahead_;
    MarkFollower follower_; // last: it stops before the rest goes
};

} // namespace vex::runtime
