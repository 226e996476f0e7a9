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
    // file cannot be read or the loader rejects it. A rejected file that
    // holds whole records before the damage (a capture cut short) is offered,
    // after the loader's message, read-only: on Yes the document opens with
    // those records, titled as the intact part of a damaged file.
    bool OnOpenDocument(const std::filesystem::path& path) override;
    // Asks for a name and moves the file there; the document keeps its old
    // path and title. Fails when the user cancels or the move fails, and for
    // the read-only intact part of a damaged file.
    bool OnSaveDocument(const std::filesystem::path& path) override;
    bool IsIntactPartOfDamagedFile() const { return m_damaged; }

private:
    UiServices& m_ui;
    std::unique_ptr<CTraceLog> m_traceLog;
    bool m_damaged = false;
};

// Moves a trace log file to the name the user chose, telling the user why
// when it cannot; the file then stays where it was. Returns true on success.
bool MoveTraceLogFile(const std::filesystem::path& from, const std::filesystem::path& to, bool userAgreedToReplace);

}  // namespace trace
