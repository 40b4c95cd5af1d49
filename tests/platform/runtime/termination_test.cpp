// Termination signals end the program at any point: before they are routed, before the event
// loop runs, while it runs, and while something blocks it. Each row runs a small program
// (termination_child.cpp) to the point it names and signals it there.
#include "tests/support/QtPrinters.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

namespace {

constexpr int kDeadlineMs = 30000;

TEST(Termination, SignalEndsTheProgramWhereverItIs) {
    struct Case {
        const char* name; // the fault the row catches
        const char* mode;
        int signalNumber;
        int exitCode;
    };
    const Case cases[] = {
        {"signal before routing kills instead of ending", "unrouted", SIGTERM, 128 + SIGTERM},
        {"Ctrl+C before routing kills instead of ending", "unrouted", SIGINT, 128 + SIGINT},
        {"signal before the loop runs waits for it for ever", "before-loop", SIGTERM,
         128 + SIGTERM},
        {"signal while the loop runs bypasses the handler", "loop", SIGTERM, 3},
        {"Ctrl+C while the loop runs bypasses the handler", "loop", SIGINT, 3},
        {"signal while a read blocks the loop waits for ever", "loop-blocked", SIGTERM,
         128 + SIGTERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess child;
        child.start(TERMINATION_CHILD, {c.mode});
        ASSERT_TRUE(child.waitForStarted(kDeadlineMs));
        ASSERT_TRUE(child.waitForReadyRead(kDeadlineMs));
        ASSERT_EQ(child.readAllStandardOutput(), "ready\n");

        ::kill(static_cast<pid_t>(child.processId()), c.signalNumber);

        const bool ended = child.waitForFinished(kDeadlineMs);
        EXPECT_TRUE(ended);
        if (!ended) {
            child.kill();
            child.waitForFinished();
        }
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), c.exitCode);
    }
}

} // namespace
