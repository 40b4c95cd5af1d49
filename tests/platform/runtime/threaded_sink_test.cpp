#include "platform/runtime/ThreadedSink.h"

#include "tests/support/TestServers.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

using vex::runtime::ThreadedSink;
using vex::testing::PatternBytes;

TEST(ThreadedSink, TheConsumerTakesEveryByteInOrderOnAThreadOfItsOwn) {
    // More than the ring holds, in pieces whose size does not divide it, so writes wrap around
    // the ring's end and some wait for room; the destructor waits for the rest.
    const QByteArray content = PatternBytes(ThreadedSink::kMaxPending * 2 + 54'321);
    QByteArray taken;
    std::thread::id consumer;
    {
        ThreadedSink sink([&](const char* data, qint64 size, QString&) {
            consumer = std::this_thread::get_id();
            taken.append(data, size);
            return true;
        });
        for (qsizetype at = 0; at < content.size(); at += 300'007) {
            const QByteArray piece = content.mid(at, 300'007);
            ASSERT_EQ(sink.write(piece), piece.size());
        }
    }
    EXPECT_TRUE(taken == content);
    EXPECT_NE(consumer, std::this_thread::get_id());
}

TEST(ThreadedSink, AFailureDropsWhatWaitsAndFailsLaterWritesWithItsReason) {
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::atomic<int> calls = 0;
    ThreadedSink sink([&](const char*, qint64, QString& why) {
        ++calls;
        open.wait();
        why = QStringLiteral("No space left on device");
        return false;
    });
    ASSERT_EQ(sink.write(PatternBytes(1000)), 1000);
    // Whatever the consumer holds when it fails, nothing after is taken.
    ASSERT_EQ(sink.write(PatternBytes(5000)), 5000);
    gate.set_value();
    EXPECT_FALSE(sink.Drain());
    EXPECT_TRUE(sink.HasFailed());
    EXPECT_EQ(sink.Failure(), QStringLiteral("No space left on device"));
    EXPECT_EQ(sink.bytesToWrite(), 0);
    EXPECT_EQ(sink.write(PatternBytes(10)), -1);
    EXPECT_EQ(sink.errorString(), QStringLiteral("No space left on device"));
    EXPECT_EQ(calls.load(), 1) << "the consumer went on after its failure";
}

TEST(ThreadedSink, CancelDropsWhatWaitsAfterThePieceUnderWay) {
    std::promise<void> entered;
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::mutex mutex;
    QByteArray taken;
    ThreadedSink sink([&](const char* data, qint64 size, QString&) {
        if (taken.isEmpty()) entered.set_value();
        open.wait();
        const std::lock_guard lock(mutex);
        taken.append(data, size);
        return true;
    });
    ASSERT_EQ(sink.write(PatternBytes(100)), 100);
    entered.get_future().wait(); // the consumer holds the first 100 bytes
    ASSERT_EQ(sink.write(PatternBytes(200)), 200);
    auto cancelled = std::async(std::launch::async, [&] { sink.Cancel(); });
    // Cancel waits for the piece under way, and no longer.
    EXPECT_EQ(cancelled.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    gate.set_value();
    cancelled.wait();
    EXPECT_EQ(taken.size(), 100);
    EXPECT_EQ(sink.bytesToWrite(), 0);
    EXPECT_TRUE(sink.HasFailed());
    EXPECT_EQ(sink.write(PatternBytes(10)), -1);
    EXPECT_FALSE(sink.errorString().isEmpty());
}

TEST(ThreadedSink, DrainWaitsForEverythingWrittenAndCanBeCalledFromAnotherThread) {
    std::atomic<qint64> taken = 0;
    ThreadedSink sink([&](const char*, qint64 size, QString&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        taken += size;
        return true;
    });
    const QByteArray content = PatternBytes(3 * 1024 * 1024 + 17);
    ASSERT_EQ(sink.write(content), content.size());
    bool drained = false;
    std::thread([&] { drained = sink.Drain(); }).join();
    EXPECT_TRUE(drained);
    EXPECT_EQ(taken.load(), content.size());
    EXPECT_EQ(sink.bytesToWrite(), 0);
}

TEST(ThreadedSink, WriteToPassesBytesOnAndFailsWithTheTargetsReason) {
    QByteArray written;
    QBuffer target(&written);
    target.open(QIODevice::WriteOnly);
    {
        ThreadedSink sink(ThreadedSink::WriteTo(target));
        ASSERT_EQ(sink.write("abc"), 3);
        EXPECT_TRUE(sink.Drain());
    }
    EXPECT_EQ(written, "abc");

    QBuffer readOnly(&written);
    readOnly.open(QIODevice::ReadOnly);
    ThreadedSink refused(ThreadedSink::WriteTo(readOnly));
    ASSERT_EQ(refused.write("x"), 1);
    EXPECT_FALSE(refused.Drain());
    EXPECT_FALSE(refused.Failure().isEmpty());
    EXPECT_EQ(refused.Failure(), readOnly.errorString());
}
