// The trace side of the adapter document: its trace log file, Start and Stop
// of a live trace, the records the reader delivers, and what becomes of the
// file when the document closes.

#include "adapter/MarloTrcDoc.h"

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "trace/CaptureExport.h"
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
    if (m_logFile && m_logFile->IsOpen() && m_logFile->GetLength() == static_cast<std::int64_t>(tracefile::kFileHeaderSize)) {
        const std::filesystem::path old = m_logFile->GetFilePath();
        m_logFile->Close();
        std::error_code ec;
        std::filesystem::remove(old, ec);
    }
    m_traceLog->SetLogFile(nullptr);
    // The list shows the records of the document's file: a new file, a new
    // list, whose records nobody has saved yet.
    if (m_traceLog->GetRecordCount() > 0) {
        m_traceLog->DeleteRecords();
        UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    }
    m_captureStart = 0;
    m_unsaved = true;
    if (!m_logFileWanted) return 0;
    trace::CreateTraceLogFile(m_logFile, *m_traceLog, m_logFolder);
    return m_logFile->IsOpen() ? m_logFile->GetFd() : 0;
}

std::optional<CMarloTrcDoc::UnsavedRecords> CMarloTrcDoc::AskAboutUnsavedRecords() {
    UnsavedRecords answer;
    if (!m_unsaved || m_traceLog->GetRecordCount() == 0 || !m_logFile || !m_logFile->IsOpen()) return answer;
    answer.asked = true;
    const std::string question = "The list holds " + std::to_string(m_traceLog->GetRecordCount()) +
                                 " records that are not saved.\nSave them before the new trace starts?";
    const platform::MbResult choice = platform::MessageBox(question, {}, platform::MbButtons::SaveDiscardCancel);
    if (choice == platform::MbResult::Cancel) return std::nullopt;
    if (choice == platform::MbResult::Yes) {
        const std::filesystem::path live = m_logFile->GetFilePath();
        const auto chosen = trace::AskTraceLogFileName(m_ui, live);
        if (!chosen) return std::nullopt;
        if (*chosen != live) answer.copyTo = *chosen;  // the file's own name: it is there already
    }
    return answer;
}

bool CMarloTrcDoc::CopyLogFile(const std::filesystem::path& to, const std::string& otherwise) {
    const std::filesystem::path live = m_logFile->GetFilePath();
    const trace::ExportResult copied = trace::WriteFileBeside(to, /*replaceExisting=*/true, [&](int fd) {
        trace::ExportResult result;
        const int error = platform::CopyFileInto(live, fd);
        result.ok = error == 0;
        if (error != 0) result.error = platform::ErrorText(error);
        return result;
    });
    if (!copied.ok) {
        platform::MessageBox("The records could not be saved as " + to.string() + ":\n" + copied.error + ".\n" +
                             otherwise + live.string() + ".");
        return false;
    }
    m_ui.SetTraceStatusText("TRACE: Saved as " + to.string());
    m_ui.AddToRecentFiles(to.string());
    return true;
}

bool CMarloTrcDoc::OnTraceStart() {
    if (!m_traceLog) return false;
    if (!GetViews().empty()) m_traceLog->SetTarget(GetViews().front()->GetRecordTarget());
    if (!m_traceLog->GetTarget()) return false;  // nobody to hand records to: a reader would wait forever
    const std::optional<UnsavedRecords> unsaved = AskAboutUnsavedRecords();
    if (!unsaved) return false;
    // A copy of the file as it is: the trace goes on in the same file.
    if (!unsaved->copyTo.empty() &&
        !CopyLogFile(unsaved->copyTo, "The trace was not started; the list is as it was, and its records are kept in "))
        return false;
    // Saved or discarded: the new capture shows only its own records (the
    // file keeps the earlier ones until the document closes).
    if (unsaved->asked) m_captureStart = m_logFile->GetLength();

    // The list is emptied only once the card traces: a refusal keeps it.
    std::string errorText;
    if (!EnableTraceControl(errorText)) {
        platform::MessageBox(errorText.empty() ? std::string("Could not start trace.")
                                               : "Could not start trace.\n" + errorText);
        m_ui.SetTraceStatusText(errorText.empty() ? std::string("TRACE: Could not start")
                                                  : "TRACE: Could not start: " + errorText);
        return false;
    }
    m_traceLog->DeleteRecords();
    UpdateAllViews(nullptr, trace::HINT_TRACE_RESTARTED);
    m_traceLog->StartReader();
    m_ui.SetTraceStatusText("TRACE: Reading from " + m_traceLog->GetLogPath());
    return true;
}

void CMarloTrcDoc::OnTraceStop(bool takeTheRest, const std::function<bool()>& keepTaking) {
    if (!m_traceLog) return;
    m_ui.BeginWaitCursor();
    std::string errorText;
    DisableTraceControl(errorText);
    // The card has stopped sending (or is gone) and the library has written
    // every record it received: take all of them, so the list holds what the
    // file holds, unless the caller gives up on them between two batches.
    if (takeTheRest)
        m_traceLog->StopReader([this, &keepTaking](trace::TraceReaderParams& params) {
            OnTraceRecord(params);
            return !keepTaking || keepTaking();
        });
    else
        m_traceLog->StopReader();
    m_ui.SetTraceStatusText("TRACE: Stopped reading from log file " + m_traceLog->GetLogPath());
    m_ui.EndWaitCursor();
    // Frames the library could not write are lost from the trace: said, not
    // left for the user to find missing.
    if (const std::optional<TpxCaptureStatus> status = GetCaptureStatus(); status && status->framesTooLong != 0) {
        const std::uint32_t n = status->framesTooLong;
        platform::MessageBox(std::to_string(n) + (n == 1 ? " frame" : " frames") + " longer than a record holds (" +
                             std::to_string(tracefile::kMaxDChannelData) + " octets) " + (n == 1 ? "was" : "were") +
                             " not kept.");
    }
}

