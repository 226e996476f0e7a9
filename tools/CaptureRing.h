#pragma once
// A long capture kept in a bounded set of files: each record goes whole into
// the current file; a new file begins when the current one would grow past
// its size or has run its time, and with a file limit the oldest file is
// deleted when one more begins. Every file is a complete trace (log, pcapng
// or pcap) that opens on its own, named FILE_NNNNN_YYYYMMDDhhmmss.ext after
// -w FILE, so a listing sorts them in capture order.

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"
#include "trace/RecordStream.h"

namespace trace {
class CTraceRecord;
}

namespace tools {

// What -b gives: when to begin a new file, and how many to keep.
struct RingOptions {
    std::optional<std::uint64_t> fileSizeKB;  // filesize:KB (1 KB = 1000 octets, as packet analysers count)
    std::optional<double> durationSeconds;    // duration:S
    std::optional<int> files;                 // files:N: at most N files at a time
};

// A finite positive number of seconds, at most a year (longer than any
// capture a person runs, short enough that the deadline is an ordinary time
// point): "inf", "nan" and 1e10 would end the capture at once or never.
inline constexpr double kMaxCaptureSeconds = 366.0 * 24 * 3600;
bool ParseSeconds(std::string_view text, double& value);

// Takes one -b value ("filesize:100", "duration:60", "files:10") into the
// options; an empty string, or what is wrong with it.
std::string TakeRingOption(std::string_view text, RingOptions& options);

class CaptureRing {
public:
    CaptureRing(std::filesystem::path base, trace::StreamFormat format, RingOptions options);

    // Writes one record, beginning a new file first when the current one is
    // full or its time is up. 0, or the errno of what failed (the ring then
    // takes no more records).
    int Add(const trace::CTraceRecord& record);

    long long RecordsWritten() const { return m_records; }
    // 0, or the errno of the failure that stopped the ring.
    int Error() const { return m_error; }
    // The files that are there now, oldest first.
    const std::deque<std::filesystem::path>& Files() const { return m_files; }
    // The file and the reason of the failure Add reported.
    const std::filesystem::path& FailedFile() const { return m_failedFile; }

    // The name of file number n begun at the given moment.
    static std::filesystem::path FileName(const std::filesystem::path& base, trace::StreamFormat format, int n,
                                          std::time_t begun);

private:
    int BeginFile();
    bool Full(std::size_t next) const;

    std::filesystem::path m_base;
    trace::StreamFormat m_format;
    RingOptions m_options;
    platform::UniqueFd m_fd;
    std::optional<trace::RecordStream> m_stream;
    std::chrono::steady_clock::time_point m_begun;
    std::deque<std::filesystem::path> m_files;
    std::filesystem::path m_failedFile;
    int m_number = 0;
    long long m_records = 0;
    long long m_recordsInFile = 0;
    int m_error = 0;
};

}  // namespace tools
