#include "adapter/ui/StatisticsRefresh.h"

#include "platform/MessageBox.h"

namespace adapter::ui {

namespace {

// Marks a conversation with the adapter for the time of one operation.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_busy;
};

}  // namespace

CStatisticsRefresh::CStatisticsRefresh(CMarloTrcDoc& document, CardWindowFlags& flags, RefreshTimer& timer,
                                       std::function<void(const StatisticsSnapshot&)> show)
    : m_document(document), m_flags(flags), m_timer(timer), m_show(std::move(show)) {}

// The window going away stops refreshing without a message.
CStatisticsRefresh::~CStatisticsRefresh() { StopRefresh({}); }

void CStatisticsRefresh::Start(std::uint32_t periodMs) {
    ResetStatistics();
    // A failed zeroing has stopped refreshing, yet the timer starts all the
    // same; its first refresh then tells what is wrong.
    if (m_timer.Start(periodMs)) {
        m_timerRunning = true;
        m_flags.statisticsRefresh = 1;
        RefreshStatistics();
    } else {
        platform::MessageBox(kNoTimerMessage);
    }
}

void CStatisticsRefresh::OnTimer() {
    if (m_flags.statisticsRefresh != 0 && m_timerRunning && !m_busy) RefreshStatistics();
}

// Runs one statistics command of the document unless one is under way; a
// failure stops refreshing (after the conversation has ended) with its
// message. False when it did not run or failed.
bool CStatisticsRefresh::RunStatisticsCommand(bool (CMarloTrcDoc::*command)(std::string&)) {
    if (m_busy) return false;
    std::string errorText;
    bool ok = true;
    {
        BusyScope busy(m_busy);
        ok = (m_document.*command)(errorText);
    }
    if (!ok) StopRefresh(errorText);
    return ok;
}

void CStatisticsRefresh::RefreshStatistics() {
    if (!RunStatisticsCommand(&CMarloTrcDoc::QueryStatistics)) return;  // the figures stay as last shown
    // Link 2's figures come from its copy also when it was not asked: the
    // last values read, or zeros.
    if (m_show) m_show({m_document.LineStatistics(), m_document.LinkStatistics(1), m_document.LinkStatistics(2)});
}

void CStatisticsRefresh::ResetStatistics() { RunStatisticsCommand(&CMarloTrcDoc::ZeroStatistics); }

void CStatisticsRefresh::StopRefresh(std::string_view message) {
    // Stopped before the message is shown, so the message's event loop
    // delivers no tick.
    m_timer.Stop();
    m_timerRunning = false;
    m_flags.statisticsRefresh = 0;
    if (!message.empty()) platform::MessageBox(message);
}

}  // namespace adapter::ui