bool CMarloTrcDoc::CheckCapture() {
    if (!CanStopTrace()) return false;
    const std::optional<TpxCaptureStatus> status = GetCaptureStatus();
    if (!status || (status->writeError == 0 && status->running)) return false;
    const TpxCaptureStatus seen = *status;
    OnTraceStop();  // takes every record the file holds
    const std::string path = m_traceLog ? m_traceLog->GetLogPath() : std::string();
    const std::string kept = std::to_string(seen.recordsWritten) + " records were kept in " + path + ".";
    std::string pane;
    if (seen.writeError != 0) {
        const std::string reason = platform::ErrorText(static_cast<int>(seen.writeError));
        platform::MessageBox("Writing the trace log file stopped: " + reason + ".\nThe trace was stopped; " + kept);
        pane = "TRACE: Stopped, writing failed (" + reason + "); " + std::to_string(seen.recordsWritten) +
               " records kept in " + path;
    } else {
        platform::MessageBox("The card stopped answering (error " + std::to_string(seen.readError) +
                             ").\nThe trace was stopped; " + kept);
        pane = "TRACE: Stopped, the card stopped answering; " + std::to_string(seen.recordsWritten) +
               " records kept in " + path;
    }
    m_ui.SetTraceStatusText(pane);
    return true;
}

int CMarloTrcDoc::OnTraceRecord(trace::TraceReaderParams& params) {
    // A message whose batch the stop's drain already took: nothing to do,
    // and no acknowledgement (it would release the reader from another batch).
    if (!m_traceLog || !trace::HasDelivered(params)) return 1;
    // Records of a capture before this one, which the user saved or
    // discarded, are passed over.
    if (m_captureStart > 0)
        std::erase_if(params.records, [this](const auto& r) { return r.fileEnd <= m_captureStart; });
    // Each record is announced as soon as it is stored: a list that keeps
    // only its newest record holds it only until the next.
    m_traceLog->AddReaderRecords(params, [this](int index) { UpdateAllViews(nullptr, trace::HINT_RECORD_ADDED, index); });
    trace::ReleaseDelivered(params);  // the records are copied: the reader may go on
    return 1;
}

bool CMarloTrcDoc::SaveModified() {
    if (m_closed || !m_logFile || !m_logFile->IsOpen()) return true;
    if (m_logFile->GetLength() == static_cast<std::int64_t>(tracefile::kFileHeaderSize)) return true;  // nothing to keep
    return DecideLogFileFate();
}

bool CMarloTrcDoc::DecideLogFileFate() {
    m_fate = LogFileFate::Undecided;
    if (m_unsaved) {
        const platform::MbResult answer = platform::MessageBox(kNotSavedQuestion, {}, platform::MbButtons::YesNoCancel);
        if (answer == platform::MbResult::Cancel) return false;
        if (answer == platform::MbResult::No) {
            m_fate = LogFileFate::Delete;
            return true;
        }
    }
    const std::filesystem::path path = m_logFile->GetFilePath();
    const auto chosen = trace::AskTraceLogFileName(m_ui, path);
    if (!chosen) {
        m_unsaved = true;  // Save Log File cancelled: the next close asks again
        return false;
    }
    m_fate = LogFileFate::KeepAs;
    m_keepAs = *chosen;
    return true;
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
    std::error_code ec;
    if (m_logFile->GetLength() == static_cast<std::int64_t>(tracefile::kFileHeaderSize)) {
        m_logFile.reset();  // closes the file
        std::filesystem::remove(path, ec);  // nothing was traced
        m_ui.SetTraceStatusText("TRACE: Closed");
        return;
    }
    // Closed without SaveModified (the document destroyed, trctool): asked
    // now, and a cancel keeps the file where it is.
    if (m_fate == LogFileFate::Undecided && !DecideLogFileFate()) {
        m_logFile.reset();
        m_ui.SetTraceStatusText("TRACE: Kept as " + path.string());
        m_ui.AddToRecentFiles(path.string());
        return;
    }
    m_logFile.reset();
    if (m_fate == LogFileFate::KeepAs) {
        // A failed move is reported and the trace stays under its own name:
        // nothing the user wanted kept is deleted.
        if (m_keepAs == path || trace::MoveTraceLogFile(path, m_keepAs, /*userAgreedToReplace=*/true)) {
            m_ui.SetTraceStatusText("TRACE: Saved as " + m_keepAs.string());
            m_ui.AddToRecentFiles(m_keepAs.string());
        } else {
            m_ui.SetTraceStatusText("TRACE: Kept as " + path.string());
            m_ui.AddToRecentFiles(path.string());
        }
        return;
    }
    std::filesystem::remove(path, ec);
    m_ui.SetTraceStatusText("TRACE: Closed, " + path.filename().string() + " deleted");
}

}  // namespace adapter
