#pragma once

#include <QString>

namespace vex::runtime {

// Removing a large file frees its pages in the system's cache inside the call that drops its
// last name or descriptor: about a tenth of a second for half a gigabyte, long enough to be
// seen as a window that stops answering. Here the file leaves its name at once and the freeing
// happens on a thread of its own, which the caller never waits for.
//
// The file is renamed to a temporary name beside its path (".NAME.XXXXXXXX.part", never one
// that stands there already) and held locked there, as ReplacingFile holds a file it writes,
// until the thread has removed it. A program killed meanwhile leaves it behind unlocked, and
// ReplacingFile::RemoveLeftovers(path) takes it away on a later run. A program that ends
// normally, by returning from main() or through exit(), first waits for the removals under
// way, so it leaves none of these files behind.

// Removes what stands at `path`. A regular file is renamed away and freed later; anything else
// (a link, a pipe) is unlinked at once, and a folder is left. True when nothing stands at
// `path` any more; false, with the entry as it was, when the folder cannot be changed.
bool RemoveInBackground(const QString& path);

// Closes `fd` on the removal thread: for the last descriptor of a file whose name is gone, the
// close is what frees its pages.
void CloseInBackground(int fd);

// Waits until every removal and close handed over so far is done. True when any was still
// under way: a write refused for want of space may then succeed when tried again.
bool WaitForBackgroundRemovals();

} // namespace vex::runtime
