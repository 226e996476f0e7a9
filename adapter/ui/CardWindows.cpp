#include "adapter/ui/CardWindows.h"

#include "adapter/ui/AdapterInformation.h"
#include "adapter/ui/StatsForm.h"
#include "platform/MessageBox.h"

namespace adapter::ui {

class CCardWindows::RefreshPause {
public:
    explicit RefreshPause(CardWindowFlags& flags) : m_flags(flags), m_saved(flags.statisticsRefresh) {
        m_flags.statisticsRefresh = 0;
    }
    // Puts back what was there: a statistics window that had stopped for
    // good stays stopped.
    ~RefreshPause() { m_flags.statisticsRefresh = m_saved; }
    RefreshPause(const RefreshPause&) = delete;
    RefreshPause& operator=(const RefreshPause&) = delete;

private:
    CardWindowFlags& m_flags;
    int m_saved;
};

CCardWindows::CCardWindows(CMarloTrcDoc& document, QWidget* mainWindow)
    : m_document(document), m_mainWindow(mainWindow) {}

// The document is closing: its status window goes with it.
CCardWindows::~CCardWindows() { delete m_statusFrame.data(); }

void CCardWindows::ToggleCardStatus() {
    if (m_flags->statusWindow != 0) {
        delete m_statusFrame.data();
        m_flags->statusWindow = 0;
        return;
    }
    RefreshPause pause(*m_flags);
    LineStatusTexts texts = InitialStatusTexts();
    std::string errorText;
    // Both links, whatever is configured: the Link 2 page says when it is not.
    m_document.QueryLineStatus(errorText, 2, texts);
    // A time-out has been reported by the command client itself and leaves
    // no text; a library error or a refusal has not.
    if (!errorText.empty()) platform::MessageBox(kCardNotResponding);
    auto* frame = new CStatusFrame(texts, m_mainWindow);
    connect(frame, &QObject::destroyed, this, &CCardWindows::OnStatusWindowClosed);
    frame->CenterOverOwner();
    frame->show();
    // Once shown its frame is known, and the centring exact.
    frame->CenterOverOwner();
    m_statusFrame = frame;
    m_flags->statusWindow = 1;
}

void CCardWindows::OnStatusWindowClosed() { m_flags->statusWindow = 0; }

void CCardWindows::OnAdapterOpened() {
    delete m_statusFrame.data();
    m_flags->statusWindow = 0;
}

void CCardWindows::ShowAdapterInformation() {
    m_document.ReadAdapterConfiguration();
    CAdapterInfoSheet sheet(m_document.Configuration(), m_mainWindow);
    sheet.exec();
}

void CCardWindows::SaveDiagnostics() {
    RefreshPause pause(*m_flags);
    m_document.SaveDiagnostics();
}

CStatsForm* CCardWindows::CreateStatsForm(std::function<void(int)> setWindowFlag, QWidget* parent) {
    return new CStatsForm(m_document, m_flags, std::move(setWindowFlag), parent);
}

}  // namespace adapter::ui
