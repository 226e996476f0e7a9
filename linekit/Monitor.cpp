// The monitor thread of an open connection and the trace record writer.
// The thread receives everything the adapter sends: responses go to the
// program through the response block and its two events; trace indications
// become D-channel records appended to the capture file.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "linekit/Internal.h"
#include "platform/Beep.h"
#include "platform/File.h"

namespace linekit {
namespace {

// Library-wide record sequence number; the first record written is 1.
std::atomic<std::uint16_t> g_sequence{1};

// What the record writer has done for one connection. Written by the
// monitor thread only; read by TpxGetCaptureStatus on any thread.
struct CaptureCounters {
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> lost{0};
    std::atomic<std::uint32_t> tooLong{0};
    std::atomic<std::uint32_t> writeError{0};
    std::atomic<bool> running{true};
    std::atomic<std::uint32_t> readError{0};
};

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
    CaptureCounters counters;
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

// The monitor thread's own state of its capture file.
struct RecordWriter {
    bool started = false;       // end is known
    std::int64_t end = 0;       // length of the file up to its last whole record
    std::vector<std::uint8_t> record;  // the record being written, its memory reused
};

// The record's time of day from the host clock, to the hundredth: every
// frame of a call setup gets its own time, and layer 2 timers can be read
// from a trace.
void StampTime(RecordHeader& record) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    record.hour = static_cast<std::uint8_t>(local.tm_hour);
    record.minute = static_cast<std::uint8_t>(local.tm_min);
    record.second = static_cast<std::uint8_t>(local.tm_sec);
    record.hundredths = static_cast<std::uint8_t>(now.tv_nsec / 10'000'000);
}

// Writes the whole record with one write. A failed or short write cuts the
// file back to its last whole record and gives the error; the caller then
// writes no more records (a record after a hole would be unreachable).
int AppendRecord(int fd, RecordWriter& writer, std::span<const std::uint8_t> record) {
    if (!writer.started) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return errno;
        writer.end = st.st_size;
        writer.started = true;
    }
    ssize_t n = 0;
    do {
        n = ::write(fd, record.data(), record.size());
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(record.size())) {
        writer.end += n;
        return 0;
    }
    int error = n < 0 ? errno : 0;
    if (error == 0) {
        // Short: the rest tells why (ENOSPC, EFBIG); should it go through
        // after all, the record is whole.
        const ssize_t rest = ::write(fd, record.data() + n, record.size() - static_cast<std::size_t>(n));
        if (rest == static_cast<ssize_t>(record.size()) - n) {
            writer.end += static_cast<std::int64_t>(record.size());
            return 0;
        }
        error = rest < 0 ? errno : ENOSPC;
    }
    if (::ftruncate(fd, static_cast<off_t>(writer.end)) == 0) ::lseek(fd, static_cast<off_t>(writer.end), SEEK_SET);
    return error;
}

void WriteTraceRecord(std::intptr_t captureFile, std::span<const std::uint8_t> message, std::size_t headerLength,
                      RecordWriter& writer, CaptureCounters& counters) {
    if (captureFile <= 0) return;
    if (counters.writeError.load() != 0) {
        counters.lost.fetch_add(1);
        return;
    }
    const std::span<const std::uint8_t> data = message.subspan(std::min(headerLength, message.size()));
    // A longer frame would make the whole log unreadable: it is not
    // written, but counted, so the loss is said.
    if (data.size() > kMaxDChannelData) {
        counters.tooLong.fetch_add(1);
        counters.lost.fetch_add(1);
        return;
    }
    const FieldReader header = Little(message.first(std::min(headerLength, message.size())));
    const std::uint32_t address = header.U32(TPX_HEADER_ADDRESS_OFFSET).value_or(0);

    RecordHeader fields;
    fields.sequence = g_sequence.fetch_add(1);
    StampTime(fields);
    fields.bChannel = BChannelOf(address);
    fields.ln = LnOf(address);
    fields.flags = header.U8(TPX_HEADER_FLAGS_OFFSET).value_or(0);
    WriteDChannelRecord(writer.record, fields, data);

    if (const int error = AppendRecord(static_cast<int>(captureFile), writer, writer.record)) {
        counters.writeError.store(static_cast<std::uint32_t>(error));
        counters.lost.fetch_add(1);
        return;
    }
    counters.written.fetch_add(1);
}

void RunMonitor(Monitor* monitor) {
    TpxResponseBlock& response = *monitor->response;
    const platform::EventHandle responseEvent = ToEvent(response.responseEvent);
    const platform::EventHandle ackEvent = ToEvent(response.ackEvent);
    const platform::EventHandle traceAck = monitor->driverEvent ? monitor->driverEvent.Get() : ackEvent;
    RecordWriter writer;
    std::vector<std::uint8_t> copy;  // the message read, its memory reused
    for (;;) {
        std::uint16_t headerLength = 0;
        std::uint16_t dataLength = 0;
        void* raw = nullptr;
        if (const std::uint32_t failed = TpxRead(monitor->device, monitor->clientId, monitor->connectionId,
                                                 &headerLength, &dataLength, &raw)) {
            monitor->counters.readError.store(failed);
            break;
        }
        const auto* bytes = static_cast<const std::uint8_t*>(raw);
        copy.assign(bytes, bytes + headerLength + dataLength);
        std::free(raw);

        const bool trace = Little(copy).U32(TPX_HEADER_OPCODE_OFFSET) == TPX_OP_TRACE_INDICATION;
        if (trace) WriteTraceRecord(response.captureFile, copy, headerLength, writer, monitor->counters);
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
    monitor->counters.running.store(false);
    platform::Beep(800, 100);
}

}  // namespace

void StartMonitor(TpxConnection& connection) {
    auto monitor = std::make_unique<Monitor>();
    monitor->device = connection.device;
    monitor->clientId = connection.clientId;
    monitor->connectionId = connection.connectionId;
    monitor->response = connection.response;
    monitor->driverEvent.Reset(platform::OpenEvent(TPX_DRIVER_EVENT_NAME));
    monitor->stop.Reset(platform::CreateEvent({}, false));
    Monitor* raw = monitor.get();
    Registry& registry = Monitors();
    std::lock_guard lock(registry.mutex);
    monitor->thread = std::thread(RunMonitor, raw);
    registry.monitors.push_back(std::move(monitor));
}

std::uint32_t GetCaptureStatus(TpxHandle device, std::uint32_t connectionId, TpxCaptureStatus& status) {
    Registry& registry = Monitors();
    std::lock_guard lock(registry.mutex);
    for (const auto& monitor : registry.monitors) {
        if (monitor->device != device || monitor->connectionId != connectionId) continue;
        const CaptureCounters& c = monitor->counters;
        status = TpxCaptureStatus{};
        status.running = c.running.load() ? 1 : 0;
        status.readError = c.readError.load();
        status.writeError = c.writeError.load();
        status.recordsWritten = c.written.load();
        status.recordsLost = c.lost.load();
        status.framesTooLong = c.tooLong.load();
        return 0;
    }
    return TPX_ERROR_INVALID_HANDLE;
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
