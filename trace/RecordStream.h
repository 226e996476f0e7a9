#pragma once
// Writes a trace's records to an open file descriptor as they arrive, in one
// of three formats: a trace log (the file header, then each record's bytes),
// pcapng (link type 203, the direction in each packet's flags) or pcap (link
// type 177 with its pseudo-header). Every record goes out in one write of
// its own, whole, so a reader at the other end of a pipe or fifo has it at
// once and never sees half of one. ASCII and hex records are not frames: the
// capture formats pass over them and count them. Runs on the calling thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "tracefile/CaptureFormat.h"
#include "trace/TraceDate.h"

namespace trace {

class CTraceRecord;

enum class StreamFormat { Log, PcapNg, Pcap };

// "log", "pcapng" or "pcap"; nullopt for anything else.
std::optional<StreamFormat> StreamFormatNamed(std::string_view name);
// The file name extension of a format: ".log", ".pcapng", ".pcap".
std::string_view StreamExtension(StreamFormat format);

// The bytes a record had in its trace log file: header, data, trailer.
std::vector<std::uint8_t> RawRecordBytes(const CTraceRecord& record);

class RecordStream {
public:
    // `start` dates the records' times of day (capture formats) and the
    // trace log's banner (log format).
    RecordStream(int fd, StreamFormat format, const TraceDate& start);

    // The file header; 0 or the errno of the failed write.
    int Begin();
    // One record; 0 or the errno of the failed write (EPIPE: the reader is gone).
    int Add(const CTraceRecord& record);
    // What Add(record) would write, in octets (0 for a record the format passes over).
    std::size_t SizeOf(const CTraceRecord& record) const;

    // While the output takes nothing, giveUp is asked every 100 ms whether
    // to stop waiting; yes fails the write with ECANCELED.
    void SetGiveUp(std::function<bool()> giveUp) { m_giveUp = std::move(giveUp); }

    std::uint64_t BytesWritten() const { return m_written; }
    long long RecordsWritten() const { return m_records; }
    long long RecordsSkipped() const { return m_skipped; }

private:
    int Write(const std::vector<std::uint8_t>& bytes);

    int m_fd;
    StreamFormat m_format;
    TraceDate m_start;
    RecordClock m_clock;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_written = 0;
    long long m_records = 0;
    long long m_skipped = 0;
    std::function<bool()> m_giveUp;
};

}  // namespace trace
