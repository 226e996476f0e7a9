#include "tools/CaptureSession.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "trace/CaptureExport.h"
#include "trace/Document.h"
#include "trace/LogFile.h"
#include "trace/RecordQueue.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr auto kProgressEvery = std::chrono::seconds(2);
// A stop that finds more than this still to read from the trace log file
// says so, and how to end at once.
constexpr std::int64_t kSayTakingFrom = std::int64_t{4} << 20;

// The record list of the terminal: hands each record the document adds to
// the hook, and queues the reader's posts for the capture loop.
class HookView : public trace::CView {
public:
    explicit HookView(std::function<void(int)> added) : m_added(std::move(added)) {}
    void OnUpdate(trace::CView*, std::uint32_t hint, std::intptr_t object) override {
        if (hint == trace::HINT_RECORD_ADDED) m_added(static_cast<int>(object));
    }
    trace::RecordTarget* GetRecordTarget() override { return &m_queue; }
    trace::RecordQueue& Queue() { return m_queue; }

private:
    std::function<void(int)> m_added;
    trace::RecordQueue m_queue;
};

// Signals that end a capture as Ctrl-C does: taken by the loop, not by a
// handler. Blocked before the library and the reader start their threads, so
// no other thread takes them. A closed standard output gives EPIPE instead of
// killing the process, and a file size limit gives EFBIG to the writer.
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

bool StopSignalPending(const sigset_t& stopSignals) {
    timespec now{0, 0};
    return sigtimedwait(&stopSignals, nullptr, &now) >= 0;
}

std::string Size(std::int64_t bytes) {
    char text[32];
    if (bytes < 10 * 1024) std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
    else if (bytes < 10 * 1024 * 1024) std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024);
    else std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
    return text;
}

std::string Records(long long n) { return std::to_string(n) + (n == 1 ? " record" : " records"); }

}  // namespace

CaptureSession::CaptureSession(CaptureOptions options, AdapterSession& adapter, CaptureRecordHook hook,
                               CaptureFlushHook flush)
    : m_options(std::move(options)), m_adapter(adapter), m_hook(std::move(hook)), m_flush(std::move(flush)) {}

std::string CaptureSession::CheckKeepAs(const CaptureOptions& options) {
    if (!options.keepAs) return {};
    const fs::path& file = *options.keepAs;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return file.string() + " is a folder; -w needs a file name";
        if (!options.force) return file.string() + " exists; give --force to replace it";
    }
    return {};
}

int CaptureSession::Run() {
    const sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    if (const int status = Open()) return status;
    const CaptureEnd end = Trace();
    ClearProgress();
    return Close(end);
}

int CaptureSession::Open() {
    m_adapter.tracing = true;
    // With -w FILE the trace log file is made beside FILE, so keeping it is
    // a rename on the same file system.
    if (m_options.keepAs) {
        const fs::path folder = m_options.keepAs->parent_path();
        m_adapter.ui.saveFile.reset();
        m_adapter.traceLogFolder = folder.empty() ? fs::path(".") : folder;
    }
    if (const int status = OpenSession(m_adapter)) return status;
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    const trace::CLogFile* file = doc.GetLogFile();
    if (!file || !file->IsOpen()) {
        const std::string folder = m_options.keepAs && !m_options.keepAs->parent_path().empty()
                                       ? m_options.keepAs->parent_path().string() : std::string("the current folder");
        const int error = file ? file->GetOpenError() : 0;
        std::fprintf(stderr, "trctool: cannot make a trace log file in %s%s%s; nothing was traced\n", folder.c_str(),
                     error ? ": " : "", error ? platform::ErrorText(error).c_str() : "");
        doc.OnCloseDocument();
        return 1;
    }
    m_logPath = file->GetFilePath();
    // Closing keeps the file where it is; the move to FILE is ours, so that
    // an existing FILE is never replaced without --force.
    if (m_options.keepAs) m_adapter.ui.saveFile = m_logPath;
    if (!m_options.quiet) std::fprintf(stderr, "trctool: tracing to %s\n", m_logPath.c_str());
    return 0;
}

