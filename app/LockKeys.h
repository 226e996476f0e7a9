#pragma once
// The state of the Caps Lock, Num Lock and Scroll Lock keys for the status
// bar's indicators. Only an X11 display can tell it; elsewhere the state is
// unknown. User-interface thread.

#include <array>
#include <optional>

namespace app {

// Caps, Num, Scroll: on or off; nullopt when the display cannot say.
std::optional<std::array<bool, 3>> ReadLockKeys();

}  // namespace app
