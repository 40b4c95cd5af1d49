#include "platform/runtime/BackgroundPageRelease.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

namespace vex::runtime {

namespace {

void LetGo(const char* data, qint64 size) {
    if (size > 0) ::madvise(const_cast<char*>(data), static_cast<size_t>(size), MADV_DONTNEED);
}

} // namespace

BackgroundPageRelease::BackgroundPageRelease(const char* fixed, qint64 fixedSize,
                                             const char* growing, qint64 growingSize, qint64 ahead)
    : fixed_(fixed), fixedSize_(fixed ? fixedSize : 0), growing_(growing),
      growingSize_(growingSize), ahead_(ahead),
      follower_(-1, [this](qint64, qint64 end) { Release(end); }) {}

void BackgroundPageRelease::Release(qint64 end) {
    // All of both, not only what is new: a page read again behind the writing (a match
    // reaching back) goes too, so what stays resident is what was touched since the last
    // call. Requests that came meanwhile are served by this one call.
    LetGo(growing_, end);
    LetGo(fixed_, fixedSize_);
    // A system without this advice leaves the faults to the writer, as before.
    const qint64 prepared = qMin(end + ahead_, growingSize_) - end;
    if (prepared > 0) {
        ::madvise(const_cast<char*>(growing_) + end, static_cast<size_t>(prepared),
                  MADV_POPULATE_WRITE);
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
