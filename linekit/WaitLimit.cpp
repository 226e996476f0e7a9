// The library's waits in liblinekit-testing.so, the variant test programs
// link: 10000 ms unless the calling thread holds a WaitLimit. The installed
// library has Timeout.cpp in this file's place.

#include "linekit/WaitLimit.h"

#include <algorithm>

#include "linekit/Internal.h"

namespace linekit {
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

}  // namespace linekit
