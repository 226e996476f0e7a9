#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>

namespace platform {

int SetCurrentThreadIdlePriority() {
    sched_param param{};
    param.sched_priority = 0;  // SCHED_IDLE takes no static priority
    return ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param);
}

}  // namespace platform
