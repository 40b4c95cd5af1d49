#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vex::runtime {

// Lets go of the pages of two file mappings from a thread of its own: `fixed`, a mapping read
// throughout, and the first bytes of `growing`, a mapping written front to back. Unmapping
// pages costs time in proportion to the range it covers and the pages it finds, so the caller
// only says how far it has got and goes on. The data stays in the file and the system's cache,
// and a page touched again is read back from there.
//
// Only for shared mappings of files (see IsSharedFileMapping): letting go of a page of private
// or anonymous memory would lose what it holds.
class BackgroundPageRelease {
  public:
    // fixed may be empty (null, 0): then only growing's pages are let go.
    BackgroundPageRelease(const char* fixed, qint64 fixedSize, const char* growing);
    ~BackgroundPageRelease() { Stop(); }

    BackgroundPageRelease(const BackgroundPageRelease&) = delete;
    BackgroundPageRelease& operator=(const BackgroundPageRelease&) = delete;

    // The pages of growing before `end` (a multiple of the page size) are written and may go,
    // and so may fixed's pages read so far; returns at once.
    void ReleaseUpTo(qint64 end);
    // Waits for the release under way, if any, and ends the thread; later calls are dropped.
    void Stop();

    // Whether every page of [data, data + size) lies in a shared mapping of a file.
    static bool IsSharedFileMapping(const void* data, qint64 size);

  private:
    void Run();

    const char* fixed_;
    qint64 fixedSize_;
    const char* growing_;
    std::mutex mutex_;
    std::condition_variable wake_;
    qint64 wanted_ = 0; // under mutex_
    bool stopping_ = false;
    std::thread worker_; // started by the first call
};

} // namespace vex::runtime
