#pragma once
// CMarloTrcDoc: the adapter trace document, one per opened adapter. This part
// is its command client: it registers with the Tpx library, opens the
// adapter, sends each command and waits for the answer on the response
// event, and keeps what the answers say (statistics copies, configuration).
// Owned by the application; every member runs on the user-interface thread.
// The only other thread is the library's monitor thread, met through the
// response block and the two named events.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adapter/AdapterConfiguration.h"
#include "adapter/StatusTexts.h"
#include "linekit/tpx.h"
#include "platform/Event.h"
#include "trace/Document.h"
#include "trace/LogFile.h"
#include "trace/TraceLog.h"
#include "trace/UiServices.h"

namespace adapter {

// The document's copy of the last line statistics record (17 bytes).
struct LineStatisticsCopy {
    std::array<std::uint8_t, 8> reserved{};  // bytes 0-7, not shown
    std::uint32_t reservedValue = 0;         // bytes 8-11, not shown
    std::uint32_t lastChanged = 0;           // hundredths of a second
    std::uint8_t lineType = 0;               // 75 S/T interface, 76 U interface
};

// The document's copy of one link's last statistics record (57 bytes).
struct LinkStatisticsCopy {
    std::uint32_t linkNumber = 0;  // 1 or 2
    std::array<std::uint8_t, 4> reserved{};
    std::uint32_t reservedValue = 0;
    std::uint32_t lastChanged = 0;  // hundredths of a second
    std::uint32_t mtu = 0;
    std::uint32_t inOctets = 0;
    std::uint32_t inPackets = 0;
    std::uint32_t inPacketTotal = 0;
    std::uint32_t inDiscards = 0;
    std::uint32_t inErrors = 0;
    std::uint32_t outOctets = 0;
    std::uint32_t outPackets = 0;
    std::uint32_t outPacketTotal = 0;
    std::uint32_t outDiscards = 0;
    std::uint32_t outErrors = 0;
    std::uint8_t linkType = 0;  // 76 LAPD, 63 ISDN signalling
};

inline constexpr std::size_t kMaxAdapters = TPX_MAX_ADAPTERS;
// How long the document waits for the card to answer a command.
inline constexpr std::chrono::milliseconds kResponseTimeout{10000};

// Told the user when the adapter does not answer a command in time.
inline constexpr std::string_view kDriverNotResponding =
    "The driver is not responding.\nThere is potential for loss of signal.\nPlease check the configuration.";

// An open that failed, as the user is told it: the library's text ("Tpx
// Register 6"), and after a failed registration what it means ("...: no
// adapter card answered: the device ... is not there"). Other texts are
// returned as they are.
std::string ExplainOpenFailure(const std::string& errorText);
// The title of the message that says why an adapter did not open.
inline constexpr std::string_view kOpenAdapterCaption = "Open Adapter";

// The application's in-use flag of each adapter index: set by the document
// that opened the adapter, cleared when it closes it, so the selection never
// offers an adapter another document holds. User-interface thread.
bool IsAdapterInUse(std::size_t index);
void SetAdapterInUse(std::size_t index, bool inUse);

// Tells the user, through the message box, that the registry file could not
// be read and why (problem from platform::Registry::LoadSystem), once per
// problem: the same text again is not repeated until a read succeeds (an
// empty problem). The fields keep what they held ("Not Configured" until a
// good read). User-interface thread.
void ReportRegistryProblem(const std::string& problem);

class CMarloTrcDoc : public trace::CDocument {
public:
    // responseTimeout: how long each command waits for the card's answer
    // before the user is told and the adapter closed (tests shorten it).
    explicit CMarloTrcDoc(trace::UiServices& ui, std::chrono::milliseconds responseTimeout = kResponseTimeout);
    ~CMarloTrcDoc() override;
    CMarloTrcDoc(const CMarloTrcDoc&) = delete;
    CMarloTrcDoc& operator=(const CMarloTrcDoc&) = delete;

