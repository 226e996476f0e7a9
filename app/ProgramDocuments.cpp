#include "app/ProgramDocuments.h"

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/CardWindows.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"
#include "trace/MarloLogDoc.h"
#include "trace/TraceLog.h"

namespace app {
namespace {

adapter::CMarloTrcDoc& Adapter(trace::CDocument& document) { return dynamic_cast<adapter::CMarloTrcDoc&>(document); }

}  // namespace

std::shared_ptr<trace::CDocument> ProgramDocuments::CreateDocument(DocumentKind kind, trace::UiServices& ui) {
    if (kind == DocumentKind::Log) return std::make_shared<trace::CMarloLogDoc>(ui);
    // Owned together with its card windows, which go when it goes.
    return m_cardWindows.Adopt(std::make_shared<adapter::CMarloTrcDoc>(ui));
}

DocumentKind ProgramDocuments::KindOf(const trace::CDocument& document) const {
    return dynamic_cast<const adapter::CMarloTrcDoc*>(&document) != nullptr ? DocumentKind::Trace : DocumentKind::Log;
}

bool ProgramDocuments::IsTracing(trace::CDocument& document) {
    const trace::CTraceLog* log = document.GetTraceLog();
    return log != nullptr && log->IsRunning() != 0;
}

void ProgramDocuments::TraceStart(trace::CDocument& document) { Adapter(document).OnTraceStart(); }
void ProgramDocuments::TraceStop(trace::CDocument& document) { Adapter(document).OnTraceStop(); }

Reopened ProgramDocuments::ReopenAdapter(trace::CDocument& document) {
    // The document ends the trace of the adapter it leaves, once another
    // one is chosen; a cancel keeps the adapter, its trace and its windows.
    adapter::CMarloTrcDoc& doc = Adapter(document);
    const unsigned changes = doc.AdapterChanges();
    std::string errorText;
    const bool opened = doc.OpenAdapter(errorText);
    if (!opened && !errorText.empty()) platform::MessageBox(adapter::ExplainOpenFailure(errorText), adapter::kOpenAdapterCaption);
    if (doc.AdapterChanges() == changes) return Reopened::Unchanged;
    if (adapter::ui::CCardWindows* windows = m_cardWindows.Find(document)) windows->OnAdapterOpened();
    return opened ? Reopened::Opened : Reopened::NotOpened;
}

void ProgramDocuments::MarkSaved(trace::CDocument& document) { Adapter(document).OnSaveLogFile(); }

void ProgramDocuments::SaveDiagnostics(trace::CDocument& document) {
    if (adapter::ui::CCardWindows* windows = m_cardWindows.Find(document)) windows->SaveDiagnostics();
}

void ProgramDocuments::ToggleCardStatus(trace::CDocument& document) {
    if (adapter::ui::CCardWindows* windows = m_cardWindows.Find(document)) windows->ToggleCardStatus();
}

bool ProgramDocuments::IsCardStatusOpen(trace::CDocument& document) {
    const adapter::ui::CCardWindows* windows = m_cardWindows.Find(document);
    return windows != nullptr && windows->IsCardStatusOpen();
}

void ProgramDocuments::ShowInformation(trace::CDocument& document) {
    if (adapter::ui::CCardWindows* windows = m_cardWindows.Find(document)) windows->ShowAdapterInformation();
}

void ProgramDocuments::AttachMainFrame(CMainFrame& frame) {
    m_cardWindows.SetMainWindow(&frame);
    // The main frame outlives every statistics form: it deletes its child
    // windows before anything else of it goes.
    frame.SetStatisticsFormFactory([this](trace::CDocument& document, CMainFrame& owner) {
        return m_cardWindows.CreateStatsForm(document, [&owner](int flag) { owner.SetStatisticsWindowFlag(flag); });
    });
}

bool ProgramDocuments::CheckCapture(trace::CDocument& document) {
    return KindOf(document) == DocumentKind::Trace && Adapter(document).CheckCapture();
}

void ProgramDocuments::OnTraceRecord(trace::CDocument& document, trace::TraceReaderParams& params) {
    Adapter(document).OnTraceRecord(params);
}

}  // namespace app
