#pragma once
// Prints records as `trctool dump` and `trctool capture` show them: one line
// of thirteen tab-separated cells per record, then optionally its decode tree
// and its hex dump, each line indented. Control bytes and backslashes inside
// a cell are escaped, so one record is always one line. Records are formatted
// straight into one buffer, which goes out in large blocks.

#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trace {

class CTraceLog;

struct PrintOptions {
    bool tree = false;
    bool detail = false;  // the tree with each element's details
    bool hex = false;
};

// "\n" for a line feed, "\\" for a backslash, "\x01" for other bytes below 0x20.
std::string EscapeCell(std::string_view text);
void AppendEscaped(std::string& out, std::string_view text);

// The record's line without its line feed.
std::string FormatRecordLine(const trace::CTraceLog& log, int index);
// The record's line, tree and hex lines as options ask, each with its line feed.
void AppendRecord(std::string& out, const trace::CTraceLog& log, int index, const PrintOptions& options);
void PrintRecord(std::FILE* out, const trace::CTraceLog& log, int index, const PrintOptions& options);

// CSV as RFC 4180 has it: a header row of the column headings, then the
// thirteen cells of each record as the list shows them, a cell quoted when
// it holds a comma, a quote or a line break (its quotes doubled), lines
// ended by CR LF.
void AppendCsvHeader(std::string& out);
void AppendCsvRecord(std::string& out, const trace::CTraceLog& log, int index);

// Writes the records to a file descriptor: the `dump --tree --hex` text, or
// CSV. 0, or the errno value of the write that failed.
int WriteRecordsText(int fd, const trace::CTraceLog& log, std::span<const int> records, bool csv);

// Collects records in one buffer and writes it to a file descriptor whenever
// it holds a block's worth, and at Flush.
class RecordWriter {
public:
    RecordWriter(int fd, const PrintOptions& options);
    // False once a write has failed (errno's value in Error()); what was
    // written before stays written.
    bool Add(const trace::CTraceLog& log, int index);
    bool Flush();
    int Error() const { return m_error; }
    // While the output takes nothing, giveUp is asked every 100 ms whether
    // to stop waiting; yes fails the write with ECANCELED.
    void SetGiveUp(std::function<bool()> giveUp) { m_giveUp = std::move(giveUp); }
    // Records Add took (answered true) whose text is not yet wholly written:
    // after a failed write, those that were not printed.
    long long Unwritten() const { return m_unwritten; }

    static constexpr std::size_t kBlock = std::size_t{1} << 20;
    static constexpr std::size_t kRoom = 64 * 1024;  // kept free behind a block for one record

private:
    void Put(std::string_view text);
    bool WriteOut(const char* data, std::size_t size, std::size_t* written = nullptr);

    int m_fd;
    PrintOptions m_options;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::string m_scratch;  // a record's text that is not written in place
    int m_error = 0;
    std::function<bool()> m_giveUp;
    std::vector<std::size_t> m_ends;  // where each record's text ends in the buffer
    bool m_toFile = false;            // the output is a regular file
    long long m_unwritten = 0;
};

}  // namespace trace
