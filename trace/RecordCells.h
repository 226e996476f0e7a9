#pragma once
// The thirteen cells of a record-list row, exactly as the list pane draws
// them; the Qt list model and `trctool dump` both use these.

#include <array>
#include <string>
#include <string_view>

namespace trace {

class CTraceLog;

enum class Column { Seq, Timestamp, B, LN, Mod, Source, Address, FrameType, PollFinal, NS, NR, CallRef, Message };
inline constexpr int kColumnCount = static_cast<int>(Column::Message) + 1;

struct ColumnHeading {
    std::string_view heading;
    int width;  // pixels
};
inline constexpr std::array<ColumnHeading, kColumnCount> kColumns = {{
    {"Seq #", 45}, {"Timestamp", 75}, {"B", 20}, {"LN", 40}, {"MOD", 50}, {"Source", 50}, {"Address", 70},
    {"FTYP", 50}, {"P", 20}, {"NS", 40}, {"NR", 40}, {"CRV", 60}, {"Message", 250},
}};

// The text of one cell of record `index` (empty for an index out of range
// in the text columns; numbers print the accessors' neutral 0).
std::string CellText(const CTraceLog& log, int index, Column column);

}  // namespace trace
