// trctool stats: the line and link statistics with the statistics window's
// labels; --reset zeroes the counters first, --watch refreshes every 5
// seconds (the window's timer period) until interrupted.

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "adapter/StatisticsTexts.h"
#include "tools/AdapterSession.h"
#include "tools/Commands.h"

namespace tools {

namespace {

constexpr int kRefreshSeconds = 5;

template <std::size_t N>
void PrintRows(const char* heading, const std::array<adapter::StatisticsRow, N>& rows) {
    std::printf("%s\n", heading);
    for (const auto& row : rows) std::printf("  %-20s %s\n", row.label.data(), row.text.c_str());
}

bool ResetStatistics(adapter::CMarloTrcDoc& doc, std::string& errorText) {
    if (!doc.ZeroLineStatistics(errorText)) return false;
    if (!doc.ZeroLinkStatistics(errorText, 1)) return false;
    if (doc.Configuration().logicalTerminalCount == 2 && !doc.ZeroLinkStatistics(errorText, 2)) return false;
    return true;
}

bool RefreshStatistics(adapter::CMarloTrcDoc& doc, std::string& errorText) {
    if (!doc.QueryLineStatistics(errorText)) return false;
    if (!doc.QueryLinkStatistics(errorText, 1)) return false;
    if (doc.Configuration().logicalTerminalCount == 2 && !doc.QueryLinkStatistics(errorText, 2)) return false;
    return true;
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

int RunStats(std::span<char* const> args) {
    const Command& self = FindCommand("stats");
    std::vector<std::string> rest(args.begin(), args.end());
    AdapterSession session;
    std::string problem;
    if (!TakeAdapterOption(rest, session.ui.adapter, problem)) return UsageError(self, problem);
    bool reset = false;
    bool watch = false;
    for (const std::string& arg : rest) {
        if (arg == "--reset") {
            reset = true;
        } else if (arg == "--watch") {
            watch = true;
        } else if (arg == "--help" || arg == "-h") {
            return PrintCommandHelp(self);
        } else {
            return UsageError(self, "unknown argument " + arg);
        }
    }

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
    if (reset && !ResetStatistics(doc, errorText)) {
        return std::max(CommandStatus(session, true, errorText), 1);
    }
    for (bool first = true;; first = false) {
        if (!RefreshStatistics(doc, errorText)) return std::max(CommandStatus(session, true, errorText), 1);
        if (!first) std::printf("\n");
        PrintRows("Line Statistics", adapter::LineStatisticsRows(doc.LineStatistics()));
        PrintRows("Link 1 Statistics", adapter::LinkStatisticsRows(doc.LinkStatistics(1)));
        PrintRows("Link 2 Statistics", adapter::LinkStatisticsRows(doc.LinkStatistics(2)));
        std::fflush(stdout);
        if (!watch || !WaitForNextRefresh(stopSignals)) break;
    }
    return 0;
}

}  // namespace tools
