#include "platform/runtime/BackgroundPageRelease.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

namespace vex::runtime {

namespace {

void Release(const char* data, qint64 size) {
    if (size > 0) ::madvise(const_cast<char*>(data), static_cast<size_t>(size), MADV_DONTNEED);
}

} // namespace

BackgroundPageRelease::BackgroundPageRelease(const char* fixed, qint64 fixedSize,
                                             const char* growing, qint64 growingSize, qint64 ahead)
    : fixed_(fixed), fixedSize_(fixed ? fixedSize : 0), growing_(growing),
      growingSize_(growingSize), ahead_(ahead) {}

void BackgroundPageRelease::ReleaseUpTo(qint64 end) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_ || end <= wanted_) return;
        wanted_ = end;
        if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
}

void BackgroundPageRelease::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (worker_.joinable()) worker_.join();
}

void BackgroundPageRelease::Run() {
    qint64 released = -1;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || wanted_ > released; });
        if (stopping_) return;
        const qint64 end = wanted_;
        lock.unlock();
        // All of both, not only what is new: a page read again behind the writing (a match
        // reaching back) goes too, so what stays resident is what was touched since the last
        // call. Requests that came meanwhile are served by this one call.
        Release(growing_, end);
        Release(fixed_, fixedSize_);
        // A system without this advice leaves the faults to the writer, as before.
        const qint64 prepared = qMin(end + ahead_, growingSize_) - end;
        if (prepared > 0) {
            ::madvise(const_cast<char*>(growing_) + end, static_cast<size_t>(prepared),
                      MADV_POPULATE_WRITE);
        }
        released = end;
        lock.lock();
    }
}

bool BackgroundPageRelease::IsSharedFileMapping(const void* data, qint64 size) {
    if (data == nullptr || size <= 0) return false;
    auto next = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t end = next + static_cast<std::uintptr_t>(size);
    FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return false;
    // Lines come in address order: the range is covered when consecutive shared mappings of a
    // file reach from its start to its end.
    char line[4096];
    while (next < end && std::fgets(line, sizeof line, maps)) {
        std::uintptr_t from = 0;
        std::uintptr_t to = 0;
        char permissions[5] = {};
        unsigned long long offset = 0;
        char device[16] = {};
        unsigned long long inode = 0;
        if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s %llx %15s %llu", &from, &to,
                        permissions, &offset, device, &inode) != 6) {
            break;
        }
        if (to <= next) continue;
        if (from > next || permissions[3] != 's' || inode == 0) break;
        next = to;
    }
    std::fclose(maps);
    return next >= end;
}

} // namespace vex::runtime