    // trace::CDocument
    trace::CTraceLog* GetTraceLog() override { return m_traceLog.get(); }
    // Opens the adapter (the path is not used: OpenAdapter names the
    // document after the adapter) and reads its configuration; shows the
    // error text of a failed open.
    bool OnOpenDocument(const std::filesystem::path& path) override;
    // Before the closing sequence, with the trace still running: asks
    // whether to keep a trace log file that holds records ("Yes" / "No" /
    // "Cancel"; after Save Log File straight away for the name). Cancel, in
    // the question or the save dialog, answers false and changes nothing.
    bool SaveModified() override;
    // The closing sequence: releases the reader, closes the adapter, then
    // keeps the trace log file under the name SaveModified chose or deletes
    // it as the user said. A file holding only its header is deleted without
    // a question; when SaveModified was not asked, it is asked now, and a
    // cancel keeps the file under its own name. Runs once; the shell then
    // destroys the views and the document.
    void OnCloseDocument() override;

    // Trace > Start and Stop.
    // Start begins a new capture showing only its own records: records in
    // the list that are not saved are offered first ("Save" a copy of the
    // file so far / "Discard" / "Cancel"). The list is emptied only once
    // the card has accepted trace control; a refusal keeps it and says why.
    // True when the trace runs.
    bool OnTraceStart();
    // Stop takes every record the file still holds before the reader ends,
    // so the list holds what the file holds; a caller that keeps only a
    // part of the trace (trctool's --count) may leave the rest unread, and
    // one that is told to stop at once (a second Ctrl-C) gives up between
    // two batches when keepTaking answers false.
    void OnTraceStop(bool takeTheRest = true, const std::function<bool()>& keepTaking = {});
    // Trace > Stop is enabled while a reader runs.
    bool CanStopTrace() const { return m_traceLog && m_traceLog->IsRunning(); }
    // While tracing: when the library stopped writing records (a failed
    // write) or the card stopped answering, stops the trace (taking what the
    // file holds), tells the user once and says so in the trace status pane.
    // True when it stopped the trace. The program calls it now and then.
    bool CheckCapture();
    // One batch delivered by the reader: each record added and announced to
    // the views with HINT_RECORD_ADDED, then acknowledged so the reader may
    // go on. Returns 1.
    int OnTraceRecord(trace::TraceReaderParams& params);
    // File > Save Log File: the trace is kept without the question; the
    // shell then closes the document, whose closing sequence asks for the name.
    void OnSaveLogFile() { m_unsaved = false; }
    // The closing sequence deletes the trace log file without a question
    // (trctool without -w: the capture was only printed).
    void DiscardLogFile() { m_fate = LogFileFate::Delete; }
    const trace::CLogFile* GetLogFile() const { return m_logFile.get(); }
    // A document that will never trace (trctool's card commands) opens the
    // adapter without making a trace log file; trace indications are dropped.
    void SetTraceLogFileWanted(bool wanted) { m_logFileWanted = wanted; }
    // The folder the next trace log file is made in (empty: the current one).
    void SetTraceLogFolder(const std::filesystem::path& folder) { m_logFolder = folder; }

    // The command client. Each returns success and leaves a message for its
    // caller in errorText when it fails; response time-outs are shown at
    // once and close the adapter.
    // OpenAdapter on a document whose adapter is open (File > Open Adapter
    // inside it) leaves that adapter only once another one is chosen (the
    // same one again included): its trace then ends as Trace > Stop ends it
    // and it is closed. A registration that fails or a choice cancelled
    // changes nothing, the adapter, its trace and its file included.
    bool OpenAdapter(std::string& errorText);
    // How many times OpenAdapter went past the choice of adapter, leaving
    // the adapter the document had: an open that changed nothing leaves
    // the count as it was.
    unsigned AdapterChanges() const { return m_adapterChanges; }
    bool CloseAdapter(std::string& errorText);
    bool EnableTraceControl(std::string& errorText);
    bool DisableTraceControl(std::string& errorText);
    // Fills the non-null outputs (in StatusText order) and returns the
    // summary: 0 line down, 1 layer 1 or 2 up, 2 layer 3 up, 3 line query failed.
    int QueryLineStatus(std::string& errorText, std::uint32_t links,
                        const std::array<std::string*, kStatusTextCount>& outputs);
    int QueryLineStatus(std::string& errorText, std::uint32_t links, LineStatusTexts& texts);
    bool QueryLineStatistics(std::string& errorText);
    bool QueryLinkStatistics(std::string& errorText, std::uint32_t link);
    bool ZeroLineStatistics(std::string& errorText);
    bool ZeroLinkStatistics(std::string& errorText, std::uint32_t link);
    // The line's statistics, then each link's (link 2 only with two logical
    // terminals); stops at the first command that fails.
    bool QueryStatistics(std::string& errorText);
    bool ZeroStatistics(std::string& errorText);

