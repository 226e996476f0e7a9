#pragma once
// CStatsForm: the Card Statistics window's form: the line statistics and
// those of both links in three groups, refreshed every 5000 ms, with a
// Reset button. The figures come from CStatisticsRefresh; the form only
// shows them. Lives in the statistics child frame of the main window;
// user-interface thread only.

#include <QTimer>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include "adapter/StatisticsTexts.h"
#include "adapter/ui/StatisticsRefresh.h"

class QLabel;
class QPushButton;

namespace adapter::ui {

class CStatsForm final : public QWidget {
    Q_OBJECT
public:
    // setWindowFlag: the main frame's statistics window flag, set to 1 when
    // the form starts and to 0 when it goes.
    CStatsForm(CMarloTrcDoc& document, std::shared_ptr<CardWindowFlags> flags,
               std::function<void(int)> setWindowFlag, QWidget* parent = nullptr);
    ~CStatsForm() override;
    CStatsForm(const CStatsForm&) = delete;
    CStatsForm& operator=(const CStatsForm&) = delete;

    // The initial update: zero, start the timer, first refresh. Runs by
    // itself when the form is first shown.
    void OnInitialUpdate();
    // Shows a snapshot of the statistics copies.
    void SetStatistics(const StatisticsSnapshot& snapshot);

    CStatisticsRefresh& Refresh() { return *m_refresh; }
    QPushButton* ResetButton() const { return m_reset; }
    // The form's timer, whose ticks drive the refresh.
    QTimer* TickTimer() { return &m_qtimer; }

    // The refresh period (5000 ms unless set; tests shorten it). Takes
    // effect when the form starts, or at once when it already runs.
    void SetRefreshPeriod(std::chrono::milliseconds period);

protected:
    void showEvent(QShowEvent* event) override;

private:
    class Timer final : public RefreshTimer {
    public:
        explicit Timer(QTimer& timer) : m_timer(timer) {}
        bool Start(std::uint32_t periodMs) override;
        void Stop() override { m_timer.stop(); }

    private:
        QTimer& m_timer;
    };

    std::shared_ptr<CardWindowFlags> m_flags;
    std::function<void(int)> m_setWindowFlag;
    QTimer m_qtimer;
    Timer m_timer{m_qtimer};
    std::unique_ptr<CStatisticsRefresh> m_refresh;
    std::array<QLabel*, 2> m_line{};
    std::array<QLabel*, kLinkStatisticsRows> m_link1{};
    std::array<QLabel*, kLinkStatisticsRows> m_link2{};
    QPushButton* m_reset = nullptr;
    bool m_started = false;
    std::uint32_t m_periodMs = kStatisticsPeriodMs;
};

}  // namespace adapter::ui
