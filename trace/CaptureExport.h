#pragma once
// Export of a trace's D-channel frames as a packet capture file that packet
// analysers open: pcap with link type 177 (the pseudo-header says who sent
// each frame) or pcapng with link type 203 (the packet block's direction
// flags say it). We are the user side of the bus: TE frames are sent (pcap
// packet type 4, pcapng outbound), NT frames received (type 0, inbound).
// ASCII and hex records are not frames; they are skipped and counted.
// Runs on the calling thread; the CTraceLog is only read.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tracefile/CaptureFormat.h"
#include "trace/TraceDate.h"

namespace trace {

class CTraceLog;
class CTraceRecord;

struct ExportOptions {
    tracefile::CaptureFormat format = tracefile::CaptureFormat::PcapNg;
    // An existing output file is replaced only when asked for; otherwise the
    // export fails and the file stays as it was.
    bool replaceExisting = false;
    // Only these records, in this order (a window's shown records); null: all.
    const std::vector<int>* records = nullptr;
};

struct ExportResult {
    bool ok = false;
    int framesWritten = 0;
    int recordsSkipped = 0;  // ASCII and hex records
    int sidelessInPcap = 0;  // frames of unknown side that pcap's pseudo-header had to put on the user side
    std::string dateNote;    // when the trace's own date was missing or invalid: which date was used
    std::string error;       // for the user when !ok
};

// Appends a capture file's header, then one packet per AddFrame, to a byte
// buffer that the caller drains as it likes.
class CaptureWriter {
public:
    // withHeader false: packets only, for a stream whose header went out earlier.
    CaptureWriter(tracefile::CaptureFormat format, std::vector<std::uint8_t>& out, bool withHeader = true);
    // A frame of unknown side gets no direction flags in pcapng; the pcap
    // pseudo-header must name a side and says the user side's.
    void AddFrame(const RecordClock::Stamp& stamp, tracefile::FrameSide side, std::span<const std::uint8_t> frame);

private:
    tracefile::CaptureFormat m_format;
    std::vector<std::uint8_t>& m_out;
};

// The side a D-channel record's frame came from: unknown when it was read
// from a capture that did not say, else as its side flags tell.
tracefile::FrameSide SideOfRecord(const CTraceRecord& record);

// The date the trace's times of day are put on: the log's own date, else the
// banner of the trace log file it is appended to, else today. When it is
// today, `note` says so and why (no date, or the banner's date is invalid).
TraceDate ExportDate(const CTraceLog& log, std::string* note = nullptr);

// Writes every D-channel record of the log (or of `records`, in their
// order) to an open file descriptor.
ExportResult ExportTraceToFd(const CTraceLog& log, int fd, tracefile::CaptureFormat format,
                             const std::vector<int>* records = nullptr);

// Writes the capture to `out` through a temporary file beside it, so a
// failed export leaves no half-written file and never a damaged original.
ExportResult ExportTrace(const CTraceLog& log, const std::filesystem::path& out, const ExportOptions& options);

// Loads `in` as the log document does (trace log, pcap or pcapng), then
// exports it. A file that does not load is not exported; the loader has
// already shown why.
ExportResult ExportTrace(const std::filesystem::path& in, const std::filesystem::path& out,
                         const ExportOptions& options);

// Writes `out` through a temporary file beside it, filled by `write`, so a
// failed write leaves no half-written file and never a damaged original.
ExportResult WriteFileBeside(const std::filesystem::path& out, bool replaceExisting,
                             const std::function<ExportResult(int fd)>& write);

class UiServices;

// What File > Export... also writes when a window offers it: the text of the
// records it shows, as `trctool dump --tree --hex` prints them (".txt") or
// as CSV (".csv"). `write` fills the descriptor and answers 0 or an errno
// value; `records` is how many records it writes.
struct TextExport {
    std::function<int(int fd, bool csv)> write;
    int records = 0;
    // The records the window shows: the capture formats write only these
    // too (null: every record).
    const std::vector<int>* shown = nullptr;
};

// File > Export... of either document: asks for a file name (proposing
// `baseName` with the pcapng extension; a name ending in ".pcap" chooses
// pcap, ".txt" or ".csv" the text when `text` can write it), replaces an
// existing file only after the dialog asked, and tells the user what was
// written and how many records were not frames, or why nothing was.
// Returns the result; a cancelled dialog gives !ok, no error.
ExportResult ExportWithDialog(const CTraceLog& log, UiServices& ui, const std::string& baseName,
                              const TextExport& text = {});

}  // namespace trace
