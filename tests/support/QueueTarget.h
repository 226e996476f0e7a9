#pragma once
// Test support: the test thread plays the user-interface thread and pumps
// the records the reader posts.

#include <chrono>

#include "trace/RecordQueue.h"

namespace testsupport {

class QueueTarget : public trace::RecordQueue {
public:
    // The next posted block; nullopt if none arrives within the hang guard.
    std::optional<trace::TraceReaderParams*> Next(std::chrono::milliseconds guard = std::chrono::seconds(10)) {
        return RecordQueue::Next(guard);
    }
};

}  // namespace testsupport
