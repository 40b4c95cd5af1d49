#include "app/vexbrindle-publish/Interruption.h"

#include <csignal>
#include <initializer_list>

namespace vex::publish {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void NoteInterruption(int) {
    interrupted = 1;
}

} // namespace

void CatchInterruptions() {
    struct sigaction action {};
    action.sa_handler = NoteInterruption;
    sigemptyset(&action.sa_mask);
    // Without SA_RESTART a blocking wait (for minisign) returns early and sees the flag.
    action.sa_flags = 0;
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

} // namespace vex::publish
