#pragma once
// Test support: a record target that queues what the reader thread posts, so
// the test thread plays the user-interface thread and pumps the queue.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "trace/TraceReader.h"

namespace testsupport {

class QueueTarget : public trace::RecordTarget {
public:
    void PostTraceRecord(trace::TraceReaderParams* params) override {
        {
            std::lock_guard lock(m_mutex);
            m_posted.push_back(params);
        }
        m_changed.notify_all();
    }

    // The next posted block; nullopt if none arrives within the hang guard.
    std::optional<trace::TraceReaderParams*> Next(std::chrono::milliseconds guard = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, guard, [&] { return !m_posted.empty(); })) return std::nullopt;
        trace::TraceReaderParams* params = m_posted.front();
        m_posted.pop_front();
        return params;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<trace::TraceReaderParams*> m_posted;
};

}  // namespace testsupport
