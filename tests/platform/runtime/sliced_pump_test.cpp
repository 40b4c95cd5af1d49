#include "platform/runtime/SlicedPump.h"
#include "platform/runtime/ThreadedSink.h"

#include "tests/support/TestServers.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTimer>

#include <future>
#include <thread>

using vex::runtime::PumpInSlices;
using vex::runtime::ThreadedSink;
using vex::testing::PatternBytes;

TEST(PumpInSlices, ATargetThatWorksBehindGetsEveryByteWhileTimersTick) {
    // The target takes a megabyte every few milliseconds, far slower than the pump reads: the
    // pump waits for it, and the loop goes on turning meanwhile.
    QByteArray content = PatternBytes(24 * 1024 * 1024 + 333);
    QBuffer from(&content);
    from.open(QIODevice::ReadOnly);
    QByteArray taken;
    ThreadedSink to([&](const char* data, qint64 size, QString&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        taken.append(data, size);
        return true;
    });
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(1);
    QString why;
    EXPECT_TRUE(PumpInSlices(from, to, -1, {}, why)) << why.toStdString();
    EXPECT_TRUE(to.Drain());
    EXPECT_TRUE(taken == content);
    EXPECT_GT(ticks, 10);
}

TEST(PumpInSlices, StopIsHeardWhileTheTargetIsBehind) {
    // A target that has stopped taking anything must not keep the pump from hearing that the
    // program ends.
    QByteArray content = PatternBytes(16 * 1024 * 1024);
    QBuffer from(&content);
    from.open(QIODevice::ReadOnly);
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    ThreadedSink to([&](const char*, qint64, QString&) {
        open.wait();
        return true;
    });
    bool ending = false;
    QTimer::singleShot(200, [&] { ending = true; });
    QString why;
    EXPECT_FALSE(PumpInSlices(
        from, to, -1, [&] { return ending; }, why));
    EXPECT_TRUE(why.isEmpty()) << why.toStdString();
    gate.set_value();
    to.Cancel();
}
