#pragma once
// CMarloLogDoc: a saved trace log file opened for viewing. Its records are
// loaded once, when it opens, or in steps after its first records for a
// window that shows them at once; it never reads live data. User-interface
// thread.

#include <filesystem>
#include <memory>
#include <optional>

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

    // Loading in steps: OnOpenDocument then reads only the first `records`
    // records (0: the whole file, the default) and succeeds with them while
    // the rest of the file waits for ContinueLoading.
    void LoadInSteps(int firstRecords) { m_firstRecords = firstRecords; }
    bool IsLoading() const { return m_traceLog->IsLoading(); }
    double LoadedFraction() const { return m_traceLog->LoadedFraction(); }
    int RecordCount() const { return m_traceLog->GetRecordCount(); }
    enum class LoadStep {
        GoesOn,          // more records are left
        Complete,        // every record is loaded
        IntactPartKept,  // damage ended the load and the user kept the records before it, read-only
        Refused,         // damage ended the load and the user declined them: nothing to show
    };
    // Reads up to `records` more records. Damage found on the way is handled
    // as OnOpenDocument handles it (the loader's message, then the question);
    // on Refused the document has nothing to show and is to be closed.
    // Without a load going on, the answer is Complete.
    LoadStep ContinueLoading(int records);
    // Stops a load that is going on.
    void OnCloseDocument() override;
    // Asks for a name and moves the file there; the document then goes by
    // the new name (path, title, recent files). Its own name changes
    // nothing. Fails when the user cancels or the move fails, and for the
    // read-only intact part of a damaged file.
    bool OnSaveDocument(const std::filesystem::path& path) override;
    bool IsIntactPartOfDamagedFile() const { return m_damaged; }

private:
    // What an ended load leaves: the title, the question about a damaged
    // file, the recent files.
    LoadStep Settle(int loaded);

    UiServices& m_ui;
    std::filesystem::path m_path;
    int m_firstRecords = 0;
    std::unique_ptr<CTraceLog> m_traceLog;
    bool m_damaged = false;
};

// Asks where to save the trace log file now at `current`. Its own name is
// taken without a question (saving it there changes nothing); another file
// that exists is replaced only when the user says so, else the dialog comes
// back. nullopt when the user cancelled.
std::optional<std::filesystem::path> AskTraceLogFileName(UiServices& ui, const std::filesystem::path& current);

// Moves a trace log file to the name the user chose, telling the user why
// when it cannot; the file then stays where it was. Returns true on success.
bool MoveTraceLogFile(const std::filesystem::path& from, const std::filesystem::path& to, bool userAgreedToReplace);

}  // namespace trace
