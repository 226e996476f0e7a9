#pragma once
// The one test seam of liblinekit-testing.so, the variant of the Tpx library
// that the project's test programs link (never installed). The installed
// liblinekit.so always waits TPX_RESPONSE_TIMEOUT_MS for a driver completion
// or a GSM response and has no such class, so a program that uses it links
// only against the test variant.

#include <chrono>
#include <cstdint>

namespace linekit {

// While it lives, the Tpx calls made on the thread that made it wait at most
// `limit` for a driver completion or a GSM response, so a test of a time-out
// path runs in a fraction of a second. Other threads, and the same thread
// once it is gone, wait as before; limits nest, the innermost counting.
// Made and destroyed on one thread (a test's fixture or body).
class __attribute__((visibility("default"))) WaitLimit {
public:
    explicit WaitLimit(std::chrono::milliseconds limit);
    ~WaitLimit();
    WaitLimit(const WaitLimit&) = delete;
    WaitLimit& operator=(const WaitLimit&) = delete;

private:
    std::uint32_t m_previous;
};

}  // namespace linekit
