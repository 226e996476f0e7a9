#include "trace/RecordPrinter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/Format.h"
#include "platform/File.h"
#include "trace/DecodeTree.h"
#include "trace/RecordCells.h"
#include "trace/TraceLog.h"

namespace trace {
namespace {

bool NeedsEscape(char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\\'; }

// The longest line a D-channel record makes: the five fixed cells, and eight
// texts of which every character might become four.
constexpr std::size_t kMaxDChannelLine = 64 + 8 * (4 * decode::FrameSummary::kMaxTextLength + 1);

// Escapes the text written from `start` to end in place; answers its new end.
// Texts rarely hold a byte to escape, so they are rewritten only when one does.
char* EscapeInPlace(char* start, char* end) {
    char* at = start;
    while (at < end && !NeedsEscape(*at)) ++at;
    if (at == end) return end;
    std::string escaped;
    AppendEscaped(escaped, std::string_view(at, static_cast<std::size_t>(end - at)));
    std::memcpy(at, escaped.data(), escaped.size());
    return at + escaped.size();
}

// The line of a D-channel record, written at p (room for kMaxDChannelLine).
char* WriteDChannelLine(char* p, const trace::CTraceRecord& r) {
    p = decode::WriteZeroPadded(p, r.GetSequence(), 3);
    p = decode::WriteText(p, "\t  ");
    p = decode::WriteZeroPadded(p, r.GetHours(), 2);
    *p++ = ':';
    p = decode::WriteZeroPadded(p, r.GetMinutes(), 2);
    *p++ = ':';
    p = decode::WriteZeroPadded(p, r.GetSeconds(), 2);
    *p++ = '.';
    p = decode::WriteZeroPadded(p, r.GetHundredths(), 2);
    *p++ = '\t';
    p = decode::WriteBlankPadded(p, r.GetBNumber(), 2);
    *p++ = '\t';
    p = decode::WriteBlankPadded(p, r.GetLNNumber(), 2);
    p = decode::WriteText(p, "\tDCH");
    const decode::FrameSummary s = r.Summary(decode::kDecodeMask & ~decode::kDecodeInfoElements);
    for (auto write : {&decode::FrameSummary::WriteSource, &decode::FrameSummary::WriteAddress,
                       &decode::FrameSummary::WriteFrameType, &decode::FrameSummary::WritePollFinal,
                       &decode::FrameSummary::WriteNS, &decode::FrameSummary::WriteNR,
                       &decode::FrameSummary::WriteCallReference, &decode::FrameSummary::WriteMessage}) {
        *p++ = '\t';
        p = EscapeInPlace(p, (s.*write)(p));
    }
    *p++ = '\n';
    return p;
}

// Thirteen cells: sequence, time stamp, B, LN, kind, then the eight frame
// texts, of which an ASCII record fills only the last (its message).
void AppendRecordLine(std::string& out, const trace::CTraceLog& log, int index) {
    const std::optional<trace::CTraceRecord> r = log.GetRecord(index);
    char line[kMaxDChannelLine];
    if (r && r->IsDChannel()) {
        out.append(line, WriteDChannelLine(line, *r));
        return;
    }
    if (!r) {
        out += "000\t  00:00:00.00\t 0\t 0\t\t\t\t\t\t\t\t\t\n";  // the accessors' neutral answers
        return;
    }
    char* p = decode::WriteZeroPadded(line, r->GetSequence(), 3);
    p = decode::WriteText(p, "\t  ");
    p = decode::WriteZeroPadded(p, r->GetHours(), 2);
    *p++ = ':';
    p = decode::WriteZeroPadded(p, r->GetMinutes(), 2);
    *p++ = ':';
    p = decode::WriteZeroPadded(p, r->GetSeconds(), 2);
    *p++ = '.';
    p = decode::WriteZeroPadded(p, r->GetHundredths(), 2);
    *p++ = '\t';
    p = decode::WriteBlankPadded(p, r->GetBNumber(), 2);
    *p++ = '\t';
    p = decode::WriteBlankPadded(p, r->GetLNNumber(), 2);
    *p++ = '\t';
    p = decode::WriteText(p, r->GetMnemonic());
    p = decode::WriteText(p, "\t\t\t\t\t\t\t\t");
    out.append(line, p);
    AppendEscaped(out, r->GetMessage());
    out += '\n';
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Runs of plain characters go out in one append.
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!NeedsEscape(c)) continue;
        out.append(text.substr(plain, i - plain));
        plain = i + 1;
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default: {
                const auto b = static_cast<unsigned char>(c);
                const char escaped[] = {'\\', 'x', kHex[b >> 4], kHex[b & 0xF]};
                out.append(escaped, sizeof escaped);
            }
        }
    }
    out.append(text.substr(plain));
}

