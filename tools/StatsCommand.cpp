// trctool stats: the line and link statistics with the statistics window's
// labels; --reset zeroes the counters first, --watch refreshes every 5
// seconds (the window's timer period) until interrupted, each block headed
// by the time of day.

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "adapter/StatisticsTexts.h"
#include "tools/AdapterSession.h"
#include "tools/Commands.h"
#include "trace/RecordPrinter.h"

namespace tools {

namespace {

constexpr int kRefreshSeconds = 5;

// Every row reads "Label: value", so scripts split rows at the first colon
// (the window's "Out Octets" label has none).
template <std::size_t N>
void PrintRows(const char* heading, const std::array<adapter::StatisticsRow, N>& rows) {
    std::printf("%s\n", heading);
    for (const auto& row : rows) {
        std::string label(row.label);
        if (!label.ends_with(':')) label += ':';
        std::printf("  %-20s %s\n", label.c_str(), trace::EscapeCell(row.text).c_str());
    }
}

// "Time: 14:05:09", the local time of day a --watch block was taken.
void PrintTimeOfDay() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    std::printf("Time: %s\n", text);
}

// Waits one refresh period; false when SIGINT or SIGTERM arrived.
bool WaitForNextRefresh(const sigset_t& stopSignals) {
    timespec period{kRefreshSeconds, 0};
    for (;;) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &period);
        if (signal >= 0) return false;
        if (errno == EAGAIN) return true;
        if (errno != EINTR) return false;
    }
}

}  // namespace

int RunStats(std::span<char* const> args, const CommandContext& context) {
    const Command& self = FindCommand("stats");
    AdapterSession session(context);
    bool reset = false;
    bool watch = false;
    const Option table[] = {
        {"--reset", {}, {}, "zero the counters first", SetFlag(reset)},
        {"--watch", {}, {}, "print them again every 5 seconds until interrupted", SetFlag(watch)},
        AdapterOption(session),
    };
    if (const auto done = ParseArguments(self, table, kCardCommand, args).exitStatus) return *done;

    // Blocked before the library starts its threads, so that only the wait
    // below takes an interrupt and the adapter is closed on the way out.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (watch) pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (const int status = OpenSession(session)) return status;
    adapter::CMarloTrcDoc& doc = *session.doc;
    std::string errorText;
    // A refused or unanswered command fails the whole command, even when it
    // left no text (a refused statistics query closes the adapter).
    if (reset && !doc.ZeroStatistics(errorText)) return std::max(EndSession(session, errorText), 1);
    for (bool first = true;; first = false) {
        if (!doc.QueryStatistics(errorText)) return std::max(EndSession(session, errorText), 1);
        if (!first) std::printf("\n");
        if (watch) PrintTimeOfDay();
        PrintRows("Line Statistics", adapter::LineStatisticsRows(doc.LineStatistics()));
        PrintRows("Link 1 Statistics", adapter::LinkStatisticsRows(doc.LinkStatistics(1)));
        PrintRows("Link 2 Statistics", adapter::LinkStatisticsRows(doc.LinkStatistics(2)));
        std::fflush(stdout);
        if (!watch || !WaitForNextRefresh(stopSignals)) break;
    }
    return EndSession(session, errorText);
}

}  // namespace tools
