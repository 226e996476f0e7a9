#pragma once
// Hands the D-channel records of a CTraceLog to an analyser. The same calls
// serve a loaded file (all records) and a live capture (each new record).
// User-interface thread, like the CTraceLog.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Analysis.h"

namespace trace {
class CTraceLog;
}

namespace analysis {

// The frame of record `index`, or nullopt when it is no D-channel record.
std::optional<FrameInput> FrameOfRecord(const trace::CTraceLog& log, std::uint32_t index);

// Feeds records [from, count), or only the first `limit` of them when limit
// is not negative, and answers the index behind the last one fed, to pass as
// the next `from`.
int FeedRecords(Analyzer& analyzer, const trace::CTraceLog& log, int from, int limit = -1);

// A record named as the user finds it by eye: the Seq # that the record list
// and `trctool dump` show ("215"), and where that number stands on more than
// one record of the trace (the numbers wrapped, or two adapters wrote to one
// log) its time of day too ("215 (10:30:15.50)"). Counts the numbers of the
// records it has not seen yet each time it names one, so it follows a trace
// that grows; a trace that starts over is counted again.
class RecordNames {
public:
    std::string Name(const trace::CTraceLog& log, std::uint32_t record);

private:
    void Count(const trace::CTraceLog& log);

    std::vector<std::uint8_t> m_uses;  // per sequence number: 0, 1, or 2 for more than one
    int m_counted = 0;
};

}  // namespace analysis
