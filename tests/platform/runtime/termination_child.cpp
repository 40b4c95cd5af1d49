// A program for termination_test: it sets up the termination signals as its first argument
// says, prints "ready" once a signal may come, and then waits in a blocking read of its
// standard input (retried on EINTR, as Qt's own calls are) or in its event loop.
#include "platform/runtime/termination.h"

#include <QCoreApplication>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace {

void SayReady() {
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
}

[[noreturn]] void BlockInRead() {
    char byte = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        std::_Exit(EXIT_FAILURE); // the test never writes or closes it
    }
}

// The routed handler ends the program with this status, so the test sees which way it ended.
constexpr int kEndedByHandler = 3;

} // namespace

int main(int argc, char** argv) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    vex::EndOnTerminationSignals();
    if (mode == "unrouted") {
        SayReady();
        BlockInRead();
    }
    QCoreApplication app(argc, argv);
    vex::RouteTerminationSignals(&app, [](int) { QCoreApplication::exit(kEndedByHandler); });
    if (mode == "before-loop") {
        SayReady();
        BlockInRead();
    }
    QTimer::singleShot(0, &app, [mode] {
        SayReady();
        if (mode == "loop-blocked") BlockInRead();
    });
    return QCoreApplication::exec();
}
