#pragma once
// Prints records as `trctool dump` and `trctool capture` show them: one line
// of thirteen tab-separated cells per record, then optionally its decode tree
// and its hex dump, each line indented. Control bytes and backslashes inside
// a cell are escaped, so one record is always one line.

#include <cstdio>
#include <string>
#include <string_view>

namespace trace {
class CTraceLog;
}

namespace tools {

struct PrintOptions {
    bool tree = false;
    bool hex = false;
};

// "\n" for a line feed, "\\" for a backslash, "\x01" for other bytes below 0x20.
std::string EscapeCell(std::string_view text);

std::string FormatRecordLine(const trace::CTraceLog& log, int index);
void PrintRecord(std::FILE* out, const trace::CTraceLog& log, int index, const PrintOptions& options);

}  // namespace tools
