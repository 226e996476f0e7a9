#pragma once
// The live reader's shared block and the hand-over of one record from the
// reader thread to the user-interface thread. The reader thread and the
// user-interface thread share exactly this block and the record buffer it
// points to; the ack/stop/stopped events order every access (no locks).

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

// Milliseconds the reader waits for the file to grow before looking again,
// while watching the stop event: records arrive within this time of their
// last byte, and a quiet line costs almost no processor time.
inline constexpr std::uint32_t kReaderIdleWaitMs = 10;

}  // namespace trace
