#pragma once
// Manual-reset events, named or not, shared by every thread of the process.
// A named event is found again by its name (create-or-open, open-only) until
// its last handle is closed. Every create or open gives a new handle; a
// closed or unknown handle is refused (never dereferenced), so a late call
// with a stale handle fails instead of touching freed memory.
// Handles are opaque pointer-sized values, so they travel through the C API
// of linekit in its handle fields unchanged.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Win32Error.h"

namespace platform {

struct EventTag;
using EventHandle = EventTag*;

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;  // wait without limit
inline constexpr std::uint32_t kWaitObject0 = 0;         // first handle signalled
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

// Creates a manual-reset event, or opens the existing event of that name (an
// empty name makes an unnamed event). *existed tells which happened.
EventHandle CreateEvent(std::string_view name, bool initiallySet, bool* existed = nullptr);

// Opens an existing named event; null when no event has that name.
EventHandle OpenEvent(std::string_view name);

// The name the event was created with ("" for an unnamed event), so a
// library can tell whether a handle it was given is the named event it
// relies on; nullopt for an invalid handle.
std::optional<std::string> EventName(EventHandle event);

// Returns false for an invalid handle.
bool SetEvent(EventHandle event);
bool ResetEvent(EventHandle event);
bool CloseEvent(EventHandle event);

// Waits until the event is set: kWaitObject0, kWaitTimeout, or kWaitFailed for
// an invalid handle. Milliseconds, kInfinite for no limit. A manual-reset event
// stays set, so the wait does not consume it.
std::uint32_t WaitForEvent(EventHandle event, std::uint32_t timeoutMs);

// Waits for the first of several events: kWaitObject0 + index of the lowest
// set one, kWaitTimeout, or kWaitFailed (an invalid handle, or none given).
std::uint32_t WaitForAnyEvent(std::span<const EventHandle> events, std::uint32_t timeoutMs);

// Move-only owner of an event handle; closes it when destroyed.
class UniqueEvent {
public:
    UniqueEvent() = default;
    explicit UniqueEvent(EventHandle event) : m_event(event) {}
    ~UniqueEvent() { Reset(); }
    UniqueEvent(UniqueEvent&& other) noexcept : m_event(other.Release()) {}
    UniqueEvent& operator=(UniqueEvent&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueEvent(const UniqueEvent&) = delete;
    UniqueEvent& operator=(const UniqueEvent&) = delete;

    EventHandle Get() const { return m_event; }
    explicit operator bool() const { return m_event != nullptr; }
    EventHandle Release() {
        EventHandle event = m_event;
        m_event = nullptr;
        return event;
    }
    void Reset(EventHandle event = nullptr) {
        if (m_event != nullptr) CloseEvent(m_event);
        m_event = event;
    }

private:
    EventHandle m_event = nullptr;
};

#ifdef MARLOTRC_TESTING
// Number of open event handles in the process, for leak checks
// (libmarloplatform-testing.so only).
std::size_t OpenEventHandleCount();
#endif

}  // namespace platform
