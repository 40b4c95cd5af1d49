#pragma once

namespace vex::runtime {

// Lowers the calling thread's priority below the event loop's. The threads that take the slow
// work off the loop (hashing, decoding, writing, removing) would otherwise compete with it for
// the cores on equal terms, and a loop that wakes for a timer would wait for a core while they
// run: the window would stutter though its thread had nothing to do. The work still gets
// every core the loop leaves idle. Best effort: a refusal leaves the priority as it is.
void LowerThisThreadsPriority();

} // namespace vex::runtime
