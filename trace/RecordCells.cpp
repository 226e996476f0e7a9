#include "trace/RecordCells.h"

#include <cstdio>

#include "trace/TraceLog.h"

namespace trace {

std::string CellText(const CTraceLog& log, int index, Column column) {
    char text[48];
    switch (column) {
        case Column::Seq:
            std::snprintf(text, sizeof text, "%03d", log.GetSequence(index));
            return text;
        case Column::Timestamp:
            std::snprintf(text, sizeof text, "  %.2d:%.2d:%.2d.%.2d", log.GetHours(index), log.GetMinutes(index),
                          log.GetSeconds(index), log.GetHundredths(index));
            return text;
        case Column::B:
            std::snprintf(text, sizeof text, "%2d", log.GetBNumber(index));
            return text;
        case Column::LN:
            std::snprintf(text, sizeof text, "%2d", log.GetLNNumber(index));
            return text;
        case Column::Mod: return log.GetMnemonic(index);
        case Column::Source: return log.GetSource(index);
        case Column::Address: return log.GetAddress(index);
        case Column::FrameType: return log.GetFrameType(index);
        case Column::PollFinal: return log.GetPollFinal(index);
        case Column::NS: return log.GetNS(index);
        case Column::NR: return log.GetNR(index);
        case Column::CallRef: return log.GetCallReference(index);
        case Column::Message: return log.GetMessage(index);
    }
    return {};
}

}  // namespace trace
