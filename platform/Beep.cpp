#include "platform/Beep.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex g_mutex;
BeepHandler g_handler;  // guarded by g_mutex; empty: silent

}  // namespace

void Beep(std::uint32_t frequencyHz, std::uint32_t durationMs) {
    BeepHandler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;  // called outside the lock
    }
    if (handler) handler(frequencyHz, durationMs);
}

BeepHandler SetBeepHandler(BeepHandler handler) {
    std::lock_guard lock(g_mutex);
    return std::exchange(g_handler, std::move(handler));
}

}  // namespace platform
