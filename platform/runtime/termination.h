#pragma once

#include <QObject>

#include <functional>

namespace vex {

// Routes SIGINT and SIGTERM to `handler`, run from the event loop of `context`'s thread: the
// signal handler itself only writes a byte to a pipe, so the program can end the way its close
// label does (abandoning a download cleanly) instead of dying mid-write.
void RouteTerminationSignals(QObject* context, std::function<void(int signalNumber)> handler);

} // namespace vex
