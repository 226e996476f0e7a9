#pragma once
// The live reader's shared block and the hand-over of one record from the
// reader thread to the user-interface thread. The reader thread and the
// user-interface thread share exactly this block and the record buffer it
// points to; the ack/stop/stopped events order every access (no locks).

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Event.h"

namespace trace {

class RecordTarget;

struct TraceReaderParams {
    platform::EventHandle stoppedEvent = nullptr;  // set by the thread when it ends
    platform::EventHandle stopEvent = nullptr;     // the thread ends when it finds it set
    platform::EventHandle ackEvent = nullptr;      // set by the UI thread after consuming a record
    RecordTarget* target = nullptr;                // receives each complete record
    std::string logPath;                           // the file the thread follows
    std::uint8_t* recordBuffer = nullptr;          // the CTraceLog's 5000-byte buffer
    const std::uint8_t* data = nullptr;            // first data byte of the delivered record
    std::int64_t recordEnd = 0;                    // file offset just behind the delivered record
    // Set by the thread when it hands a record over, cleared by whoever
    // consumes it (TakeDelivered). A posted message that finds it clear was
    // already consumed while the reader drained, and is stale.
    std::atomic<bool> pending{false};
    // Set by the thread after every post; StopReader's drain waits on it.
    platform::EventHandle postedEvent = nullptr;
    // Set by StopReader's drain: the thread ends at the end of the file
    // instead of waiting for it to grow.
    std::atomic<bool> drain{false};
};

// Receives the records the reader thread finds. PostTraceRecord is called on
// the reader thread and must only queue the handling onto the user-interface
// thread and return; the handler there builds the record from the block
// (the document's OnTraceRecord) and sets the ack event as its last step.
// The desktop program's record list view queues a call on the Qt event loop;
// tests and trctool pump a queue of their own.
class RecordTarget {
public:
    virtual ~RecordTarget() = default;
    virtual void PostTraceRecord(TraceReaderParams* params) = 0;
};

// Whether the block holds a record nobody consumed yet. The consumer reads
// the record, then calls ReleaseDelivered, which clears the flag and sets the
// ack event; a stale message (already consumed) must neither read nor ack.
inline bool HasDelivered(const TraceReaderParams& params) { return params.pending.load(std::memory_order_acquire); }
inline void ReleaseDelivered(TraceReaderParams& params) {
    params.pending.store(false, std::memory_order_release);
    platform::SetEvent(params.ackEvent);
}

// Milliseconds the reader waits for the file to grow before looking again,
// while watching the stop event: records arrive within this time of their
// last byte, and a quiet line costs almost no processor time.
inline constexpr std::uint32_t kReaderIdleWaitMs = 10;

}  // namespace trace