std::string EscapeCell(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

std::string FormatRecordLine(const trace::CTraceLog& log, int index) {
    std::string line;
    AppendRecordLine(line, log, index);
    line.pop_back();
    return line;
}

void AppendRecord(std::string& out, const trace::CTraceLog& log, int index, const PrintOptions& options) {
    AppendRecordLine(out, log, index);
    if (options.tree) {
        // Two blanks per level of depth; the top-level nodes are at depth 1.
        // Printed as the tree is walked: no node is built.
        trace::VisitDecodeTreeLabels(log, index, options.detail,
                                     [&out](int depth, std::string_view prefix, std::string_view rest) {
                                         out.append(static_cast<std::size_t>(2 * depth), ' ');
                                         AppendEscaped(out, prefix);
                                         AppendEscaped(out, rest);
                                         out += '\n';
                                     });
    }
    if (options.hex) {
        if (const std::optional<trace::CTraceRecord> r = log.GetRecord(index)) {
            trace::AppendHexDump(out, r->GetData(), "  ", "\n");
        }
    }
}

void PrintRecord(std::FILE* out, const trace::CTraceLog& log, int index, const PrintOptions& options) {
    std::string text;
    AppendRecord(text, log, index, options);
    std::fwrite(text.data(), 1, text.size(), out);
}

namespace {

void AppendCsvCell(std::string& out, std::string_view cell) {
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += cell;
        return;
    }
    out += '"';
    for (const char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

void AppendCsvHeader(std::string& out) {
    for (int column = 0; column < trace::kColumnCount; ++column) {
        if (column > 0) out += ',';
        AppendCsvCell(out, trace::kColumns[static_cast<std::size_t>(column)].heading);
    }
    out += "\r\n";
}

void AppendCsvRecord(std::string& out, const trace::CTraceLog& log, int index) {
    for (int column = 0; column < trace::kColumnCount; ++column) {
        if (column > 0) out += ',';
        AppendCsvCell(out, trace::CellText(log, index, static_cast<trace::Column>(column)));
    }
    out += "\r\n";
}

int WriteRecordsText(int fd, const trace::CTraceLog& log, std::span<const int> records, bool csv) {
    if (!csv) {
        RecordWriter writer(fd, PrintOptions{.tree = true, .hex = true});
        for (const int index : records)
            if (!writer.Add(log, index)) break;
        writer.Flush();
        return writer.Error();
    }
    std::string text;
    const auto writeOut = [fd, &text] {
        const int error =
            platform::WriteAll(fd, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        text.clear();
        return error;
    };
    AppendCsvHeader(text);
    for (const int index : records) {
        AppendCsvRecord(text, log, index);
        if (text.size() >= RecordWriter::kBlock)
            if (const int error = writeOut(); error != 0) return error;
    }
    return writeOut();
}

// A D-channel line is written in place, in the room behind a block.
static_assert(kMaxDChannelLine <= RecordWriter::kRoom);

RecordWriter::RecordWriter(int fd, const PrintOptions& options)
    : m_fd(fd), m_options(options), m_buffer(std::make_unique_for_overwrite<char[]>(kBlock + kRoom)) {
    struct stat st {};
    m_toFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool RecordWriter::Add(const trace::CTraceLog& log, int index) {
    if (m_error != 0) return false;
    const std::optional<trace::CTraceRecord> r = log.GetRecord(index);
    if (r && r->IsDChannel() && !m_options.tree && !m_options.hex) {
        m_used = static_cast<std::size_t>(WriteDChannelLine(m_buffer.get() + m_used, *r) - m_buffer.get());
    } else {
        m_scratch.clear();
        AppendRecord(m_scratch, log, index, m_options);
        Put(m_scratch);
    }
    if (m_error != 0) return false;
    m_ends.push_back(m_used);
    if (m_used < kBlock) return true;
    if (Flush()) return true;
    // This record was not taken: the caller counts it as not handed over.
    m_unwritten = std::max(0LL, m_unwritten - 1);
    return false;
}

void RecordWriter::Put(std::string_view text) {
    if (kBlock + kRoom - m_used < text.size() && !Flush()) return;
    if (text.size() > kBlock + kRoom) {
        WriteOut(text.data(), text.size());  // larger than the whole buffer: straight out
        return;
    }
    std::memcpy(m_buffer.get() + m_used, text.data(), text.size());
    m_used += text.size();
}

bool RecordWriter::WriteOut(const char* data, std::size_t size, std::size_t* written) {
    if (m_error == 0)
        m_error =
            platform::WriteAllUnless(m_fd, {reinterpret_cast<const std::uint8_t*>(data), size}, m_giveUp, written);
    return m_error == 0;
}

bool RecordWriter::Flush() {
    std::size_t written = 0;
    if (!m_giveUp || m_toFile) {
        WriteOut(m_buffer.get(), m_used, &written);
    } else {
        // To a pipe or terminal in pieces of whole records of at most
        // PIPE_BUF octets: a pipe takes each whole or not at all, so giving
        // up never leaves half a line.
        auto end = m_ends.begin();
        while (m_error == 0 && written < m_used) {
            std::size_t to = written;
            for (; end != m_ends.end() && (to == written || *end - written <= PIPE_BUF); ++end) to = *end;
            if (to == written) to = m_used;
            std::size_t sent = 0;
            WriteOut(m_buffer.get() + written, to - written, &sent);
            written += sent;
        }
    }
    // Records whose text did not go out whole, counted from where they end.
    if (m_error != 0)
        m_unwritten = std::count_if(m_ends.begin(), m_ends.end(), [written](std::size_t end) { return end > written; });
    m_ends.clear();
    m_used = 0;
    return m_error == 0;
}

}  // namespace trace
