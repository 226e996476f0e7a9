#include "trace/MarloLogDoc.h"

#include <limits>

#include "platform/File.h"
#include "platform/MessageBox.h"

namespace trace {

CMarloLogDoc::CMarloLogDoc(UiServices& ui) : m_ui(ui), m_traceLog(std::make_unique<CTraceLog>()) {}

CMarloLogDoc::~CMarloLogDoc() = default;

bool CMarloLogDoc::OnOpenDocument(const std::filesystem::path& path) {
    int openError = 0;
    const int first = m_firstRecords > 0 ? m_firstRecords : std::numeric_limits<int>::max();
    const int loaded = m_traceLog->BeginLoad(path, &openError, first);
    if (openError != 0) {
        platform::MessageBox("Cannot open " + path.string() + ":\n" + platform::ErrorText(openError) + ".");
        return false;
    }
    m_path = path;
    if (loaded == CTraceLog::kLoadGoesOn) {
        SetPathName(path.string());
        SetTitle(path.filename().string());
        return true;
    }
    return Settle(loaded) != LoadStep::Refused;
}

CMarloLogDoc::LoadStep CMarloLogDoc::ContinueLoading(int records) {
    if (!m_traceLog->IsLoading()) return LoadStep::Complete;
    const int loaded = m_traceLog->LoadMore(records);
    return loaded == CTraceLog::kLoadGoesOn ? LoadStep::GoesOn : Settle(loaded);
}

void CMarloLogDoc::OnCloseDocument() { m_traceLog->CancelLoad(); }

CMarloLogDoc::LoadStep CMarloLogDoc::Settle(int loaded) {
    // 2: a capture cut short, whose frames before the cut open as they are.
    if (loaded == 0) {
        const int intact = m_traceLog->GetRecordCount();
        if (intact == 0) return LoadStep::Refused;
        const std::string question = "The file " + m_path.filename().string() + " is damaged. Open the " +
                                     std::to_string(intact) + " records before the damage, read-only?";
        if (platform::MessageBox(question, {}, platform::MbButtons::YesNo) != platform::MbResult::Yes)
            return LoadStep::Refused;
        m_damaged = true;
        SetPathName(m_path.string());
        SetTitle(m_path.filename().string() + " (intact part of a damaged file, read-only)");
        return LoadStep::IntactPartKept;
    }
    SetPathName(m_path.string());
    SetTitle(m_path.filename().string());
    m_ui.AddToRecentFiles(m_path.string());
    return LoadStep::Complete;
}

bool CMarloLogDoc::OnSaveDocument(const std::filesystem::path& path) {
    if (m_damaged) {
        platform::MessageBox("This window shows the intact part of a damaged file; it is read-only.");
        return false;
    }
    const auto chosen = AskTraceLogFileName(m_ui, path);
    if (!chosen) return false;
    if (*chosen == path) return true;  // saving under its own name changes nothing
    if (!MoveTraceLogFile(path, *chosen, /*userAgreedToReplace=*/true)) return false;
    m_path = *chosen;
    SetPathName(m_path.string());
    SetTitle(m_path.filename().string());
    m_ui.AddToRecentFiles(m_path.string());
    return true;
}

namespace {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) return true;
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

}  // namespace

std::optional<std::filesystem::path> AskTraceLogFileName(UiServices& ui, const std::filesystem::path& current) {
    std::filesystem::path proposed = current;
    for (;;) {
        const auto chosen = ui.AskSaveFileName({"log", proposed.string(), kLogFileFilter, /*confirmOverwrite=*/false});
        if (!chosen) return std::nullopt;
        if (SameFile(*chosen, current)) return current;
        std::error_code error;
        if (!std::filesystem::exists(*chosen, error)) return chosen;
        const std::string question = chosen->filename().string() + " already exists.\nDo you want to replace it?";
        if (platform::MessageBox(question, {}, platform::MbButtons::YesNo) == platform::MbResult::Yes) return chosen;
        proposed = *chosen;
    }
}

bool MoveTraceLogFile(const std::filesystem::path& from, const std::filesystem::path& to, bool userAgreedToReplace) {
    const int error = platform::MoveFile(
        from, to, userAgreedToReplace ? platform::MoveMode::kReplaceExisting : platform::MoveMode::kKeepExisting);
    if (error == 0) return true;
    platform::MessageBox("The trace log file could not be saved as " + to.string() + ":\n" +
                         platform::ErrorText(error) + ".\nIt is kept as " + from.string() + ".");
    return false;
}

}  // namespace trace
