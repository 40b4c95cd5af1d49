#include "platform/runtime/WorkerPriority.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace {

int OwnNice() {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
}

} // namespace

TEST(WorkerPriority, LowersOnlyTheCallingThread) {
    // The event loop's thread must keep its priority when a worker lowers its own.
    const int loop = OwnNice();
    if (loop >= 10) GTEST_SKIP() << "the test already runs at nice " << loop;
    int worker = loop;
    int again = loop;
    std::thread([&] {
        vex::runtime::LowerThisThreadsPriority();
        worker = OwnNice();
        vex::runtime::LowerThisThreadsPriority(); // a second call changes nothing
        again = OwnNice();
    }).join();
    EXPECT_GT(worker, loop);
    EXPECT_EQ(again, worker);
    EXPECT_EQ(OwnNice(), loop);
}
