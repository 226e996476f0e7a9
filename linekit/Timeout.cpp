// The library's wait for a driver completion or a GSM response: always
// 10000 ms in the library programs link; in the test variant
// (liblinekit-testing.so) a WaitLimit of the calling thread shortens it.

#include "linekit/Internal.h"

#ifdef MARLOTRC_TESTING
#include <algorithm>

#include "linekit/WaitLimit.h"
#endif

namespace linekit {

#ifndef MARLOTRC_TESTING
std::uint32_t TimeoutMs() { return TPX_RESPONSE_TIMEOUT_MS; }
#else
namespace {

// The limit of the calling thread's innermost WaitLimit; 0 when it has none.
thread_local std::uint32_t t_limitMs = 0;

}  // namespace

std::uint32_t TimeoutMs() { return t_limitMs != 0 ? t_limitMs : TPX_RESPONSE_TIMEOUT_MS; }

WaitLimit::WaitLimit(std::chrono::milliseconds limit) : m_previous(t_limitMs) {
    // At least 1 ms (0 would mean "none"), and never an endless wait.
    t_limitMs = static_cast<std::uint32_t>(
        std::clamp<std::chrono::milliseconds::rep>(limit.count(), 1, platform::kInfinite - 1));
}

WaitLimit::~WaitLimit() { t_limitMs = m_previous; }
#endif

}  // namespace linekit
