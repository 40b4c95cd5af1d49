#pragma once

#include <functional>

namespace vex::runtime {

// Runs `call` on a thread of its own and returns what it returned, while the calling thread's
// event loop turns (a nested loop), so that timers tick and windows repaint while a system
// call waits for the disk. Returns only once the call has returned, even when the application
// is told to quit meanwhile. Without an event loop on the calling thread, `call` runs here.
int CallOffThread(const std::function<int()>& call);

} // namespace vex::runtime
