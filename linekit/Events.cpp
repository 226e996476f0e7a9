// The event exports of linekit/tpx_event.h: the platform's process-wide
// events, offered to C programs so they can build a TpxResponseBlock.

#include <string_view>

#include "linekit/Internal.h"
#include "linekit/tpx_event.h"

using namespace linekit;

namespace {

TpxHandle ToHandle(platform::EventHandle event) { return static_cast<TpxHandle>(event); }

}  // namespace

extern "C" {

TPX_API uint32_t TpxCreateEvent(const char* name, int initiallySet, TpxHandle* event) {
    return Guarded([&]() -> std::uint32_t {
        if (!event) return TPX_ERROR_INVALID_PARAMETER;
        *event = nullptr;
        const std::string_view text = name ? std::string_view(name) : std::string_view();
        const platform::EventHandle created = platform::CreateEvent(text, initiallySet != 0);
        if (!created) return TPX_ERROR_NOT_ENOUGH_MEMORY;
        *event = ToHandle(created);
        return 0;
    });
}

TPX_API uint32_t TpxOpenEvent(const char* name, TpxHandle* event) {
    return Guarded([&]() -> std::uint32_t {
        if (!event) return TPX_ERROR_INVALID_PARAMETER;
        *event = nullptr;
        if (!name || *name == '\0') return TPX_ERROR_INVALID_PARAMETER;
        const platform::EventHandle opened = platform::OpenEvent(name);
        if (!opened) return TPX_ERROR_FILE_NOT_FOUND;
        *event = ToHandle(opened);
        return 0;
    });
}

TPX_API uint32_t TpxSetEvent(TpxHandle event) {
    return Guarded([&]() -> std::uint32_t {
        return platform::SetEvent(ToEvent(event)) ? 0 : TPX_ERROR_INVALID_HANDLE;
    });
}

TPX_API uint32_t TpxResetEvent(TpxHandle event) {
    return Guarded([&]() -> std::uint32_t {
        return platform::ResetEvent(ToEvent(event)) ? 0 : TPX_ERROR_INVALID_HANDLE;
    });
}

TPX_API uint32_t TpxWaitForEvent(TpxHandle event, uint32_t milliseconds) {
    return Guarded([&]() -> std::uint32_t {
        const std::uint32_t woken = platform::WaitForEvent(ToEvent(event), milliseconds);
        if (woken == platform::kWaitObject0) return TPX_WAIT_OBJECT_0;
        if (woken == platform::kWaitTimeout) return TPX_WAIT_TIMEOUT;
        return TPX_ERROR_INVALID_HANDLE;
    });
}

TPX_API uint32_t TpxCloseEvent(TpxHandle event) {
    return Guarded([&]() -> std::uint32_t {
        return platform::CloseEvent(ToEvent(event)) ? 0 : TPX_ERROR_INVALID_HANDLE;
    });
}

}  // extern "C"
