#pragma once
// One terminal capture from start to end: opens the adapter as the desktop
// program does, makes the trace log file (in -w FILE's folder, so the final
// move is a rename), starts the trace, hands each record to a hook as the
// document adds it (the reader delivers them in batches; after each batch
// the flush hook puts out what the record hook buffered), stops on a count,
// a time, a signal, a closed output, a card that is gone or a write that
// failed, drains the file to its end (a second signal ends the drain at
// once), closes the adapter, keeps the file under -w FILE or deletes it, and
// says what happened. Everything a capture does happens in Run(), in that
// order.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "tracefile/CaptureFormat.h"
#include "tools/AdapterSession.h"
#include "trace/RecordPrinter.h"

namespace trace {
class CTraceLog;
class RecordQueue;
}

namespace tools {

struct CaptureOptions {
    std::optional<long long> count;                 // --count N: exactly N records printed and kept
    std::optional<double> seconds;                  // --seconds S
    std::optional<std::filesystem::path> keepAs;    // -w FILE
    // -w FILE.pcapng or .pcap: the trace log is kept in FILE as this capture format.
    std::optional<tracefile::CaptureFormat> convertTo;
    bool force = false;                             // --force: -w may replace an existing file
    bool quiet = false;                             // -q: no start line, progress line or summary
    trace::PrintOptions print;                             // --tree, --hex
    std::string keptBy;                             // where the hook keeps the records (-w -, -b), for the summary
};

// Why the capture loop ended.
enum class CaptureEnd {
    Count,         // --count records were handed over
    Time,          // --seconds passed
    Signal,        // SIGINT, SIGTERM or SIGHUP
    OutputClosed,  // the hook said standard output is gone
    CardGone,      // the library's monitor ended: the card or its driver stopped answering
    WriteStopped,  // the library could not write a record and stopped writing
    DocumentClosed // a command time-out closed the adapter
};

// Called for every record the document adds, in order, with the document's
// record list and the record's index. Returns false when the records have
// nowhere to go any more (standard output closed): the capture then ends.
using CaptureRecordHook = std::function<bool(const trace::CTraceLog& log, int index)>;
// Called after each batch of records and at the end: puts out what the
// record hook buffered. False when standard output is gone.
using CaptureFlushHook = std::function<bool()>;

class CaptureSession {
public:
    CaptureSession(CaptureOptions options, AdapterSession& adapter, CaptureRecordHook hook,
                   CaptureFlushHook flush = {});

    // The whole capture; returns the exit status: 0 done, 1 failed (the card,
    // the file or the save), 2 when -w FILE may not be written.
    int Run();

    // The usage check of -w FILE, before anything is opened: a folder, or an
    // existing file without --force. Empty when FILE may be written.
    static std::string CheckKeepAs(const CaptureOptions& options);

    // Asked while the output takes nothing (a full pipe whose reader does
    // not read), where the loop cannot see signals. A first stop signal
    // stops the capture as it would in the loop: the rest is printed once
    // the output takes it. A second ends it at once and answers true.
    bool StopAtOnceOnSignal();
    // How many of the records the hook took were not printed when the
    // output failed (records the hook buffers); none when not set.
    void CountUnprintedWith(std::function<long long()> unprinted) { m_unprinted = std::move(unprinted); }

private:
    // Adapter and trace log file; 0 or the exit status.
    int Open();
    // Start, the loop, then Stop, which drains the file into the document.
    CaptureEnd Trace();
    // Hands the reader's batches to the document until something ends the capture.
    CaptureEnd Follow(trace::RecordQueue& queue);
    std::optional<CaptureEnd> WhyEnd(std::optional<std::chrono::steady_clock::time_point> deadline) const;
    // Stops the trace; takes what the file still holds unless --count is
    // reached, or a second signal says to stop at once.
    void Stop(CaptureEnd end);
    bool FlushOutput();
    // Says once that the capture is stopping and prints what the file still holds.
    void SayStopping(std::int64_t backlog);
    // Closes the adapter, cuts a --count trace to its count, keeps or
    // deletes the file, moves it to -w FILE, reports; the exit status.
    int Close(CaptureEnd end);
    // Each answers false when that step failed (and has said so).
    bool CloseCard(CaptureEnd end);
    bool CutToCount(CaptureEnd end);
    bool MoveToKeepAs(bool traced, std::string& keptWhere);
    bool ReportLoss(CaptureEnd end, long long kept, const std::string& keptWhere);
    void Summarise(CaptureEnd end, long long kept, const std::string& keptWhere);
    void ShowProgress();
    void ClearProgress();

    CaptureOptions m_options;
    AdapterSession& m_adapter;
    CaptureRecordHook m_hook;
    CaptureFlushHook m_flush;

    std::filesystem::path m_logPath;       // the trace log file while the capture runs
    long long m_handed = 0;                // records given to the hook
    std::int64_t m_countEnd = 0;           // file length that holds exactly --count records
    bool m_outputClosed = false;
    bool m_startFailed = false;            // the card refused or did not answer trace control
    bool m_stoppedAtOnce = false;          // a second signal ended the drain: records kept but not printed
    std::function<long long()> m_unprinted;
    bool m_stopSignalled = false;          // a first stop signal came while the output took nothing
    bool m_saidStopping = false;
    bool m_stopping = false;               // the loop has ended: a signal now is the one that ends at once
    std::optional<TpxCaptureStatus> m_captureStatus;  // the record writer's last word
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastProgress;
    bool m_progressShown = false;          // a progress line is on the terminal
};

}  // namespace tools