CaptureEnd CaptureSession::Trace() {
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    HookView view([&](int index) {
        if (m_options.count && m_handed >= *m_options.count) return;  // delivered behind the count: kept out
        if (m_outputClosed) return;
        if (!m_hook(*doc.GetTraceLog(), index)) {
            m_outputClosed = true;
            return;
        }
        ++m_handed;
        if (m_options.count && m_handed == *m_options.count) m_countEnd = doc.GetTraceLog()->GetReaderRecordEnd();
    });
    const trace::ViewRegistration registration(doc, view);
    doc.GetTraceLog()->SetKeepOnlyNewest(true);
    m_started = m_lastProgress = Clock::now();

    doc.OnTraceStart();
    if (!doc.CanStopTrace()) {
        m_startFailed = true;
        return CaptureEnd::DocumentClosed;
    }
    const CaptureEnd end = Follow(view.Queue());
    Stop(end);
    return end;
}

CaptureEnd CaptureSession::Follow(trace::RecordQueue& queue) {
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    const auto deadline = m_options.seconds
                              ? std::optional(m_started + std::chrono::duration_cast<Clock::duration>(
                                                              std::chrono::duration<double>(*m_options.seconds)))
                              : std::nullopt;
    for (;;) {
        if (const std::optional<CaptureEnd> end = WhyEnd(deadline)) return *end;
        if (const auto params = queue.Next(std::chrono::milliseconds(50))) {
            doc.OnTraceRecord(**params);
            FlushOutput();
        }
        ShowProgress();
    }
}

bool CaptureSession::StopAtOnceOnSignal() {
    if (!StopSignalPending(StopSignals())) return false;
    if (!m_stopSignalled && !m_stopping) {
        m_stopSignalled = true;
        const trace::CLogFile* file = m_adapter.doc ? m_adapter.doc->GetLogFile() : nullptr;
        ClearProgress();
        SayStopping(file ? file->GetLength() - m_adapter.doc->GetTraceLog()->GetReaderRecordEnd() : 0);
        return false;
    }
    m_stoppedAtOnce = true;
    return true;
}

void CaptureSession::SayStopping(std::int64_t backlog) {
    if (m_saidStopping) return;
    m_saidStopping = true;
    std::fprintf(stderr, "trctool: stopping: printing the records the trace log file still holds (%s); "
                         "Ctrl-C again ends at once and keeps the file\n",
                 Size(std::max<std::int64_t>(backlog, 0)).c_str());
}

std::optional<CaptureEnd> CaptureSession::WhyEnd(std::optional<Clock::time_point> deadline) const {
    if (m_stoppedAtOnce || m_stopSignalled) return CaptureEnd::Signal;
    if (m_options.count && m_handed >= *m_options.count) return CaptureEnd::Count;
    if (m_outputClosed) return CaptureEnd::OutputClosed;
    if (deadline && Clock::now() >= *deadline) return CaptureEnd::Time;
    if (StopSignalPending(StopSignals())) return CaptureEnd::Signal;
    if (!m_adapter.doc->IsOpened()) return CaptureEnd::DocumentClosed;
    if (const auto status = m_adapter.doc->GetCaptureStatus()) {
        if (status->writeError != 0) return CaptureEnd::WriteStopped;
        if (!status->running) return CaptureEnd::CardGone;
    }
    return std::nullopt;
}

bool CaptureSession::FlushOutput() {
    if (!m_outputClosed && m_flush && !m_flush()) m_outputClosed = true;
    return !m_outputClosed;
}

void CaptureSession::Stop(CaptureEnd end) {
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    m_captureStatus = doc.GetCaptureStatus();
    // Behind a reached count nothing more is printed or kept (the file is
    // cut back to the count), so the rest need not be read.
    const bool takeTheRest = end != CaptureEnd::Count && !m_stoppedAtOnce;
    const trace::CLogFile* file = doc.GetLogFile();
    m_stopping = true;
    if (takeTheRest && !m_outputClosed && file &&
        file->GetLength() - doc.GetTraceLog()->GetReaderRecordEnd() > kSayTakingFrom)
        SayStopping(file->GetLength() - doc.GetTraceLog()->GetReaderRecordEnd());
    // Stopping drains the file into the document, through the view, batch
    // by batch; a stop signal now (the second) leaves the rest in the file.
    doc.OnTraceStop(takeTheRest, [this] {
        if (StopSignalPending(StopSignals())) m_stoppedAtOnce = true;
        return FlushOutput() && !m_stoppedAtOnce;
    });
    FlushOutput();
    if (const auto after = doc.GetCaptureStatus()) m_captureStatus = after;
}

