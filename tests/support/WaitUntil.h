#pragma once
// Waiting for something another thread or process brings about: the
// condition is checked every millisecond until it holds or the deadline
// passes. It waits for a thing to have happened; it never stands in for the
// synchronisation a test would otherwise lack, and it never asserts that
// something did not happen.

#include <chrono>
#include <thread>

namespace testsupport {

// True as soon as condition() holds; false when the deadline passed first.
// The deadline is far beyond any normal wait, so a slow machine only waits
// longer, and a test that fails says what it waited for.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testsupport
