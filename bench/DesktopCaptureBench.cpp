// The desktop program capturing from the emulated card at its full speed
// (rate=0), headless (offscreen platform), through the real main window and
// documents, as a person drives it:
//   - the live list: records per second into the record list over SECONDS
//     (default 5), and how late a 10 ms timer on the user-interface thread
//     ran at worst meanwhile (target: records >= 100,000/s, late < 100 ms);
//   - then Trace > Stop: how long the action takes until the trace has
//     stopped and the list holds every record the card wrote (target < 1 s);
//   - another capture of SECONDS, then File > Exit with the save question
//     answered No: how long until every document is closed (target < 1 s);
//   - resident memory between half time and the end of the live list, per
//     record added meanwhile: what a long capture costs a record (the
//     document keeps each record, about 44 bytes).
// Prints RESULT lines (bench/Result.h).
//
//   desktop_capture_bench [SECONDS]

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "adapter/MarloTrcDoc.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/ProgramDocuments.h"
#include "bench/Result.h"
#include "bench/TempFolder.h"
#include "tests/support/MainFramePeer.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "trace/TraceLog.h"
#include "views/MarloTrcListView.h"
#include "views/TraceChildFrame.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A timer every 10 ms on the user-interface thread: how late it ran at worst.
class LatenessProbe {
public:
    LatenessProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_worst = std::max(m_worst, now - m_last - kTick);
            m_last = now;
        });
    }
    void Start() {
        m_last = Clock::now();
        m_worst = {};
        m_timer.start(kTick);
    }
    Clock::duration Worst() const { return m_worst; }

private:
    static constexpr std::chrono::milliseconds kTick{10};
    QTimer m_timer;
    Clock::time_point m_last;
    Clock::duration m_worst{};
};

void RunEventsFor(std::chrono::duration<double> span) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(span);
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

long CurrentResidentKb() {
    long kb = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) kb = std::atol(line.c_str() + 6);
    return kb;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    qputenv("ORINTPX_EMULATOR", "rate=0");
    QApplication application(argc, argv);
    const bench::TempFolder folder("marlo-desktop-bench");
    std::filesystem::current_path(folder.Path());
    testsupport::RecordingMessageBox messages;
    app::ProgramDocuments documents;
    app::CMainFrame frame(documents);
    Peer(frame).SetUiServices(std::make_unique<testsupport::ScriptedUi>());
    frame.show();
    LatenessProbe probe;

    // The live list, then Trace > Stop.
    frame.Action(app::ID_FILE_OPEN)->trigger();
    views::CTraceChildFrame* window = frame.ActiveTraceFrame();
    auto& doc = dynamic_cast<adapter::CMarloTrcDoc&>(window->GetDocument());
    probe.Start();
    const auto started = Clock::now();
    frame.Action(app::ID_TRACE_START)->trigger();
    // Resident memory at half time and at the end: what each further record
    // costs, fixed costs apart.
    RunEventsFor(std::chrono::duration<double>(seconds / 2));
    const long residentHalf = CurrentResidentKb();
    const int rowsHalf = window->ListView()->model()->rowCount();
    RunEventsFor(std::chrono::duration<double>(seconds / 2));
    const long residentEnd = CurrentResidentKb();
    const int rows = window->ListView()->model()->rowCount();
    const double rate = rows / Seconds(Clock::now() - started);
    const auto late = probe.Worst();
    const auto stopAt = Clock::now();
    frame.Action(app::ID_TRACE_STOP)->trigger();
    QCoreApplication::processEvents();
    const auto stopTook = Clock::now() - stopAt;
    const auto status = doc.GetCaptureStatus();
    const long long written = status ? static_cast<long long>(status->recordsWritten) : -1;
    const int kept = doc.GetTraceLog()->GetRecordCount();
    std::printf("live list: %d rows in %.1f s; stop: %lld records written, %d in the document, %d rows\n", rows,
                seconds, written, kept, window->ListView()->model()->rowCount());
    bench::Result("desktop live list at full speed", rate, "records/s", "value>=100000");
    bench::Result("desktop live list, event loop late at worst", Millis(late), "ms", "value<100");
    bench::Result("desktop Trace > Stop after capture at full speed", Millis(stopTook), "ms", "value<1000");
    bench::Result("desktop records written but not in the list", static_cast<double>(written - kept), "records",
                  "value<=0");
    if (rows > rowsHalf)
        bench::Result("desktop live capture, resident per further record",
                      static_cast<double>(residentEnd - residentHalf) * 1024.0 / (rows - rowsHalf), "bytes", "-");
    messages.ScriptAnswers({platform::MbResult::No});
    frame.CloseAllDocuments();

    // Another capture, then File > Exit with No to the save question.
    frame.Action(app::ID_FILE_OPEN)->trigger();
    frame.Action(app::ID_TRACE_START)->trigger();
    RunEventsFor(std::chrono::duration<double>(seconds));
    messages.ScriptAnswers({platform::MbResult::No});
    const auto exitAt = Clock::now();
    frame.Action(app::ID_APP_EXIT)->trigger();
    const auto exitTook = Clock::now() - exitAt;
    std::printf("exit: %zu documents left\n", Peer(frame).DocumentCount());
    bench::Result("desktop File > Exit after capture at full speed", Millis(exitTook), "ms", "value<1000");
    return Peer(frame).DocumentCount() == 0 ? 0 : 1;
}
