// trctool capture: opens the adapter as the desktop program does, starts a
// trace and prints every record as it arrives, until a count, a time or an
// interrupt ends it; then stops the trace and closes the document, keeping
// the trace log file under -w FILE or deleting it.

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/AdapterSession.h"
#include "tools/Commands.h"
#include "tools/RecordPrinter.h"
#include "trace/Document.h"
#include "trace/RecordQueue.h"
#include "trace/TraceLog.h"

namespace tools {
namespace {

using Clock = std::chrono::steady_clock;

// The record list of the terminal: prints each record the document adds.
class PrintingView : public trace::CView {
public:
    explicit PrintingView(const PrintOptions& options) : m_options(options) {}

    void OnUpdate(trace::CView*, std::uint32_t hint, std::intptr_t object) override {
        if (hint != trace::HINT_RECORD_ADDED || !m_log) return;
        PrintRecord(stdout, *m_log, static_cast<int>(object), m_options);
        std::fflush(stdout);
        ++m_printed;
    }
    trace::RecordTarget* GetRecordTarget() override { return &m_queue; }

    void SetLog(const trace::CTraceLog* log) { m_log = log; }
    long long Printed() const { return m_printed; }
    trace::RecordQueue& Queue() { return m_queue; }

private:
    PrintOptions m_options;
    const trace::CTraceLog* m_log = nullptr;
    trace::RecordQueue m_queue;
    long long m_printed = 0;
};

bool StopSignalPending(const sigset_t& stopSignals) {
    timespec now{0, 0};
    return sigtimedwait(&stopSignals, nullptr, &now) >= 0;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value > 0;
}

}  // namespace

int RunCapture(std::span<char* const> args) {
    const Command& self = FindCommand("capture");
    std::vector<std::string> rest(args.begin(), args.end());
    AdapterSession session;
    session.tracing = true;
    std::string problem;
    if (!TakeAdapterOption(rest, session.ui.adapter, problem)) return UsageError(self, problem);

    PrintOptions options;
    std::optional<long long> count;
    std::optional<double> seconds;
    std::optional<std::string> keepAs;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        const bool hasValue = i + 1 < rest.size();
        if (arg == "--tree") {
            options.tree = true;
        } else if (arg == "--hex") {
            options.hex = true;
        } else if (arg == "--help" || arg == "-h") {
            return PrintCommandHelp(self);
        } else if (arg == "--count" && hasValue) {
            long long n = 0;
            if (!ParseNumber(rest[++i], n)) return UsageError(self, "--count needs a positive number");
            count = n;
        } else if (arg == "--seconds" && hasValue) {
            double s = 0;
            if (!ParseNumber(rest[++i], s)) return UsageError(self, "--seconds needs a positive number");
            seconds = s;
        } else if (arg == "-w" && hasValue) {
            keepAs = rest[++i];
        } else {
            return UsageError(self, "unexpected " + arg);
        }
    }
    if (keepAs) session.ui.saveFile = *keepAs;

    // Blocked before the library and the reader start their threads, so the
    // loop below takes an interrupt and the document closes on the way out.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PrintingView view(options);
    if (const int status = OpenSession(session)) return status;
    adapter::CMarloTrcDoc& doc = *session.doc;
    doc.AddView(&view);
    view.SetLog(doc.GetTraceLog());

    doc.OnTraceStart();
    int status = 0;
    if (!doc.CanStopTrace()) {
        status = 1;  // the card refused or did not answer; its message is on standard error
    } else {
        const auto deadline = seconds ? std::optional(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                                         std::chrono::duration<double>(*seconds)))
                                      : std::nullopt;
        while (!(count && view.Printed() >= *count) && !(deadline && Clock::now() >= deadline) &&
               !StopSignalPending(stopSignals) && doc.IsOpened()) {
            if (const auto params = view.Queue().Next(std::chrono::milliseconds(50))) doc.OnTraceRecord(**params);
        }
        doc.OnTraceStop();
    }
    // Save Log File without a question: with -w the file is kept under that
    // name; without it, the closing sequence finds no name and deletes it.
    doc.OnSaveLogFile();
    const bool traced = doc.GetLogFile() && doc.GetLogFile()->GetLength() > std::int64_t{trace::kFileHeaderSize};
    doc.OnCloseDocument();
    doc.RemoveView(&view);
    if (keepAs && !traced) {
        std::fprintf(stderr, "trctool: nothing was traced; %s was not written\n", keepAs->c_str());
    } else if (keepAs && !std::filesystem::exists(*keepAs)) {
        status = 1;  // the move failed and said why
    }
    return status;
}

}  // namespace tools
