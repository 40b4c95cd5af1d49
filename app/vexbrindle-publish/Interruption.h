#pragma once

namespace vex::publish {

// Ctrl+C, SIGTERM and a hung-up terminal only set a flag, which the long steps look at, so an
// interrupted run still removes its temporary files and leaves the site as it was. Once the
// release is being put in place, the last renames run to the end regardless.
void CatchInterruptions();

// True once an interruption arrived.
bool Interrupted();

} // namespace vex::publish
