// The live reader of CTraceLog: a thread at low priority that follows the
// trace log file while the adapter library appends to it, and hands every
// complete, well-framed record to the user-interface thread, in batches of
// whatever the file holds beyond the last one.

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

#include "platform/File.h"
#include "trace/TraceLog.h"

namespace trace {
namespace {

// Reads up to n bytes at offset; how many it got (0 at the end of the file).
std::size_t ReadUpTo(int fd, std::uint8_t* out, std::size_t n, std::int64_t offset) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

enum class Pass { Delivered, Skipped, NothingNew };

// One pass over the file at position pos: reads a chunk and frames every
// whole record in it, skipping whatever the framing rules reject, as far as
// the last whole record (a record still being written is picked up by a
// later pass). pos moves past what was framed or skipped.
Pass ReadOnePass(int fd, std::int64_t& pos, TraceReaderParams& params) {
    if (pos == 0) {
        std::array<std::uint8_t, tracefile::kFileHeaderSize> header;
        if (ReadUpTo(fd, header.data(), header.size(), 0) < header.size()) return Pass::NothingNew;
        pos = tracefile::kFileHeaderSize;
    }
    params.chunk.resize(kReaderChunkBytes);
    params.records.clear();
    const std::size_t got = ReadUpTo(fd, params.chunk.data(), params.chunk.size(), pos);
    const std::uint8_t* bytes = params.chunk.data();
    std::size_t at = 0;
    bool skipped = false;
    while (got - at >= tracefile::kRecordHeaderSize) {
        using HeaderBytes = std::span<const std::uint8_t, tracefile::kRecordHeaderSize>;
        if (tracefile::CheckRecordHeader(HeaderBytes(bytes + at, tracefile::kRecordHeaderSize)) != tracefile::HeaderCheck::Ok) {
            at += tracefile::kRecordHeaderSize;  // garbage: skip these 16 bytes, look at the next 16
            skipped = true;
            continue;
        }
        const std::uint32_t length = tracefile::ReadU32({bytes + at, 4}, 0);
        if (got - at < length) break;  // body still being written, or beyond this chunk
        const std::span<const std::uint8_t> record(bytes + at, length);
        at += length;
        if (tracefile::CheckRecordBody(record) != tracefile::BodyCheck::Ok) {  // wrong trailer, inconsistent, or types 4-6
            skipped = true;
            continue;
        }
        params.records.push_back({static_cast<std::uint32_t>(at - length), length, pos + static_cast<std::int64_t>(at)});
    }
    pos += static_cast<std::int64_t>(at);
    if (!params.records.empty()) return Pass::Delivered;
    return skipped ? Pass::Skipped : Pass::NothingNew;
}

void ReaderThread(TraceReaderParams* params) {
    // The process's own priority, not a lowered one: the reader reads a
    // batch with one call and frames it in a fraction of a millisecond, so it
    // takes nothing from the user-interface thread, and it costs nothing
    // while the line is quiet. At the lowest priority it got so little of a
    // busy machine's time that the card's writer ran ahead of it, and every
    // stop waited for the backlog.
    int error = 0;
    platform::UniqueFd fd = platform::OpenForReading(params->logPath, &error);
    std::int64_t pos = 0;
    while (platform::WaitForEvent(params->stopEvent, 0) != platform::kWaitObject0) {
        const Pass pass = fd ? ReadOnePass(fd.Get(), pos, *params) : Pass::NothingNew;
        if (pass == Pass::NothingNew) {
            // Draining: the writer has stopped, so the end of the file is
            // the end of the trace.
            if (params->drain.load(std::memory_order_acquire)) break;
            // Wait for the file to grow, but never longer than the stop
            // event allows: stopping stays prompt and no time is spun away.
            platform::WaitForEvent(params->stopEvent, kReaderIdleWaitMs);
            continue;
        }
        if (pass != Pass::Delivered) continue;
        platform::ResetEvent(params->ackEvent);
        params->pending.store(true, std::memory_order_release);
        // While draining, the stopping thread takes the records itself; a
        // post would only queue a message nobody needs.
        if (!params->drain.load(std::memory_order_acquire)) params->target->PostTraceRecord(params);
        platform::SetEvent(params->postedEvent);
        const std::array events = {params->ackEvent, params->stopEvent};
        platform::WaitForAnyEvent(events, platform::kInfinite);
        platform::ResetEvent(params->ackEvent);
    }
    platform::SetEvent(params->stoppedEvent);
}

}  // namespace

int CTraceLog::StartReader() {
    if (m_running) return 1;  // one reader per log at a time
    m_logPath = GetLogPath();
    m_params.stoppedEvent = m_stoppedEvent.Get();
    m_params.stopEvent = m_stopEvent.Get();
    m_params.ackEvent = m_ackEvent.Get();
    m_params.target = m_target;
    m_params.logPath = m_logPath;
    m_params.postedEvent = m_postedEvent.Get();
    m_params.pending.store(false);  // a record of an earlier reader nobody took is not this trace's
    m_params.drain.store(false);
    m_reader = std::thread(ReaderThread, &m_params);
    m_running = 1;
    return 1;
}

int CTraceLog::StopReader(const std::function<bool(TraceReaderParams&)>& drain) {
    if (m_running && drain) {
        // Hand over every record still in the file, here on the calling
        // thread: a batch posted before the drain began and not yet handled,
        // then each the reader finds until the end of the file, unless drain
        // says to stop taking them.
        m_params.drain.store(true, std::memory_order_release);
        const std::array events = {m_stoppedEvent.Get(), m_postedEvent.Get()};
        for (;;) {
            if (HasDelivered(m_params)) {
                // Consumes and releases it; the reader may at once deliver the next.
                if (!drain(m_params)) break;
                continue;
            }
            if (platform::WaitForAnyEvent(events, platform::kInfinite) == platform::kWaitObject0) {
                if (HasDelivered(m_params)) continue;  // its last batch came just before it ended
                break;
            }
            platform::ResetEvent(m_postedEvent.Get());
        }
    }
    if (m_running) {
        platform::SetEvent(m_stopEvent.Get());
        platform::SetEvent(m_ackEvent.Get());  // wakes a reader waiting for its acknowledgement
        platform::WaitForEvent(m_stoppedEvent.Get(), platform::kInfinite);
        m_reader.join();
        m_running = 0;
    }
    platform::ResetEvent(m_ackEvent.Get());
    platform::ResetEvent(m_stopEvent.Get());
    platform::ResetEvent(m_stoppedEvent.Get());
    platform::ResetEvent(m_postedEvent.Get());
    m_params.drain.store(false);
    return 1;
}

int CTraceLog::AddReaderRecords(const TraceReaderParams& params, const std::function<void(int)>& added) {
    int count = 0;
    for (const TraceReaderParams::Delivered& record : params.records) {
        if (record.length < tracefile::kMinRecordLength || record.length > tracefile::kMaxRecordLength ||
            std::size_t{record.offset} + record.length > params.chunk.size())
            continue;
        const int index = AddRawRecord({params.chunk.data() + record.offset, record.length});
        if (index < 0) continue;
        m_readerRecordEnd = record.fileEnd;
        ++count;
        if (added) added(index);
    }
    return count;
}

}  // namespace trace
