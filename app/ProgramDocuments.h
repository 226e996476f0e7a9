#pragma once
// The program's documents: CMarloLogDoc for saved trace log files and the
// adapter trace document for the card. User-interface thread.

#include "adapter/ui/CardWindowsTable.h"
#include "app/DocumentServices.h"

namespace app {

class ProgramDocuments final : public DocumentServices {
public:
    std::shared_ptr<trace::CDocument> CreateDocument(DocumentKind kind, trace::UiServices& ui) override;
    DocumentKind KindOf(const trace::CDocument& document) const override;
    bool IsTracing(trace::CDocument& document) override;
    void TraceStart(trace::CDocument& document) override;
    void TraceStop(trace::CDocument& document) override;
    Reopened ReopenAdapter(trace::CDocument& document) override;
    void MarkSaved(trace::CDocument& document) override;
    void SaveDiagnostics(trace::CDocument& document) override;
    void ToggleCardStatus(trace::CDocument& document) override;
    bool IsCardStatusOpen(trace::CDocument& document) override;
    void ShowInformation(trace::CDocument& document) override;
    void OnTraceRecord(trace::CDocument& document, trace::TraceReaderParams& params) override;
    bool CheckCapture(trace::CDocument& document) override;
    // Card Status windows belong to the frame; its statistics window gets its form here.
    void AttachMainFrame(CMainFrame& frame) override;

    adapter::ui::CCardWindowsTable& CardWindows() { return m_cardWindows; }

private:
    adapter::ui::CCardWindowsTable m_cardWindows;  // the card windows of every adapter document
};

}  // namespace app
