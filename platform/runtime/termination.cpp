#include "platform/runtime/termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <unistd.h>

namespace vex {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const unsigned char n = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &n, 1);
}

} // namespace

void RouteTerminationSignals(QObject* context, std::function<void(int signalNumber)> handler) {
    if (signalPipe[0] < 0 && ::pipe(signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [handler = std::move(handler)] {
                         unsigned char n = 0;
                         if (::read(signalPipe[0], &n, 1) != 1) return;
                         handler(n);
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace vex
