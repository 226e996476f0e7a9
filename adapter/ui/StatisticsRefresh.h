#pragma once
// CStatisticsRefresh: what the statistics window does with the adapter, kept
// apart from its widgets: zeroing the counters on opening and on Reset,
// refreshing on each timer tick, and stopping for good after the first
// failure. Owned by CStatsForm; user-interface thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/CardWindowFlags.h"

namespace adapter::ui {

inline constexpr std::uint32_t kStatisticsPeriodMs = 5000;  // between two refreshes of the figures
inline constexpr std::string_view kNoTimerMessage = "The data will not be updated auotmatically.";

// The window's timer, by the form (a QTimer) or by a test.
class RefreshTimer {
public:
    virtual ~RefreshTimer() = default;
    // False when no timer could be had.
    virtual bool Start(std::uint32_t periodMs) = 0;
    virtual void Stop() = 0;
};

// What the form shows: the document's statistics copies as last read.
struct StatisticsSnapshot {
    LineStatisticsCopy line;
    LinkStatisticsCopy link1;
    LinkStatisticsCopy link2;
};

class CStatisticsRefresh {
public:
    // show is called with the figures after each successful refresh.
    CStatisticsRefresh(CMarloTrcDoc& document, CardWindowFlags& flags, RefreshTimer& timer,
                       std::function<void(const StatisticsSnapshot&)> show);
    ~CStatisticsRefresh();
    CStatisticsRefresh(const CStatisticsRefresh&) = delete;
    CStatisticsRefresh& operator=(const CStatisticsRefresh&) = delete;

    // The window's initial update: zero the counters, start the timer and
    // read the figures at once. periodMs is the timer's period.
    void Start(std::uint32_t periodMs = kStatisticsPeriodMs);
    // A timer tick: refreshes while the document's refresh flag is set.
    void OnTimer();
    void RefreshStatistics();
    // Zeroes the adapter's counters (also "&Reset"); the figures change at
    // the next refresh.
    void ResetStatistics();
    // Shows message when it is not empty, stops the timer and clears the
    // refresh flag. Only reopening the window refreshes again.
    void StopRefresh(std::string_view message);

    bool IsTimerRunning() const { return m_timerRunning; }

private:
    bool RunStatisticsCommand(bool (CMarloTrcDoc::*command)(std::string&));

    CMarloTrcDoc& m_document;
    CardWindowFlags& m_flags;
    RefreshTimer& m_timer;
    std::function<void(const StatisticsSnapshot&)> m_show;
    bool m_timerRunning = false;
    // A message box of the command client runs a nested event loop in which
    // the timer ticks (a tick's own handler is not re-entered, but the first
    // refresh and Reset run outside a tick); a tick that arrives inside a
    // conversation with the adapter is dropped instead of starting a second.
    bool m_busy = false;
};

}  // namespace adapter::ui
