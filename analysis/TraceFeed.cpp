#include "analysis/TraceFeed.h"

#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace analysis {

std::optional<FrameInput> FrameOfRecord(const trace::CTraceLog& log, std::uint32_t index) {
    const std::optional<trace::CTraceRecord> record = log.GetRecord(static_cast<int>(index));
    if (!record || record->GetMnemonic() != "DCH") return std::nullopt;
    FrameInput in;
    in.record = index;
    in.time = record->GetTimeOfDay();
    in.sender = record->IsFromNetworkSide() ? Side::NT : Side::TE;
    in.frame = record->GetData();
    return in;
}

int FeedRecords(Analyzer& analyzer, const trace::CTraceLog& log, int from, int limit) {
    if (from < 0) from = 0;
    int count = log.GetRecordCount();
    if (limit >= 0 && count - from > limit) count = from + limit;
    for (int i = from; i < count; ++i) {
        if (const auto in = FrameOfRecord(log, static_cast<std::uint32_t>(i))) analyzer.Add(*in);
    }
    return count;
}

void RecordNames::Count(const trace::CTraceLog& log) {
    const int count = log.GetRecordCount();
    if (count < m_counted || m_uses.empty()) {
        m_uses.assign(65536, 0);
        m_counted = 0;
    }
    for (; m_counted < count; ++m_counted) {
        std::uint8_t& uses = m_uses[log.GetSequence(m_counted)];
        if (uses < 2) ++uses;
    }
}

std::string RecordNames::Name(const trace::CTraceLog& log, std::uint32_t record) {
    Count(log);
    const int index = static_cast<int>(record);
    std::string name = trace::CellText(log, index, trace::Column::Seq);
    if (index >= log.GetRecordCount() || m_uses[log.GetSequence(index)] < 2) return name;
    std::string time = trace::CellText(log, index, trace::Column::Timestamp);
    time.erase(0, time.find_first_not_of(' '));
    return name + " (" + time + ")";
}

}  // namespace analysis