void CaptureSession::ClearProgress() {
    if (m_progressShown) {
        std::fputs("\r\033[K", stderr);
        m_progressShown = false;
    }
}

int CaptureSession::Close(CaptureEnd end) {
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    bool failed = m_startFailed;  // the card refused or did not answer; its message is on standard error
    failed = !CloseCard(end) || failed;
    failed = !CutToCount(end) || failed;
    const trace::CLogFile* file = doc.GetLogFile();
    const bool traced = file && file->GetLength() > std::int64_t{tracefile::kFileHeaderSize};
    // Behind --count and a closed output what was handed over is what is
    // kept; otherwise the whole file is.
    const long long kept = end != CaptureEnd::Count && m_captureStatus
                               ? static_cast<long long>(m_captureStatus->recordsWritten)
                               : m_handed;

    // No question: with -w the file stays where it is (beside FILE) and is
    // then moved; without it, it is deleted.
    if (m_adapter.ui.saveFile)
        doc.OnSaveLogFile();
    else
        doc.DiscardLogFile();
    doc.OnCloseDocument();

    std::string keptWhere;
    failed = !MoveToKeepAs(traced, keptWhere) || failed;
    failed = !ReportLoss(end, kept, keptWhere) || failed;
    if (!failed) Summarise(end, kept, keptWhere);
    return failed ? 1 : 0;
}

bool CaptureSession::CloseCard(CaptureEnd end) {
    adapter::CMarloTrcDoc& doc = *m_adapter.doc;
    // A time-out closed the adapter; its message is on standard error.
    if (!doc.IsOpened()) return m_startFailed;
    std::string closeError;
    if (doc.CloseAdapter(closeError) || end == CaptureEnd::CardGone) return true;
    std::fprintf(stderr, "trctool: the card did not close properly\n");
    return false;
}

// --count: exactly that many records are kept, as they were printed.
bool CaptureSession::CutToCount(CaptureEnd end) {
    const trace::CLogFile* file = m_adapter.doc->GetLogFile();
    if (end != CaptureEnd::Count || m_countEnd <= 0 || !file || !file->IsOpen() || file->GetLength() <= m_countEnd)
        return true;
    if (::ftruncate(file->GetFd(), static_cast<off_t>(m_countEnd)) == 0) return true;
    std::fprintf(stderr, "trctool: could not cut %s back to %lld records: %s\n", m_logPath.c_str(),
                 static_cast<long long>(m_handed), platform::ErrorText(errno).c_str());
    return false;
}

bool CaptureSession::MoveToKeepAs(bool traced, std::string& keptWhere) {
    if (!m_options.keepAs) return true;
    if (!traced) {
        if (!m_startFailed)
            std::fprintf(stderr, "trctool: nothing was traced; %s was not written\n", m_options.keepAs->c_str());
        return true;
    }
    if (m_options.convertTo) {
        // The trace log becomes the capture file; it goes only once that is written whole.
        const trace::ExportResult written =
            trace::ExportTrace(m_logPath, *m_options.keepAs, {*m_options.convertTo, m_options.force});
        keptWhere = written.ok ? m_options.keepAs->string() : m_logPath.string();
        if (written.ok) {
            std::error_code ignored;
            std::filesystem::remove(m_logPath, ignored);
            return true;
        }
        std::fprintf(stderr, "trctool: could not write %s: %s; the trace is kept as %s\n", m_options.keepAs->c_str(),
                     written.error.c_str(), m_logPath.c_str());
        return false;
    }
    const int error = m_options.force
                          ? platform::MoveFile(m_logPath, *m_options.keepAs, platform::MoveMode::kReplaceExisting)
                          : platform::MoveFileNoReplace(m_logPath, *m_options.keepAs);
    keptWhere = error != 0 ? m_logPath.string() : m_options.keepAs->string();
    if (error == 0) return true;
    std::fprintf(stderr, "trctool: could not move the trace to %s: %s; it is kept as %s\n", m_options.keepAs->c_str(),
                 platform::ErrorText(error).c_str(), m_logPath.c_str());
    return false;
}

