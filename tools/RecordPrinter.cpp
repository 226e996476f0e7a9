#include "tools/RecordPrinter.h"

#include "trace/DecodeTree.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace tools {

std::string EscapeCell(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default:
                if (b < 0x20) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 0xF];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string FormatRecordLine(const trace::CTraceLog& log, int index) {
    std::string line;
    for (int column = 0; column < trace::kColumnCount; ++column) {
        if (column > 0) line += '\t';
        line += EscapeCell(trace::CellText(log, index, static_cast<trace::Column>(column)));
    }
    return line;
}

void PrintRecord(std::FILE* out, const trace::CTraceLog& log, int index, const PrintOptions& options) {
    std::fprintf(out, "%s\n", FormatRecordLine(log, index).c_str());
    if (options.tree) {
        // Two blanks per level of depth; the top-level nodes are at depth 1.
        trace::VisitPreOrder(trace::BuildDecodeTree(log, index), [&](const trace::DecodeNode& node, int depth) {
            std::fprintf(out, "%*s%s\n", 2 * depth, "", EscapeCell(node.label).c_str());
        });
    }
    if (options.hex) {
        std::string dump;
        log.FormatHexDump(dump, index);
        for (std::size_t at = 0; at + 75 <= dump.size(); at += 75)
            std::fprintf(out, "  %.*s\n", 73, dump.c_str() + at);  // the line without its "\r\n"
    }
}

}  // namespace tools
