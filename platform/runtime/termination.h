#pragma once

#include <QObject>

#include <functional>

namespace vex {

// Call first in main(): from then on SIGINT and SIGTERM end the program at once with exit
// status 128 + the signal's number, until RouteTerminationSignals has an event loop to hand
// them to. Nothing that needs cleaning up happens before that loop runs.
void EndOnTerminationSignals();

// Routes SIGINT and SIGTERM to `handler`, run from the event loop of `context`'s thread: the
// signal handler itself only writes a byte to a pipe, so the program can end the way its close
// label does (abandoning a download cleanly) instead of dying mid-write.
//
// `handler` must end the program. Until that event loop first runs, a signal still ends the
// program at once. Once it runs, a program that has not ended kTerminationGraceSeconds after
// the signal (something blocks the loop or the way out), or a second signal, ends the program
// from the signal handler with 128 + the signal's number: a termination signal always ends the
// program promptly. A temporary file left then is removed by the next run
// (runtime::ReplacingFile::RemoveLeftovers).
void RouteTerminationSignals(QObject* context, std::function<void(int signalNumber)> handler);

inline constexpr unsigned kTerminationGraceSeconds = 3;

} // namespace vex
