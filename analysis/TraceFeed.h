#pragma once
// Hands the D-channel records of a CTraceLog to an analyser. The same calls
// serve a loaded file (all records) and a live capture (each new record).
// User-interface thread, like the CTraceLog.

#include <cstdint>
#include <optional>

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

}  // namespace analysis