    // Reads the registry configuration of the opened card into Configuration();
    // a registry file that cannot be read is reported (ReportRegistryProblem).
    void ReadAdapterConfiguration();
    // File > Save Diagnostics: asks for a file name, then writes the report
    // and says where it is (or why it could not be written).
    void SaveDiagnostics();

    bool IsOpened() const { return m_opened; }
    // What the library's record writer and monitor thread have done on the
    // open connection (records written, a write that failed, a card that
    // stopped answering); nullopt when the adapter is not open.
    std::optional<TpxCaptureStatus> GetCaptureStatus() const;
    const AdapterConfiguration& Configuration() const { return m_configuration; }
    const LineStatisticsCopy& LineStatistics() const { return m_lineStatistics; }
    const LinkStatisticsCopy& LinkStatistics(std::uint32_t link) const {
        return link == 2 ? m_link2Statistics : m_link1Statistics;
    }
    std::uint32_t AdapterCount() const { return m_adapterCount; }
    // The adapter names as 8-bit text (the low byte of each 16-bit character).
    std::vector<std::string> AdapterNames() const;

protected:
    // The trace side: creates the trace log file that the library appends
    // trace records to and returns its descriptor; 0 drops trace indications.
    // Runs in every OpenAdapter once the adapter is chosen; its result is
    // not examined.
    virtual std::intptr_t CreateTraceLogFile();

private:
    // Tests' view of the document (tests/adapter/MarloTrcDocPeer.h).
    friend class MarloTrcDocPeer;

    struct Response {
        std::uint32_t result = 0;
        std::vector<std::uint8_t> record;  // the data after the header, copied before the acknowledgement
    };

    // The commands sent to the adapter after it is open; each one's texts
    // and rules are one row of the table in the source.
    enum class CommandId {
        kTraceControlEnable,
        kTraceControlDisable,
        kLineGetStatus,
        kLinkGetStatus,
        kLineGetStatistics,
        kLinkGetStatistics,
        kLineZeroStatistics,
        kLinkZeroStatistics,
    };
    struct Command;
    static const Command& CommandFor(CommandId id);
    // How a command ended: answered and accepted; not sent (errorText says
    // why, unless the adapter was not open); no response in time (the user
    // was told and the adapter is closed); refused by the adapter.
    enum class Outcome { Done, NotSent, NoResponse, Refused };
    // Sends one command, waits for its response and acknowledges it; `use`
    // reads the record of an accepted response before the acknowledgement.
    Outcome RunCommand(CommandId id, std::string& errorText, std::uint32_t link = 0,
                       const std::function<void(const std::vector<std::uint8_t>&)>& use = {});

