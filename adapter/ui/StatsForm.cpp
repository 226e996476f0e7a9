#include "adapter/ui/StatsForm.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "adapter/ui/PageLayout.h"

namespace adapter::ui {

namespace {

// Counters are 32-bit values shown signed; a type is at most "ISDN S/T Interface".
const QString kWidestFigure = QStringLiteral("ISDN S/T Interface");

template <std::size_t N>
QGroupBox* Group(const QString& title, const QString& prefix, const std::array<StatisticsRow, N>& rows,
                 std::array<QLabel*, N>& values, Qt::Alignment alignment) {
    auto* group = new QGroupBox(title);
    group->setObjectName(prefix + QStringLiteral("Group"));
    QFormLayout* form = MakeFormLayout();
    for (std::size_t i = 0; i < N; ++i) {
        // Named after the caption without its colon: "link1InOctets".
        QString name = Latin1(rows[i].label);
        name.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
        values[i] = MakeValueLabel(prefix + name, QString(), kWidestFigure, alignment | Qt::AlignVCenter);
        form->addRow(Latin1(rows[i].label), values[i]);
    }
    group->setLayout(form);
    return group;
}

template <std::size_t N>
void Show(const std::array<StatisticsRow, N>& rows, const std::array<QLabel*, N>& values) {
    for (std::size_t i = 0; i < N; ++i) values[i]->setText(Latin1(rows[i].text));
}

}  // namespace

void CStatsForm::SetRefreshPeriod(std::chrono::milliseconds period) {
    m_periodMs = static_cast<std::uint32_t>(std::clamp<std::chrono::milliseconds::rep>(period.count(), 1, std::numeric_limits<int>::max()));
    if (m_qtimer.isActive()) m_qtimer.start(static_cast<int>(m_periodMs));
}

bool CStatsForm::Timer::Start(std::uint32_t periodMs) {
    m_timer.start(static_cast<int>(periodMs));
    return m_timer.isActive();
}

CStatsForm::CStatsForm(CMarloTrcDoc& document, std::shared_ptr<CardWindowFlags> flags,
                       std::function<void(int)> setWindowFlag, QWidget* parent)
    : QWidget(parent), m_flags(std::move(flags)), m_setWindowFlag(std::move(setWindowFlag)) {
    m_refresh = std::make_unique<CStatisticsRefresh>(document, *m_flags, m_timer,
                                                     [this](const StatisticsSnapshot& s) { SetStatistics(s); });
    m_qtimer.setTimerType(Qt::CoarseTimer);
    connect(&m_qtimer, &QTimer::timeout, this, [this] { m_refresh->OnTimer(); });

    // The captions come from the texts module, so form and trctool agree.
    const auto lineRows = LineStatisticsRows(LineStatisticsCopy{});
    const auto linkRows = LinkStatisticsRows(LinkStatisticsCopy{});
    // The line's two texts read as text beside their captions; the links'
    // columns of counters line up on the right, as figures do.
    auto* lineGroup = Group(tr("Line Statistics"), QStringLiteral("line"), lineRows, m_line, Qt::AlignLeft);
    auto* link1Group = Group(tr("Link 1 Statistics"), QStringLiteral("link1"), linkRows, m_link1, Qt::AlignRight);
    auto* link2Group = Group(tr("Link 2 Statistics"), QStringLiteral("link2"), linkRows, m_link2, Qt::AlignRight);

    m_reset = new QPushButton(tr("&Reset"));
    m_reset->setObjectName(QStringLiteral("reset"));
    connect(m_reset, &QPushButton::clicked, this, [this] { m_refresh->ResetStatistics(); });

    auto* links = new QHBoxLayout;
    links->addWidget(link1Group);
    links->addWidget(link2Group);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_reset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lineGroup);
    layout->addLayout(links);
    layout->addLayout(buttons);
    layout->addStretch(1);
    setMinimumSize(sizeHint());
}

CStatsForm::~CStatsForm() {
    // Stop without a message, before the timer and the labels go.
    m_refresh->StopRefresh({});
    if (m_started && m_setWindowFlag) m_setWindowFlag(0);
}

void CStatsForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_started) OnInitialUpdate();
}

void CStatsForm::OnInitialUpdate() {
    if (m_started) return;
    m_started = true;
    m_refresh->Start(m_periodMs);
    if (m_setWindowFlag) m_setWindowFlag(1);
}

void CStatsForm::SetStatistics(const StatisticsSnapshot& snapshot) {
    Show(LineStatisticsRows(snapshot.line), m_line);
    Show(LinkStatisticsRows(snapshot.link1), m_link1);
    Show(LinkStatisticsRows(snapshot.link2), m_link2);
}

}  // namespace adapter::ui
