#include "platform/runtime/termination.h"

#include <QMetaObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vex {

namespace {

int signalPipe[2] = {-1, -1};

// Set once an event loop has run for the routed handler: a signal may then wait for it.
volatile std::sig_atomic_t routed = 0;
// The first termination signal received; 0 for none yet.
volatile std::sig_atomic_t received = 0;

[[noreturn]] void EndNow(int signalNumber) {
    ::_exit(128 + signalNumber);
}

// Only async-signal-safe calls here.
void OnTerminationSignal(int signalNumber) {
    if (!routed || received != 0) EndNow(signalNumber);
    received = signalNumber;
    const unsigned char n = static_cast<unsigned char>(signalNumber);
    if (::write(signalPipe[1], &n, 1) != 1) EndNow(signalNumber);
    // The handler ends the program; should anything hold it up, the grace ends it.
    ::alarm(kTerminationGraceSeconds);
}

void OnGraceOver(int) {
    EndNow(received != 0 ? static_cast<int>(received) : SIGALRM);
}

void Handle(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call of our own returns (EINTR) instead of waiting on.
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

void EndOnTerminationSignals() {
    Handle(SIGINT, OnTerminationSignal);
    Handle(SIGTERM, OnTerminationSignal);
}

void RouteTerminationSignals(QObject* context, std::function<void(int signalNumber)> handler) {
    // Non-blocking, so the signal handler never waits on a full pipe; not inherited by a
    // program started later.
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         unsigned char n = 0;
                         if (::read(signalPipe[0], &n, 1) != 1) return;
                         handler(n);
                     });
    // The first event the loop handles says that it runs.
    QMetaObject::invokeMethod(
        context, [] { routed = 1; }, Qt::QueuedConnection);
    Handle(SIGALRM, OnGraceOver);
    EndOnTerminationSignals();
}

} // namespace vex