    // Waits for the response event: nullopt on time-out (nothing is
    // acknowledged then). The response is copied but not yet acknowledged.
    std::optional<Response> WaitForResponse();
    void Acknowledge();
    // True while the adapter is open: a command is then sent to the library;
    // without a response block it fails at once with a closed-adapter code.
    bool HasConnection() const { return m_response != nullptr; }
    void ReleaseResponseBlock();
    void TimedOut(std::string_view message);
    // What the user chose for the records nobody saved (below).
    struct UnsavedRecords {
        bool asked = false;
        std::filesystem::path copyTo;
    };
    // What a registration holds and offers: the device, the client id and
    // the adapters the driver reports.
    struct Registration {
        TpxHandle device = nullptr;
        std::uint32_t clientId = 0;
        std::uint32_t adapterCount = 0;
        std::array<std::array<char16_t, TPX_ADAPTER_NAME_CHARS>, kMaxAdapters> names{};
    };
    // OpenAdapter's steps. Register: a registration of its own, beside the
    // one of an adapter that is open (a failure leaves nothing registered).
    // Choose: the only adapter, or the one the user picks among several
    // (nullopt when the user picks none; the client stays registered).
    // Take: the document leaves the adapter it has and goes by the one
    // chosen. Connect: the response block and its events, then the open (a
    // failure leaves no connection, no registration and no response block).
    bool RegisterClient(Registration& registration, std::string& errorText);
    std::optional<std::size_t> ChooseAdapter(const Registration& offered);
    void TakeAdapter(const Registration& registration, std::size_t chosen, const UnsavedRecords& unsaved);
    bool ConnectAdapter(std::size_t chosen, std::intptr_t captureFile, std::string& errorText);

    // What becomes of the trace log file when the document closes: asked
    // by SaveModified, carried out by KeepOrDeleteLogFile.
    enum class LogFileFate { Undecided, KeepAs, Delete };
    bool DecideLogFileFate();
    void KeepOrDeleteLogFile();
    // Before a new trace (Start, or another adapter opened) leaves the
    // records the list holds and nobody saved, the user is asked whether to
    // keep a copy of them. Nullopt: cancelled (the question or the file
    // dialog). copyTo is empty when nothing was asked or they were discarded.
    std::optional<UnsavedRecords> AskAboutUnsavedRecords();
    // Copies the trace log file to `to`; a failure says so and where the
    // records are kept, after `otherwise` (what did or did not happen).
    bool CopyLogFile(const std::filesystem::path& to, const std::string& otherwise);

    trace::UiServices& m_ui;
    const std::uint32_t m_responseTimeoutMs;
    AdapterConfiguration m_configuration;

    // Trace side: the records, the log file they are kept in, and whether it
    // is saved.
    std::unique_ptr<trace::CTraceLog> m_traceLog = std::make_unique<trace::CTraceLog>();
    std::unique_ptr<trace::CLogFile> m_logFile;
    bool m_unsaved = true;  // cleared only by Save Log File
    LogFileFate m_fate = LogFileFate::Undecided;
    std::filesystem::path m_keepAs;  // with LogFileFate::KeepAs
    // Where in the trace log file the current capture's records begin:
    // the reader skips those of the captures before it.
    std::int64_t m_captureStart = 0;
    bool m_logFileWanted = true;
    std::filesystem::path m_logFolder;
    bool m_closed = false;  // the closing sequence has run

    // Command client: the connection to the adapter, the copies of its
    // statistics, and the adapters it offered.
    std::unique_ptr<TpxConnection> m_connection;
    LineStatisticsCopy m_lineStatistics;
    LinkStatisticsCopy m_link1Statistics;
    LinkStatisticsCopy m_link2Statistics;
    std::string m_networkCardNumber;
    TpxHandle m_device = nullptr;
    std::uint32_t m_clientId = 0;
    std::uint32_t m_connectionId = 0;
    std::array<std::array<char16_t, TPX_ADAPTER_NAME_CHARS>, kMaxAdapters> m_adapterNames{};
    std::uint32_t m_adapterCount = 0;
    std::uint32_t m_chosenAdapter = 0;
    bool m_opened = false;
    unsigned m_adapterChanges = 0;
    std::unique_ptr<TpxResponseBlock> m_response;  // exists only while opened
    platform::UniqueEvent m_responseEvent;         // the response block's two events
    platform::UniqueEvent m_ackEvent;
};

}  // namespace adapter
