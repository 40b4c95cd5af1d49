#include "platform/runtime/WorkerPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vex::runtime {

namespace {

// A nice value of 10 gives a thread about a tenth of the weight of one at 0: the loop is
// scheduled first whenever it is ready to run.
constexpr int kWorkerNice = 10;

} // namespace

void LowerThisThreadsPriority() {
    // On Linux a nice value belongs to one thread, named by its id.
    const auto self = static_cast<id_t>(::syscall(SYS_gettid));
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (now < kWorkerNice) ::setpriority(PRIO_PROCESS, self, kWorkerNice);
}

} // namespace vex::runtime
