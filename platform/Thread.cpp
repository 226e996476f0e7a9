#include "platform/Thread.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int SetCurrentThreadIdlePriority() {
    sched_param param{};
    param.sched_priority = 0;  // SCHED_IDLE takes no static priority
    return ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param);
}

int SetCurrentThreadLowPriority() {
    // On Linux the nice value belongs to the thread named by its id.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, tid, 19) == 0 ? 0 : errno;
}

}  // namespace platform
