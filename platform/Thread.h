#pragma once
// Thread services: the idle scheduling class for background pollers.

namespace platform {

// Puts the calling thread into the idle scheduling class (SCHED_IDLE), so it
// runs only when nothing else wants the processor. Returns 0 or errno.
int SetCurrentThreadIdlePriority();

}  // namespace platform
