#pragma once
// CMarloLogDoc: a saved trace log file opened for viewing. Its records are
// loaded once, when it opens; it never reads live data. User-interface thread.

#include <filesystem>
#include <memory>

#include "trace/Document.h"
#include "trace/TraceLog.h"
#include "trace/UiServices.h"

namespace trace {

class CMarloLogDoc : public CDocument {
public:
    explicit CMarloLogDoc(UiServices& ui);
    ~CMarloLogDoc() override;

    CTraceLog* GetTraceLog() override { return m_traceLog.get(); }

    // Loads the whole file; fails (the document is then discarded) when the
    // file cannot be read or the loader rejects it.
    bool OnOpenDocument(const std::filesystem::path& path) override;
    // Asks for a name and moves the file there; the document keeps its old
    // path and title. Fails when the user cancels or the move fails.
    bool OnSaveDocument(const std::filesystem::path& path) override;

private:
    UiServices& m_ui;
    std::unique_ptr<CTraceLog> m_traceLog;
};

// Moves a trace log file to the name the user chose, telling the user why
// when it cannot; the file then stays where it was. Returns true on success.
bool MoveTraceLogFile(const std::filesystem::path& from, const std::filesystem::path& to, bool userAgreedToReplace);

}  // namespace trace
