#pragma once
// A record target for a user-interface thread that is a plain loop (trctool,
// tests): the reader thread queues each posted block, the loop takes them
// one by one and hands them to the document.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "trace/TraceReader.h"

namespace trace {

class RecordQueue : public RecordTarget {
public:
    void PostTraceRecord(TraceReaderParams* params) override {
        {
            std::lock_guard lock(m_mutex);
            m_posted.push_back(params);
        }
        m_changed.notify_all();
    }

    // The next posted block, waiting at most `wait` for one.
    std::optional<TraceReaderParams*> Next(std::chrono::milliseconds wait) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, wait, [&] { return !m_posted.empty(); })) return std::nullopt;
        TraceReaderParams* params = m_posted.front();
        m_posted.pop_front();
        return params;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<TraceReaderParams*> m_posted;
};

}  // namespace trace