// What was not kept, or not printed, said on standard error; false for a loss.
bool CaptureSession::ReportLoss(CaptureEnd end, long long kept, const std::string& keptWhere) {
    const std::string in = keptWhere.empty() ? std::string() : " in " + keptWhere;
    bool lost = false;
    if (m_stoppedAtOnce) {
        const long long unprinted = std::max(0LL, kept - m_handed) + (m_unprinted ? m_unprinted() : 0);
        if (!keptWhere.empty()) {
            std::fprintf(stderr, "trctool: stopped at once; the trace log file holds every record the card wrote: "
                                 "%s kept%s; the last %lld were not printed\n",
                         Records(kept).c_str(), in.c_str(), unprinted);
        } else if (unprinted > 0) {
            // Without -w FILE the trace log file goes: what was not handed on is gone.
            const std::string where = m_options.keptBy.empty() ? "" : " or written to " + m_options.keptBy;
            std::fprintf(stderr, "trctool: stopped at once; the last %lld of the %s the card wrote were not printed%s, "
                                 "and are not kept\n",
                         unprinted, Records(kept).c_str(), where.c_str());
            lost = true;
        }
    }
    if (!m_captureStatus) return !lost;
    const TpxCaptureStatus& status = *m_captureStatus;
    if (status.framesTooLong != 0) {
        std::fprintf(stderr, "trctool: %s longer than a record holds (%u octets) not kept\n",
                     (std::to_string(status.framesTooLong) + (status.framesTooLong == 1 ? " frame" : " frames")).c_str(),
                     static_cast<unsigned>(tracefile::kMaxDChannelData));
        lost = true;
    }
    if (end == CaptureEnd::WriteStopped) {
        std::fprintf(stderr, "trctool: writing the trace log file stopped: %s; %s kept%s, %s after that not kept\n",
                     platform::ErrorText(static_cast<int>(status.writeError)).c_str(),
                     Records(static_cast<long long>(status.recordsWritten)).c_str(), in.c_str(),
                     Records(static_cast<long long>(status.recordsLost - status.framesTooLong)).c_str());
        return false;
    }
    if (end == CaptureEnd::CardGone) {
        std::fprintf(stderr, "trctool: the card stopped answering (error %u); %s kept%s\n", status.readError,
                     Records(kept).c_str(), in.c_str());
        return false;
    }
    return !lost;
}

void CaptureSession::Summarise(CaptureEnd end, long long kept, const std::string& keptWhere) {
    if (m_options.quiet || end == CaptureEnd::OutputClosed || m_stoppedAtOnce) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - m_started).count();
    if (!keptWhere.empty())
        std::fprintf(stderr, "trctool: %s in %.1f s, kept in %s\n", Records(kept).c_str(), seconds, keptWhere.c_str());
    else if (!m_options.keptBy.empty())
        std::fprintf(stderr, "trctool: %s in %.1f s, written to %s\n", Records(m_handed).c_str(), seconds,
                     m_options.keptBy.c_str());
    else if (!m_options.keepAs)
        std::fprintf(stderr, "trctool: %s in %.1f s, not kept (no -w)\n", Records(m_handed).c_str(), seconds);
}

void CaptureSession::ShowProgress() {
    if (m_options.quiet || !::isatty(STDERR_FILENO)) return;
    const auto now = Clock::now();
    if (now - m_lastProgress < kProgressEvery) return;
    m_lastProgress = now;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const trace::CLogFile* file = m_adapter.doc ? m_adapter.doc->GetLogFile() : nullptr;
    const long long kept = [&] {
        const auto status = m_adapter.doc ? m_adapter.doc->GetCaptureStatus() : std::nullopt;
        return status ? static_cast<long long>(status->recordsWritten) : m_handed;
    }();
    std::fprintf(stderr, "\r\033[Kcapturing: %s kept, %.0f/s, %s %s", Records(kept).c_str(),
                 seconds > 0 ? static_cast<double>(kept) / seconds : 0.0, m_logPath.c_str(),
                 Size(file ? file->GetLength() : 0).c_str());
    std::fflush(stderr);
    m_progressShown = true;
}

}  // namespace tools
