// The library's waits in liblinekit-testing.so, the variant test programs
// link: the same library with a hook that shortens its 10000 ms waits so
// time-out paths run quickly. The installed library has no such hook.

#include <atomic>

#include "linekit/Internal.h"
#include "linekit/tpx_testing.h"

namespace linekit {
namespace {

std::atomic<std::uint32_t> g_timeoutMs{TPX_RESPONSE_TIMEOUT_MS};

}  // namespace

std::uint32_t TimeoutMs() { return g_timeoutMs.load(); }

}  // namespace linekit

extern "C" TPX_API void TpxSetTimeoutForTesting(uint32_t milliseconds) {
    linekit::g_timeoutMs.store(milliseconds == 0 ? TPX_RESPONSE_TIMEOUT_MS : milliseconds);
}
