// The monitor thread of an open connection and the trace record writer.
// The thread receives everything the adapter sends: responses go to the
// program through the response block and its two events; trace indications
// become D-channel records appended to the capture file.

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "linekit/Internal.h"
#include "platform/Beep.h"
#include "platform/File.h"

namespace linekit {
namespace {

constexpr char kDriverEventName[] = "MarloDriverEvent";

// Library-wide record sequence number; the first record written is 1.
std::atomic<std::uint16_t> g_sequence{1};

// One running monitor thread. The thread reads the connection's ids once at
// its start; the response block and events are the program's and stay valid
// until TpxUnregister has waited for the thread.
struct Monitor {
    TpxHandle device = nullptr;
    std::uint32_t clientId = 0;
    std::uint32_t connectionId = 0;
    TpxResponseBlock* response = nullptr;
    platform::UniqueEvent driverEvent;  // "MarloDriverEvent" opened by name, or null
    platform::UniqueEvent stop;         // set once the device is closed
    std::thread thread;
};

// The running monitors, guarded by mutex. Never destroyed: a monitor still
// running at process exit must not meet a destroyed registry.
struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<Monitor>> monitors;
};
Registry& Monitors() {
    static Registry* registry = new Registry;
    return *registry;
}

// Only one response can be in flight in the process, since every connection
// uses the program's two named events. A monitor thread holds this slot from
// storing a message until it has seen the acknowledgement and reset it, so no
// other monitor thread resets or sets the events in between: without it, one
// thread resetting the acknowledgement before another has woken from it loses
// that wake-up, and one thread's acknowledgement could release another's
// response while the program still reads it. Waiting for the slot ends when
// the waiter's device is closed.
class ResponseSlot {
public:
    ResponseSlot() : m_free(platform::CreateEvent({}, true)) {}
    bool Acquire(platform::EventHandle stop) {
        const platform::EventHandle waits[2] = {stop, m_free};
        for (;;) {
            if (platform::WaitForAnyEvent(waits, platform::kInfinite) != platform::kWaitObject0 + 1) return false;
            std::lock_guard lock(m_mutex);
            if (!m_busy) {
                m_busy = true;
                platform::ResetEvent(m_free);
                return true;
            }
        }
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_busy = false;
        platform::SetEvent(m_free);
    }

private:
    std::mutex m_mutex;
    bool m_busy = false;  // guarded by m_mutex
    const platform::EventHandle m_free;  // set while nobody holds the slot
};
ResponseSlot& Slot() {
    static ResponseSlot* slot = new ResponseSlot;  // never destroyed, like the registry
    return *slot;
}

void WriteTraceRecord(std::intptr_t captureFile, std::span<const std::uint8_t> message,
                      std::size_t headerLength) {
    if (captureFile <= 0) return;
    const std::span<const std::uint8_t> data = message.subspan(std::min(headerLength, message.size()));
    // A longer frame would make the whole log unreadable; no card sends one.
    if (data.size() > kMaxDChannelData) return;
    const FieldReader header = Little(message.first(std::min(headerLength, message.size())));
    const std::uint32_t address = header.U32(TPX_HEADER_ADDRESS_OFFSET).value_or(0);

    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);

    DChannelHeader record;
    record.sequence = g_sequence.fetch_add(1);
    record.hour = static_cast<std::uint8_t>(local.tm_hour);
    record.minute = static_cast<std::uint8_t>(local.tm_min);
    record.second = static_cast<std::uint8_t>(local.tm_sec);
    record.bChannel = BChannelOf(address);
    record.ln = LnOf(address);
    record.flags = header.U8(TPX_HEADER_FLAGS_OFFSET).value_or(0);
    const auto n = static_cast<std::uint32_t>(data.size());

    // Three writes, as the live reader expects them; write errors are not
    // reported (the monitor thread has nobody to tell).
    const int fd = static_cast<int>(captureFile);
    platform::WriteAll(fd, DChannelHeaderBytes(record, n));
    platform::WriteAll(fd, data);
    platform::WriteAll(fd, DChannelTrailerBytes(n));
}

void RunMonitor(Monitor* monitor) {
    TpxResponseBlock& response = *monitor->response;
    const platform::EventHandle responseEvent = ToEvent(response.responseEvent);
    const platform::EventHandle ackEvent = ToEvent(response.ackEvent);
    const platform::EventHandle traceAck = monitor->driverEvent ? monitor->driverEvent.Get() : ackEvent;
    for (;;) {
        std::uint16_t headerLength = 0;
        std::uint16_t dataLength = 0;
        void* raw = nullptr;
        if (TpxRead(monitor->device, monitor->clientId, monitor->connectionId, &headerLength, &dataLength,
                    &raw) != 0)
            break;
        const auto* bytes = static_cast<const std::uint8_t*>(raw);
        const std::vector<std::uint8_t> copy(bytes, bytes + headerLength + dataLength);
        std::free(raw);

        const bool trace = Little(copy).U32(TPX_HEADER_OPCODE_OFFSET) == TPX_OP_TRACE_INDICATION;
        if (trace) WriteTraceRecord(response.captureFile, copy, headerLength);
        if (!Slot().Acquire(monitor->stop.Get())) break;  // device closed meanwhile
        if (trace) {
            platform::SetEvent(traceAck);
        } else {
            // An acknowledgement left over from an earlier wait that timed out
            // must not release this response before the program has read it.
            platform::ResetEvent(ackEvent);
            response.headerLength = headerLength;
            response.dataLength = dataLength;
            response.message = copy.data();
            platform::SetEvent(responseEvent);
        }
        const platform::EventHandle waits[2] = {ackEvent, monitor->stop.Get()};
        const std::uint32_t woken = platform::WaitForAnyEvent(waits, platform::kInfinite);
        if (woken == platform::kWaitObject0) platform::ResetEvent(ackEvent);
        if (!trace) response.message = nullptr;
        Slot().Release();
        if (woken != platform::kWaitObject0) break;  // device closed, or the events are gone
    }
    platform::Beep(800, 100);
}

}  // namespace

void StartMonitor(TpxConnection& connection) {
    auto monitor = std::make_unique<Monitor>();
    monitor->device = connection.device;
    monitor->clientId = connection.clientId;
    monitor->connectionId = connection.connectionId;
    monitor->response = connection.response;
    monitor->driverEvent.Reset(platform::OpenEvent(kDriverEventName));
    monitor->stop.Reset(platform::CreateEvent({}, false));
    Monitor* raw = monitor.get();
    Registry& registry = Monitors();
    std::lock_guard lock(registry.mutex);
    monitor->thread = std::thread(RunMonitor, raw);
    registry.monitors.push_back(std::move(monitor));
}

void StopMonitors(TpxHandle device) {
    std::vector<std::unique_ptr<Monitor>> stopping;
    {
        Registry& registry = Monitors();
        std::lock_guard lock(registry.mutex);
        auto& all = registry.monitors;
        for (auto it = all.begin(); it != all.end();) {
            if ((*it)->device == device) {
                stopping.push_back(std::move(*it));
                it = all.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& monitor : stopping) {
        platform::SetEvent(monitor->stop.Get());
        if (monitor->thread.joinable() && monitor->thread.get_id() != std::this_thread::get_id())
            monitor->thread.join();
        else if (monitor->thread.joinable()) {
            monitor->thread.detach();  // never reached: no export runs on a monitor thread
            monitor.release();         // the detached thread still uses it
        }
    }  // the joined monitors go here, their events with them
}

}  // namespace linekit
