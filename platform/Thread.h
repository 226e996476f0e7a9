#pragma once
// Thread services: the idle scheduling class for background pollers.

namespace platform {

// Puts the calling thread into the idle scheduling class (SCHED_IDLE), so it
// runs only when nothing else wants the processor. Returns 0 or errno.
int SetCurrentThreadIdlePriority();

// Gives the calling thread the lowest ordinary priority (nice 19): it yields
// to everything else but is never starved, as an idle-class thread is on a
// busy machine. Returns 0 or errno.
int SetCurrentThreadLowPriority();

}  // namespace platform
