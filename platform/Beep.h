#pragma once
// The audible signal. Core code calls Beep(); the desktop program installs a
// handler that rings the desktop bell. Without a handler nothing sounds, so
// tests and servers stay quiet. Handlers may be called from any thread.

#include <cstdint>
#include <functional>

namespace platform {

using BeepHandler = std::function<void(std::uint32_t frequencyHz, std::uint32_t durationMs)>;

void Beep(std::uint32_t frequencyHz, std::uint32_t durationMs);

// Installs a handler and returns the one it replaces; empty means silence.
BeepHandler SetBeepHandler(BeepHandler handler);

}  // namespace platform
