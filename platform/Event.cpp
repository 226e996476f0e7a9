#include "platform/Event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HandleTable.h"

namespace platform {
namespace {

// One thread blocked in a wait; every event it waits for lists it.
struct Waiter {
    std::condition_variable cv;
};

struct EventState {
    std::string name;  // empty: unnamed
    bool set = false;
    std::size_t handles = 0;  // open handles; the name dies with the last
    std::vector<Waiter*> waiters;
};

// One lock for every event of the process: waits for several events must see
// all of them at once, and events are set at most a few thousand times a second.
std::mutex g_mutex;
HandleTable<EventTag, EventState> g_handles;           // guarded by g_mutex
std::map<std::string, std::weak_ptr<EventState>> g_names;  // guarded by g_mutex

EventHandle AddHandle(const std::shared_ptr<EventState>& state) {
    ++state->handles;
    return g_handles.Add(state);
}

}  // namespace

EventHandle CreateEvent(std::string_view name, bool initiallySet, bool* existed) {
    std::lock_guard lock(g_mutex);
    if (!name.empty()) {
        auto it = g_names.find(std::string(name));
        if (it != g_names.end()) {
            if (auto state = it->second.lock()) {
                if (existed) *existed = true;
                return AddHandle(state);
            }
        }
    }
    if (existed) *existed = false;
    auto state = std::make_shared<EventState>();
    state->name = std::string(name);
    state->set = initiallySet;
    if (!name.empty()) g_names[state->name] = state;
    return AddHandle(state);
}

EventHandle OpenEvent(std::string_view name) {
    if (name.empty()) return nullptr;
    std::lock_guard lock(g_mutex);
    auto it = g_names.find(std::string(name));
    if (it == g_names.end()) return nullptr;
    auto state = it->second.lock();
    return state ? AddHandle(state) : nullptr;
}

std::optional<std::string> EventName(EventHandle event) {
    std::lock_guard lock(g_mutex);
    auto state = g_handles.Find(event);
    if (!state) return std::nullopt;
    return state->name;
}

bool SetEvent(EventHandle event) {
    std::lock_guard lock(g_mutex);
    auto state = g_handles.Find(event);
    if (!state) return false;
    state->set = true;
    for (Waiter* waiter : state->waiters) waiter->cv.notify_one();
    return true;
}

bool ResetEvent(EventHandle event) {
    std::lock_guard lock(g_mutex);
    auto state = g_handles.Find(event);
    if (!state) return false;
    state->set = false;
    return true;
}

bool CloseEvent(EventHandle event) {
    std::lock_guard lock(g_mutex);
    auto state = g_handles.Remove(event);
    if (!state) return false;
    if (--state->handles == 0 && !state->name.empty()) g_names.erase(state->name);
    return true;
}

std::uint32_t WaitForEvent(EventHandle event, std::uint32_t timeoutMs) {
    return WaitForAnyEvent(std::span<const EventHandle>(&event, 1), timeoutMs);
}

std::uint32_t WaitForAnyEvent(std::span<const EventHandle> events, std::uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(g_mutex);
    // The states are held for the whole wait, so closing a handle meanwhile
    // cannot free what this thread still looks at.
    std::vector<std::shared_ptr<EventState>> states;
    for (EventHandle event : events) {
        auto state = g_handles.Find(event);
        if (!state) return kWaitFailed;
        states.push_back(std::move(state));
    }
    if (states.empty()) return kWaitFailed;
    auto firstSet = [&states]() -> std::size_t {
        for (std::size_t i = 0; i < states.size(); ++i)
            if (states[i]->set) return i;
        return states.size();
    };
    if (std::size_t i = firstSet(); i < states.size()) return kWaitObject0 + static_cast<std::uint32_t>(i);
    if (timeoutMs == 0) return kWaitTimeout;

    Waiter waiter;
    for (auto& state : states) state->waiters.push_back(&waiter);
    auto anySet = [&] { return firstSet() < states.size(); };
    if (timeoutMs == kInfinite)
        waiter.cv.wait(lock, anySet);
    else
        waiter.cv.wait_until(lock, deadline, anySet);
    for (auto& state : states) std::erase(state->waiters, &waiter);

    const std::size_t i = firstSet();
    return i < states.size() ? kWaitObject0 + static_cast<std::uint32_t>(i) : kWaitTimeout;
}

#ifdef MARLOTRC_TESTING
std::size_t OpenEventHandleCount() {
    std::lock_guard lock(g_mutex);
    return g_handles.Size();
}
#endif

}  // namespace platform
