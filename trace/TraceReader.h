#pragma once
// The live reader's shared block and the hand-over of records from the
// reader thread to the user-interface thread, a batch at a time: every whole
// record the file holds beyond the last batch, up to a large chunk. The
// reader thread and the user-interface thread share exactly this block and
// the batch it holds; the ack/stop/stopped events order every access (no
// locks).

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Event.h"

namespace trace {

class RecordTarget;

struct TraceReaderParams {
    platform::EventHandle stoppedEvent = nullptr;  // set by the thread when it ends
    platform::EventHandle stopEvent = nullptr;     // the thread ends when it finds it set
    platform::EventHandle ackEvent = nullptr;      // set by the UI thread after consuming a record
    RecordTarget* target = nullptr;                // receives each batch of complete records
    std::string logPath;                           // the file the thread follows
    // The batch: the file's bytes as read (a chunk), and where in them each
    // well-framed record lies, in file order.
    struct Delivered {
        std::uint32_t offset = 0;  // in chunk
        std::uint32_t length = 0;  // the whole record, header and trailer included
        std::int64_t fileEnd = 0;  // file offset just behind the record
    };
    std::vector<std::uint8_t> chunk;
    std::vector<Delivered> records;
    // Set by the thread when it hands a batch over, cleared by whoever
    // consumes it (ReleaseDelivered). A posted message that finds it clear was
    // already consumed while the reader drained, and is stale.
    std::atomic<bool> pending{false};
    // Set by the thread after every post; StopReader's drain waits on it.
    platform::EventHandle postedEvent = nullptr;
    // Set by StopReader's drain: the thread ends at the end of the file
    // instead of waiting for it to grow.
    std::atomic<bool> drain{false};
};

// Receives the batches the reader thread finds. PostTraceRecord is called on
// the reader thread and must only queue the handling onto the user-interface
// thread and return; the handler there builds the batch's records from the
// block (the document's OnTraceRecord) and sets the ack event as its last step.
// The desktop program's record list view queues a call on the Qt event loop;
// tests and trctool pump a queue of their own.
class RecordTarget {
public:
    virtual ~RecordTarget() = default;
    virtual void PostTraceRecord(TraceReaderParams* params) = 0;
};

// Whether the block holds a batch nobody consumed yet. The consumer reads
// its records, then calls ReleaseDelivered, which clears the flag and sets the
// ack event; a stale message (already consumed) must neither read nor ack.
inline bool HasDelivered(const TraceReaderParams& params) { return params.pending.load(std::memory_order_acquire); }
inline void ReleaseDelivered(TraceReaderParams& params) {
    params.pending.store(false, std::memory_order_release);
    platform::SetEvent(params.ackEvent);
}

// The most the reader reads from the file for one batch: tens of thousands
// of records, which the user-interface thread takes in a few milliseconds.
inline constexpr std::size_t kReaderChunkBytes = std::size_t{1} << 20;

// Milliseconds the reader waits for the file to grow before looking again,
// while watching the stop event: records arrive within this time of their
// last byte, and a quiet line costs almost no processor time.
inline constexpr std::uint32_t kReaderIdleWaitMs = 10;

}  // namespace trace
