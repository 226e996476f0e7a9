#pragma once
// The documents as the shell sees them: how each kind is made and what the
// adapter trace document does for its own commands. The program wires the
// real documents; tests hand in documents of their own. User-interface
// thread only.

#include <memory>

#include "trace/Document.h"
#include "trace/TraceReader.h"
#include "trace/UiServices.h"

namespace app {

class CMainFrame;

enum class DocumentKind { Trace, Log };

// How Open Adapter inside an adapter document ended.
enum class Reopened {
    Unchanged,  // cancelled, or failed before another adapter was chosen: all as it was
    Opened,     // the adapter chosen is open
    NotOpened,  // the adapter chosen did not open: the document has none open
};

class DocumentServices {
public:
    virtual ~DocumentServices() = default;

    // The main frame is made: documents' windows that it owns (Card Status,
    // the statistics form) can be made from now on.
    virtual void AttachMainFrame(CMainFrame& /*frame*/) {}

    virtual std::shared_ptr<trace::CDocument> CreateDocument(DocumentKind kind, trace::UiServices& ui) = 0;
    virtual DocumentKind KindOf(const trace::CDocument& document) const = 0;

    // The adapter trace document's commands.
    virtual bool IsTracing(trace::CDocument& document) = 0;
    virtual void TraceStart(trace::CDocument& document) = 0;
    virtual void TraceStop(trace::CDocument& document) = 0;
    // Open Adapter again from inside the document (the document tells the
    // user why when it fails).
    virtual Reopened ReopenAdapter(trace::CDocument& document) = 0;
    // Save Log File: the document stops asking whether to keep its log; the
    // shell then closes it, and the closing sequence offers the save dialog.
    virtual void MarkSaved(trace::CDocument& document) = 0;
    virtual void SaveDiagnostics(trace::CDocument& document) = 0;
    virtual void ToggleCardStatus(trace::CDocument& document) = 0;
    virtual bool IsCardStatusOpen(trace::CDocument& document) = 0;
    virtual void ShowInformation(trace::CDocument& document) = 0;
    // While tracing: stops a trace whose file can no longer be written or
    // whose card stopped answering, telling the user once. Called now and
    // then; true when it stopped one.
    virtual bool CheckCapture(trace::CDocument& /*document*/) { return false; }
    // One record delivered by the live reader, on the user-interface thread:
    // the document builds it, tells its views and acknowledges it.
    virtual void OnTraceRecord(trace::CDocument& document, trace::TraceReaderParams& params) = 0;
};

}  // namespace app
