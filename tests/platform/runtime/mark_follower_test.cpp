#include "platform/runtime/MarkFollower.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <vector>

using vex::runtime::MarkFollower;

TEST(MarkFollower, TheWorkCoversEveryStretchOnceInOrderAndCanBeWaitedFor) {
    std::mutex mutex;
    std::vector<std::pair<qint64, qint64>> done;
    MarkFollower follower(0, [&](qint64 from, qint64 to) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        const std::lock_guard lock(mutex);
        done.emplace_back(from, to);
    });
    for (qint64 mark = 10; mark <= 1000; mark += 10) {
        follower.Advance(mark);
        follower.Advance(mark - 5); // behind: nothing to do
    }
    follower.WaitFor(1000);
    const std::lock_guard lock(mutex);
    ASSERT_FALSE(done.empty());
    qint64 at = 0;
    for (const auto& [from, to] : done) {
        EXPECT_EQ(from, at);
        EXPECT_GT(to, from);
        at = to;
    }
    EXPECT_EQ(at, 1000) << "WaitFor returned before the work reached its mark";
}

TEST(MarkFollower, AWaitForAMarkNeverHandedEndsWithStop) {
    MarkFollower follower(0, [](qint64, qint64) {});
    follower.Advance(10);
    auto waiting = std::async(std::launch::async, [&] { follower.WaitFor(20); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    follower.Stop();
    EXPECT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}
