#include "trace/MarloLogDoc.h"

#include "platform/File.h"
#include "platform/MessageBox.h"

namespace trace {

CMarloLogDoc::CMarloLogDoc(UiServices& ui) : m_ui(ui), m_traceLog(std::make_unique<CTraceLog>()) {}

CMarloLogDoc::~CMarloLogDoc() = default;

bool CMarloLogDoc::OnOpenDocument(const std::filesystem::path& path) {
    int openError = 0;
    const int loaded = m_traceLog->LoadFile(path, &openError);
    if (openError != 0) {
        platform::MessageBox("Cannot open " + path.string() + ":\n" + platform::ErrorText(openError) + ".");
        return false;
    }
    // 2: a capture cut short, whose frames before the cut open as they are.
    if (loaded == 0) {
        const int intact = m_traceLog->GetRecordCount();
        if (intact == 0) return false;
        const std::string question = "The file " + path.filename().string() + " is damaged. Open the " +
                                     std::to_string(intact) + " records before the damage, read-only?";
        if (platform::MessageBox(question, {}, platform::MbButtons::YesNo) != platform::MbResult::Yes) return false;
        m_damaged = true;
        SetPathName(path.string());
        SetTitle(path.filename().string() + " (intact part of a damaged file, read-only)");
        return true;
    }
    SetPathName(path.string());
    SetTitle(path.filename().string());
    m_ui.AddToRecentFiles(path.string());
    return true;
}

bool CMarloLogDoc::OnSaveDocument(const std::filesystem::path& path) {
    if (m_damaged) {
        platform::MessageBox("This window shows the intact part of a damaged file; it is read-only.");
        return false;
    }
    const auto chosen = m_ui.AskSaveFileName({"log", path.string(), kLogFileFilter, /*confirmOverwrite=*/true});
    if (!chosen) return false;
    if (chosen->string() == path.string()) return true;  // saving under its own name changes nothing
    return MoveTraceLogFile(path, *chosen, /*userAgreedToReplace=*/true);
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
