// The trace side of the adapter document: its trace log file, Start and Stop
// of a live trace, the records the reader delivers, and what becomes of the
// file when the document closes.

#include "adapter/MarloTrcDoc.h"

#include "platform/MessageBox.h"
#include "trace/MarloLogDoc.h"

namespace adapter {

namespace {

// Asked when a trace document closes with its log file not saved.
constexpr std::string_view kNotSavedQuestion = "You have not saved the trace log file.\n Would you like to save it?";

}  // namespace

std::intptr_t CMarloTrcDoc::CreateTraceLogFile() {
    if (m_traceLog->IsRunning()) m_traceLog->StopReader();  // it follows the file being replaced
    // Opening the adapter again starts a further file; an earlier one that
    // holds nothing but its header is not worth keeping.
    if (m_logFile && m_logFile->IsOpen() && m_logFile->GetLength() == static_cast<std::int64_t>(trace::kFileHeaderSize)) {
        const std::filesystem::path old = m_logFile->GetFilePath();
        m_logFile->Close();
        std::error_code ec;
        std::filesystem::remove(old, ec);
    }
    m_traceLog->SetLogFile(nullptr);
    if (!m_logFileWanted) return 0;
    trace::CreateTraceLogFile(m_logFile, *m_traceLog);
    return m_logFile->IsOpen() ? m_logFile->GetFd() : 0;
}

void CMarloTrcDoc::OnTraceStart() {
    if (!m_traceLog) return;
    m_traceLog->DeleteRecords();
    UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    if (!GetViews().empty()) m_traceLog->SetTarget(GetViews().front()->GetRecordTarget());
    if (!m_traceLog->GetTarget()) return;  // nobody to hand records to: a reader would wait forever

    std::string errorText;
    if (!EnableTraceControl(errorText)) {
        platform::MessageBox("Could not start trace.");
        return;
    }
    m_traceLog->StartReader();
    m_ui.SetTraceStatusText("TRACE: Reading from " + m_traceLog->GetLogPath());
}

void CMarloTrcDoc::OnTraceStop() {
    if (!m_traceLog) return;
    m_ui.BeginWaitCursor();
    std::string errorText;
    DisableTraceControl(errorText);
    m_traceLog->StopReader();
    m_ui.SetTraceStatusText("TRACE: Stopped reading from log file " + m_traceLog->GetLogPath());
    m_ui.EndWaitCursor();
}

int CMarloTrcDoc::OnTraceRecord(trace::TraceReaderParams& params) {
    if (!m_traceLog) return 1;
    const int index = m_traceLog->AddReaderRecord(params);
    if (index >= 0) UpdateAllViews(nullptr, trace::HINT_RECORD_ADDED, index);
    platform::SetEvent(m_traceLog->GetAckEvent());
    return 1;
}

void CMarloTrcDoc::OnCloseDocument() {
    if (m_closed) return;
    m_closed = true;
    if (m_traceLog) platform::SetEvent(m_traceLog->GetAckEvent());  // releases a reader waiting for its ack
    m_traceLog.reset();                                            // stops the reader, destroys the records
    std::string ignored;
    CloseAdapter(ignored);
    KeepOrDeleteLogFile();
}

void CMarloTrcDoc::KeepOrDeleteLogFile() {
    if (!m_logFile || !m_logFile->IsOpen()) return;
    const std::filesystem::path path = m_logFile->GetFilePath();
    const std::int64_t length = m_logFile->GetLength();
    m_logFile.reset();  // closes the file

    std::error_code ec;
    if (length == static_cast<std::int64_t>(trace::kFileHeaderSize)) {
        std::filesystem::remove(path, ec);  // nothing was traced
        return;
    }
    const bool keep = !m_unsaved || platform::MessageBox(kNotSavedQuestion, {}, platform::MbButtons::YesNo) ==
                                        platform::MbResult::Yes;
    if (keep) {
        const auto chosen = m_ui.AskSaveFileName({"log", path.string(), trace::kLogFileFilter, /*confirmOverwrite=*/true});
        if (chosen) {
            // A failed move is reported and the trace stays under its own name:
            // nothing the user wanted kept is deleted.
            if (chosen->string() != path.string()) trace::MoveTraceLogFile(path, *chosen, /*userAgreedToReplace=*/true);
            return;
        }
    }
    std::filesystem::remove(path, ec);
}

}  // namespace adapter
