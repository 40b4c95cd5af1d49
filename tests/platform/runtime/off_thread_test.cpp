#include "platform/runtime/OffThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <future>
#include <thread>

using vex::runtime::CallOffThread;

TEST(CallOffThread, TheEventLoopTurnsWhileTheCallWaits) {
    // The call can only return once a timer of the calling thread has fired: were the loop
    // held, it would give up after ten seconds and say so.
    std::promise<void> fired;
    QTimer::singleShot(0, [&] { fired.set_value(); });
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id callee;
    const int result = CallOffThread([&] {
        callee = std::this_thread::get_id();
        return fired.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready
                   ? 42
                   : -1;
    });
    EXPECT_EQ(result, 42) << "the loop did not turn during the call";
    EXPECT_NE(callee, caller);
}

TEST(CallOffThread, WithoutAnEventLoopTheCallRunsOnTheCallingThread) {
    std::thread::id caller;
    std::thread::id callee;
    int result = 0;
    std::thread plain([&] {
        caller = std::this_thread::get_id();
        result = CallOffThread([&] {
            callee = std::this_thread::get_id();
            return 7;
        });
    });
    plain.join();
    EXPECT_EQ(result, 7);
    EXPECT_EQ(callee, caller);
}

TEST(CallOffThread, AnApplicationToldToQuitStillGetsTheCallsResult) {
    int result = 0;
    QTimer::singleShot(0, [&] {
        QCoreApplication::exit(0); // the nested loop ends at once; the call is still waited for
        result = CallOffThread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return 5;
        });
    });
    QCoreApplication::exec();
    EXPECT_EQ(result, 5);
}
