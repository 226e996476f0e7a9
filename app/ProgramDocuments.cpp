#include "app/ProgramDocuments.h"

#include "platform/MessageBox.h"
#include "trace/MarloLogDoc.h"

namespace app {
namespace {

// Stands in for the adapter document until the adapter side is wired in:
// it opens nothing and says so.
class NoAdapterDoc final : public trace::CDocument {
public:
    trace::CTraceLog* GetTraceLog() override { return nullptr; }
    bool OnOpenDocument(const std::filesystem::path&) override {
        platform::MessageBox("Tpx Register 2");
        return false;
    }
};

}  // namespace

std::shared_ptr<trace::CDocument> ProgramDocuments::CreateDocument(DocumentKind kind, trace::UiServices& ui) {
    if (kind == DocumentKind::Log) return std::make_shared<trace::CMarloLogDoc>(ui);
    return std::make_shared<NoAdapterDoc>();
}

DocumentKind ProgramDocuments::KindOf(const trace::CDocument& document) const {
    return dynamic_cast<const trace::CMarloLogDoc*>(&document) != nullptr ? DocumentKind::Log : DocumentKind::Trace;
}

bool ProgramDocuments::IsTracing(trace::CDocument&) { return false; }
void ProgramDocuments::TraceStart(trace::CDocument&) {}
void ProgramDocuments::TraceStop(trace::CDocument&) {}
void ProgramDocuments::ReopenAdapter(trace::CDocument&) {}
void ProgramDocuments::MarkSaved(trace::CDocument&) {}
void ProgramDocuments::SaveDiagnostics(trace::CDocument&) {}
void ProgramDocuments::ToggleCardStatus(trace::CDocument&) {}
bool ProgramDocuments::IsCardStatusOpen(trace::CDocument&) { return false; }
void ProgramDocuments::ShowInformation(trace::CDocument&) {}
void ProgramDocuments::OnTraceRecord(trace::CDocument&, trace::TraceReaderParams&) {}

}  // namespace app
