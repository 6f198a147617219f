#include "foundation/platform/podoPlatformThread.h"

#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace podo::platform {

int64_t currentThreadId()
{
    return static_cast<int64_t>(::syscall(SYS_gettid));
}

void yieldThread()
{
    sched_yield();
}

namespace {

// Threads of the normal policy differ only by their nice value, which Linux keeps
// per thread: -20 (most favoured) .. 19.
int32_t threadPriorityOfLevel(int32_t level)
{
    switch (level) {
    case 0: return 19;   // idle
    case 1: return 15;   // lowest
    case 2: return 5;    // below normal
    case 4: return -5;   // above normal
    case 5: return -10;  // highest
    case 6: return -20;  // time-critical
    default: return 0;   // normal
    }
}

} // namespace

bool setThreadPriority(int64_t threadId, int32_t level)
{
    if (threadId <= 0)
        return false;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), threadPriorityOfLevel(level)) == 0;
}

int32_t threadPriority(int64_t threadId)
{
    errno = 0;
    return static_cast<int32_t>(getpriority(PRIO_PROCESS, static_cast<id_t>(threadId)));
}

} // namespace podo::platform
