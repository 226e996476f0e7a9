#include "adapter/MarloTrcDoc.h"

#include <algorithm>
#include <atomic>

#include "adapter/Diagnostics.h"
#include "linekit/tpx_event.h"
#include "platform/Event.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "wire/Bytes.h"

namespace adapter {

namespace {

std::array<std::atomic<bool>, kMaxAdapters> g_adapterInUse{};

// "Tpx Open %d" and its kind: the code as a signed decimal.
std::string WithCode(std::string_view text, std::uint32_t code) {
    return std::string(text) + " " + std::to_string(static_cast<std::int32_t>(code));
}

platform::EventHandle AsEvent(TpxHandle handle) {
    return static_cast<platform::EventHandle>(handle);
}

// Response records are read field by field; a field the record does not
// hold reads as 0, as the adapter leaves out what it does not know.
std::uint32_t ReadU32(const std::vector<std::uint8_t>& record, std::size_t at) {
    return wire::Little(record).U32(at).value_or(0);
}

std::uint8_t ReadU8(const std::vector<std::uint8_t>& record, std::size_t at) {
    return wire::Little(record).U8(at).value_or(0);
}

std::string StateName(std::uint32_t (*lookup)(std::uint32_t, char**), std::uint8_t code) {
    char buffer[TPX_STATE_TEXT_BYTES] = {};
    char* destination = buffer;
    lookup(code, &destination);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string NarrowName(const std::array<char16_t, TPX_ADAPTER_NAME_CHARS>& name) {
    std::string out;
    for (char16_t c : name) {
        if (c == 0) break;
        out.push_back(static_cast<char>(c & 0xFF));
    }
    return out;
}

// The names of the first `count` adapters as 8-bit text.
std::vector<std::string> NamesOf(const std::array<std::array<char16_t, TPX_ADAPTER_NAME_CHARS>, kMaxAdapters>& names,
                                 std::uint32_t count) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < std::min<std::size_t>(count, kMaxAdapters); ++i) out.push_back(NarrowName(names[i]));
    return out;
}

}  // namespace

std::string ExplainOpenFailure(const std::string& errorText) {
    constexpr std::string_view kRegister = "Tpx Register ";
    if (!errorText.starts_with(kRegister)) return errorText;
    const std::string code = errorText.substr(kRegister.size());
    std::string meaning = "the driver refused the registration";
    if (code == "2" || code == "6") meaning = "the device \\\\.\\ORINTPX is not there";
    if (code == "258") meaning = "the driver did not complete the registration within 10 seconds";
    if (code == "1167") meaning = "the card is gone";
    return errorText + ": no adapter card answered: " + meaning;
}

bool IsAdapterInUse(std::size_t index) {
    return index < kMaxAdapters && g_adapterInUse[index].load();
}

void SetAdapterInUse(std::size_t index, bool inUse) {
    if (index < kMaxAdapters) g_adapterInUse[index].store(inUse);
}

void ReportRegistryProblem(const std::string& problem) {
    // The configuration is read at every open, View > Information and Save
    // Diagnostics; one broken file is told once, not at each of them.
    static std::string reported;  // user-interface thread
    if (problem.empty()) {
        reported.clear();
        return;
    }
    const std::string text =
        "The registry file " + platform::SystemRegistryPath().string() + " could not be read: " + problem + ".";
    if (text == reported) return;
    reported = text;
    platform::MessageBox(text);
}

CMarloTrcDoc::CMarloTrcDoc(trace::UiServices& ui, std::chrono::milliseconds responseTimeout)
    : m_ui(ui),
      m_responseTimeoutMs(static_cast<std::uint32_t>(
          std::clamp<std::chrono::milliseconds::rep>(responseTimeout.count(), 1, platform::kInfinite - 1))),
      m_connection(std::make_unique<TpxConnection>()) {
    *m_connection = TpxConnection{};
    m_link1Statistics.linkNumber = 1;
    m_link2Statistics.linkNumber = 2;
}

// The monitor thread reads the response block until the adapter is closed,
// and the reader follows the log file, so a document destroyed without its
// closing sequence runs it now: nothing outlives the document.
CMarloTrcDoc::~CMarloTrcDoc() {
    OnCloseDocument();
    ReleaseResponseBlock();
}

bool CMarloTrcDoc::OnOpenDocument(const std::filesystem::path& /*path*/) {
    std::string errorText;
    if (!OpenAdapter(errorText)) {
        if (!errorText.empty()) platform::MessageBox(ExplainOpenFailure(errorText), kOpenAdapterCaption);
        return false;
    }
    ReadAdapterConfiguration();
    return true;
}


std::vector<std::string> CMarloTrcDoc::AdapterNames() const { return NamesOf(m_adapterNames, m_adapterCount); }

namespace {

// Runs its cleanup when it goes out of scope, unless dismissed: a failure
// exit undoes what the step did so far.
class UndoUnlessKept {
public:
    explicit UndoUnlessKept(std::function<void()> undo) : m_undo(std::move(undo)) {}
    ~UndoUnlessKept() {
        if (m_undo) m_undo();
    }
    UndoUnlessKept(const UndoUnlessKept&) = delete;
    UndoUnlessKept& operator=(const UndoUnlessKept&) = delete;
    void Keep() { m_undo = nullptr; }

private:
    std::function<void()> m_undo;
};

}  // namespace

bool CMarloTrcDoc::OpenAdapter(std::string& errorText) {
    // An adapter that is open stays so until another one is chosen.
    Registration offered;
    if (!RegisterClient(offered, errorText)) return false;
    const std::optional<std::size_t> chosen = ChooseAdapter(offered);
    const std::optional<UnsavedRecords> unsaved = chosen ? AskAboutUnsavedRecords() : std::nullopt;
    if (!unsaved) {
        errorText.clear();
        TpxUnregister(offered.device, offered.clientId);
        return false;
    }
    TakeAdapter(offered, *chosen, *unsaved);
    const std::intptr_t captureFile = CreateTraceLogFile();
    if (!ConnectAdapter(*chosen, captureFile, errorText)) return false;
    m_opened = true;
    SetAdapterInUse(*chosen, true);
    return true;
}

bool CMarloTrcDoc::RegisterClient(Registration& registration, std::string& errorText) {
    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
    const std::uint32_t registered =
        TpxRegister(&registration.device, &registration.clientId, &registration.adapterCount, names);
    if (registered != 0) {
        errorText = WithCode("Tpx Register", registered);
        if (registration.device != nullptr) TpxUnregister(registration.device, registration.clientId);  // closes the device
        return false;
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(registration.adapterCount, kMaxAdapters); ++i) {
        std::copy(std::begin(names[i]), std::end(names[i]), registration.names[i].begin());
        registration.names[i].back() = 0;
    }
    return true;
}

std::optional<std::size_t> CMarloTrcDoc::ChooseAdapter(const Registration& offered) {
    if (offered.adapterCount < 2) return 0;
    std::vector<std::string> entries;
    std::vector<std::size_t> adapterOfEntry;
    const std::vector<std::string> names = NamesOf(offered.names, offered.adapterCount);
    for (std::size_t i = 0; i < names.size(); ++i) {
        // The adapter this document has open is offered too: chosen, it opens afresh.
        if (IsAdapterInUse(i) && !(m_opened && i == m_chosenAdapter)) continue;
        entries.push_back(names[i] + " - Inactive");
        adapterOfEntry.push_back(i);
    }
    const std::optional<int> choice = m_ui.SelectAdapter(entries);
    if (!choice || *choice < 0 || static_cast<std::size_t>(*choice) >= entries.size()) return std::nullopt;
    return adapterOfEntry[static_cast<std::size_t>(*choice)];
}

void CMarloTrcDoc::TakeAdapter(const Registration& registration, std::size_t chosen, const UnsavedRecords& unsaved) {
    ++m_adapterChanges;
    // The trace of the adapter being left ends as Trace > Stop ends it, so
    // the status pane and the list say what happened to it; then it closes.
    // The copy asked for is made of the whole file once nothing more comes.
    if (CanStopTrace()) OnTraceStop();
    if (!unsaved.copyTo.empty())
        CopyLogFile(unsaved.copyTo, "They stay in ");
    if (m_opened) {
        std::string ignored;
        CloseAdapter(ignored);
    }
    m_device = registration.device;
    m_clientId = registration.clientId;
    m_adapterCount = registration.adapterCount;
    m_adapterNames = registration.names;
    m_chosenAdapter = static_cast<std::uint32_t>(chosen);
    const std::string name = NarrowName(m_adapterNames[chosen]);
    m_networkCardNumber.clear();
    for (char c : name) {
        if (c >= '0' && c <= '9') m_networkCardNumber.push_back(c);
    }
    SetPathName(name);  // an adapter, not a file: the recent-file list does not keep it
}

bool CMarloTrcDoc::ConnectAdapter(std::size_t chosen, std::intptr_t captureFile, std::string& errorText) {
    m_response = std::make_unique<TpxResponseBlock>();
    *m_response = TpxResponseBlock{};
    m_response->captureFile = captureFile;
    m_responseEvent.Reset(platform::CreateEvent(TPX_APP_EVENT_NAME, false));
    m_ackEvent.Reset(platform::CreateEvent(TPX_DRIVER_EVENT_NAME, false));
    m_response->responseEvent = m_responseEvent.Get();
    m_response->ackEvent = m_ackEvent.Get();
    m_connection->response = m_response.get();
    UndoUnlessKept release([this] { ReleaseResponseBlock(); });

    std::uint32_t connectionId = 0;
    std::uint32_t openResult = 0;
    const std::uint32_t opened = TpxOpen(m_device, m_clientId, m_adapterNames[chosen].data(), &connectionId,
                                         &openResult, m_connection.get());
    m_connectionId = connectionId;
    if (opened != 0) {
        errorText = WithCode("Tpx Open", opened);
        TpxUnregister(m_device, m_clientId);  // refused as a stale handle when the library closed it already
        return false;
    }
    if (openResult != 0) {
        errorText = WithCode("Tpx Open Response", openResult);
        std::uint32_t closeResult = 0;
        TpxClose(m_device, m_clientId, connectionId, &closeResult);  // ends the monitor thread
        return false;
    }
    m_connection->device = m_device;
    m_connection->clientId = m_clientId;
    m_connection->connectionId = connectionId;
    release.Keep();
    return true;
}

std::optional<TpxCaptureStatus> CMarloTrcDoc::GetCaptureStatus() const {
    if (!m_opened) return std::nullopt;
    TpxCaptureStatus status{};
    if (TpxGetCaptureStatus(m_device, m_connectionId, &status) != 0) return std::nullopt;
    return status;
}

bool CMarloTrcDoc::CloseAdapter(std::string& /*errorText*/) {
    if (!m_opened) return false;
    // The close goes on whatever happens, but succeeds only when the card
    // answered GSM Close without refusing it and the driver closed too. A
    // close message that could not be sent (the card is gone) has no answer
    // to wait for.
    const bool written = TpxGsmClose(m_device, m_clientId, m_connectionId, nullptr) == 0;
    const auto response = written ? WaitForResponse() : std::nullopt;
    if (written && !response) platform::MessageBox(kDriverNotResponding);
    Acknowledge();
    std::uint32_t closeResult = 0;
    const std::uint32_t closed = TpxClose(m_device, m_clientId, m_connectionId, &closeResult);
    m_opened = false;
    SetAdapterInUse(m_chosenAdapter, false);
    ReleaseResponseBlock();
    return written && response && response->result == 0 && closed == 0 && closeResult == 0;
}

void CMarloTrcDoc::ReleaseResponseBlock() {
    if (!m_response) return;
    m_connection->response = nullptr;
    m_response.reset();
    m_responseEvent.Reset();
    m_ackEvent.Reset();
}

std::optional<CMarloTrcDoc::Response> CMarloTrcDoc::WaitForResponse() {
    if (platform::WaitForEvent(AsEvent(m_response->responseEvent), m_responseTimeoutMs) != platform::kWaitObject0) {
        return std::nullopt;
    }
    Response response;
    const auto* message = static_cast<const std::uint8_t*>(m_response->message);
    const std::size_t headerLength = m_response->headerLength;
    const std::size_t dataLength = m_response->dataLength;
    const auto result = message == nullptr
                            ? std::nullopt
                            : wire::Little({message, headerLength}).U32(TPX_HEADER_RESULT_OFFSET);
    if (!result) {
        response.result = TPX_ERROR_INVALID_DATA;  // no result word: not an answer to rely on
        return response;
    }
    response.result = *result;
    response.record.assign(message + headerLength, message + headerLength + dataLength);
    return response;
}

void CMarloTrcDoc::Acknowledge() {
    if (!m_response) return;
    platform::ResetEvent(AsEvent(m_response->responseEvent));
    platform::SetEvent(AsEvent(m_response->ackEvent));
}

// A response that never came: tell the user at once and close the adapter.
// The acknowledgement lets a late answer pass the monitor thread instead of
// being taken for the answer to the close.
void CMarloTrcDoc::TimedOut(std::string_view message) {
    platform::MessageBox(message);
    Acknowledge();
    std::string ignored;
    CloseAdapter(ignored);
}

// What a command needs before it is sent: a connection (without one it is
// not sent, and errorText says so with 6), or an adapter that is open
// (otherwise nothing is sent and nothing said).
enum class Guard { Connection, Opened };

struct CMarloTrcDoc::Command {
    std::uint32_t (*send)(TpxHandle device, std::uint32_t clientId, std::uint32_t connectionId, std::uint32_t link);
    const char* notSent;     // errorText when the library did not send it
    bool notSentWithCode;    // ... followed by the library's error code
    const char* timedOut;    // told the user when no response came
    const char* refused;     // errorText, followed by the adapter's result
    Guard guard;
    bool closeOnError;       // close the adapter when not sent or refused
    // Runs on any response, before its result is looked at: the zeroing
    // commands forget the copy whatever the adapter answers.
    void (*clearFirst)(CMarloTrcDoc& document, std::uint32_t link);
};

const CMarloTrcDoc::Command& CMarloTrcDoc::CommandFor(CommandId id) {
    using D = TpxHandle;
    using U = std::uint32_t;
    static const Command kCommands[] = {
        // kTraceControlEnable
        {[](D d, U c, U n, U) { return TpxLineTraceControlEnable(d, c, n); }, "Tpx Trace Control Enable", true,
         kDriverNotResponding.data(), "Tpx Trace Control Enable Response", Guard::Connection, false, nullptr},
        // kTraceControlDisable
        {[](D d, U c, U n, U) { return TpxLineTraceControlDisable(d, c, n); }, "Tpx Trace Control Disable", false,
         "TpxLineTraceControlDisable response timed out", "Tpx Trace Control Disable Response", Guard::Connection,
         false, nullptr},
        // kLineGetStatus
        {[](D d, U c, U n, U) { return TpxLineGetStatus(d, c, n); }, "Tpx LineGetStatus", true,
         "LineGetStatus response timed out", "TpxLineGetStatus Response", Guard::Connection, false, nullptr},
        // kLinkGetStatus
        {[](D d, U c, U n, U link) { return TpxLinkGetStatus(d, c, n, link); }, "Tpx LinkGetStatus", true,
         "LinkGetStatus response timed out", "TpxLinkGetStatus Response", Guard::Connection, false, nullptr},
        // kLineGetStatistics
        {[](D d, U c, U n, U) { return TpxLineGetStatistics(d, c, n); }, "Tpx TpxLineGetStatistics", true,
         "TpxLineGetStatistics response timed out", "TpxLineGetStatistics Response", Guard::Opened, false, nullptr},
        // kLinkGetStatistics
        {[](D d, U c, U n, U link) { return TpxLinkGetStatistics(d, c, n, link); }, "Tpx TpxLinkGetStatistics", true,
         "TpxLinkGetStatistics response timed out", "TpxLinkGetStatistics Response", Guard::Opened, true, nullptr},
        // kLineZeroStatistics
        {[](D d, U c, U n, U) { return TpxLineZeroStatistics(d, c, n); }, "Tpx TpxLineZeroStatistics", true,
         "TpxLineZeroStatistics response timed out", "TpxLineZeroStatistics Response", Guard::Opened, false,
         [](CMarloTrcDoc& doc, U) { doc.m_lineStatistics = LineStatisticsCopy{}; }},
        // kLinkZeroStatistics
        {[](D d, U c, U n, U link) { return TpxLinkZeroStatistics(d, c, n, link); }, "Tpx TpxLinkZeroStatistics",
         true, "TpxLinkZeroStatistics response timed out", "TpxLinkZeroStatistics Response", Guard::Connection, false,
         [](CMarloTrcDoc& doc, U link) {
             if (link != 1 && link != 2) return;
             LinkStatisticsCopy& copy = link == 1 ? doc.m_link1Statistics : doc.m_link2Statistics;
             copy = LinkStatisticsCopy{};
             copy.linkNumber = link;
         }},
    };
    return kCommands[static_cast<std::size_t>(id)];
}

CMarloTrcDoc::Outcome CMarloTrcDoc::RunCommand(CommandId id, std::string& errorText, std::uint32_t link,
                                               const std::function<void(const std::vector<std::uint8_t>&)>& use) {
    const Command& command = CommandFor(id);
    if (command.guard == Guard::Opened && !m_opened) return Outcome::NotSent;
    auto closeOnError = [&] {
        std::string ignored;
        if (command.closeOnError) CloseAdapter(ignored);
    };
    const std::uint32_t sent = HasConnection() ? command.send(m_device, m_clientId, m_connectionId, link)
                                               : TPX_ERROR_INVALID_HANDLE;
    if (sent != 0) {
        errorText = command.notSentWithCode ? WithCode(command.notSent, sent) : command.notSent;
        closeOnError();
        return Outcome::NotSent;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut(command.timedOut);
        return Outcome::NoResponse;
    }
    if (command.clearFirst != nullptr) command.clearFirst(*this, link);
    if (response->result != 0) {
        errorText = WithCode(command.refused, response->result);
        Acknowledge();
        closeOnError();
        return Outcome::Refused;
    }
    if (use) use(response->record);
    Acknowledge();
    return Outcome::Done;
}

bool CMarloTrcDoc::EnableTraceControl(std::string& errorText) {
    return RunCommand(CommandId::kTraceControlEnable, errorText) == Outcome::Done;
}

bool CMarloTrcDoc::DisableTraceControl(std::string& errorText) {
    return RunCommand(CommandId::kTraceControlDisable, errorText) == Outcome::Done;
}

int CMarloTrcDoc::QueryLineStatus(std::string& errorText, std::uint32_t links, LineStatusTexts& texts) {
    std::array<std::string*, kStatusTextCount> outputs{};
    for (std::size_t i = 0; i < kStatusTextCount; ++i) outputs[i] = &texts[i];
    return QueryLineStatus(errorText, links, outputs);
}

int CMarloTrcDoc::QueryLineStatus(std::string& errorText, std::uint32_t links,
                                  const std::array<std::string*, kStatusTextCount>& outputs) {
    const LineStatusTexts initial = InitialStatusTexts();
    for (std::size_t i = 0; i < kStatusTextCount; ++i) {
        if (outputs[i] != nullptr) *outputs[i] = initial[i];
    }

    std::uint8_t lineState = 0;
    std::uint8_t receiving = 0;
    std::uint8_t transmitting = 0;
    const Outcome line = RunCommand(CommandId::kLineGetStatus, errorText, 0, [&](const std::vector<std::uint8_t>& r) {
        lineState = ReadU8(r, TPX_LINE_STATUS_STATE);
        receiving = ReadU8(r, TPX_LINE_STATUS_RX);
        transmitting = ReadU8(r, TPX_LINE_STATUS_TX);
    });
    if (line != Outcome::Done) return 3;

    // Layer 2 and layer 3 states of links 1 and 2. A failure here leaves the
    // line query's summary behind: only 3 said the line itself was unknown,
    // and a first link query that could not be sent says the same.
    std::array<std::uint8_t, 2> layer2{};
    std::array<std::uint8_t, 2> layer3{};
    const std::uint32_t linkCount = links >= 2 ? 2 : 1;
    for (std::uint32_t link = 1; link <= linkCount; ++link) {
        const Outcome status = RunCommand(CommandId::kLinkGetStatus, errorText, link,
                                          [&](const std::vector<std::uint8_t>& r) {
                                              layer2[link - 1] = ReadU8(r, TPX_LINK_STATUS_L2);
                                              layer3[link - 1] = ReadU8(r, TPX_LINK_STATUS_L3);
                                          });
        if (status == Outcome::NotSent) return link == 1 ? 3 : 0;
        if (status != Outcome::Done) return 0;
    }

    LineStatusTexts texts;
    texts[kLineStatus] = LineStateText(lineState);
    texts[kReceivingSignal] = ReceivingSignalText(lineState, receiving);
    texts[kTransmissionSignal] = TransmissionSignalText(lineState, transmitting);
    texts[kLink1Layer2] = StateName(GetL2LinkStateString, layer2[0]);
    texts[kLink1Layer3] = StateName(GetL3LinkStateString, layer3[0]);
    if (linkCount == 2) {
        texts[kLink2Layer2] = StateName(GetL2LinkStateString, layer2[1]);
        texts[kLink2Layer3] = StateName(GetL3LinkStateString, layer3[1]);
    } else {
        texts[kLink2Layer2] = kLinkNotConfigured;
        texts[kLink2Layer3] = kLinkNotConfigured;
    }
    for (std::size_t i = 0; i < kStatusTextCount; ++i) {
        if (outputs[i] != nullptr) *outputs[i] = texts[i];
    }
    if (lineState == 0) return 0;
    return lineState == 3 ? 2 : 1;
}

bool CMarloTrcDoc::QueryLineStatistics(std::string& errorText) {
    return RunCommand(CommandId::kLineGetStatistics, errorText, 0, [this](const std::vector<std::uint8_t>& r) {
               for (std::size_t i = 0; i < m_lineStatistics.reserved.size(); ++i)
                   m_lineStatistics.reserved[i] = ReadU8(r, i);
               m_lineStatistics.reservedValue = ReadU32(r, 8);
               m_lineStatistics.lastChanged = ReadU32(r, TPX_LINE_STATISTICS_LAST_CHANGED);
               m_lineStatistics.lineType = ReadU8(r, TPX_LINE_STATISTICS_INTERFACE);
           }) == Outcome::Done;
}

bool CMarloTrcDoc::QueryLinkStatistics(std::string& errorText, std::uint32_t link) {
    return RunCommand(CommandId::kLinkGetStatistics, errorText, link, [&](const std::vector<std::uint8_t>& r) {
               if (link != 1 && link != 2) return;
               LinkStatisticsCopy& copy = link == 1 ? m_link1Statistics : m_link2Statistics;
               for (std::size_t i = 0; i < copy.reserved.size(); ++i) copy.reserved[i] = ReadU8(r, i);
               copy.reservedValue = ReadU32(r, 4);
               std::uint32_t* const counters[] = {
                   &copy.lastChanged, &copy.mtu, &copy.inOctets, &copy.inPackets, &copy.inPacketTotal,
                   &copy.inDiscards, &copy.inErrors, &copy.outOctets, &copy.outPackets, &copy.outPacketTotal,
                   &copy.outDiscards, &copy.outErrors};
               std::size_t at = TPX_LINK_STATISTICS_LAST_CHANGED;
               for (std::uint32_t* counter : counters) {
                   *counter = ReadU32(r, at);
                   at += 4;
               }
               copy.linkType = ReadU8(r, TPX_LINK_STATISTICS_TYPE);
           }) == Outcome::Done;
}

bool CMarloTrcDoc::ZeroLineStatistics(std::string& errorText) {
    return RunCommand(CommandId::kLineZeroStatistics, errorText) == Outcome::Done;
}

bool CMarloTrcDoc::ZeroLinkStatistics(std::string& errorText, std::uint32_t link) {
    return RunCommand(CommandId::kLinkZeroStatistics, errorText, link) == Outcome::Done;
}

bool CMarloTrcDoc::QueryStatistics(std::string& errorText) {
    if (!QueryLineStatistics(errorText) || !QueryLinkStatistics(errorText, 1)) return false;
    return m_configuration.logicalTerminalCount != 2 || QueryLinkStatistics(errorText, 2);
}

bool CMarloTrcDoc::ZeroStatistics(std::string& errorText) {
    if (!ZeroLineStatistics(errorText) || !ZeroLinkStatistics(errorText, 1)) return false;
    return m_configuration.logicalTerminalCount != 2 || ZeroLinkStatistics(errorText, 2);
}

void CMarloTrcDoc::ReadAdapterConfiguration() {
    std::string problem;
    const platform::Registry registry = platform::Registry::LoadSystem(&problem);
    ReportRegistryProblem(problem);
    adapter::ReadAdapterConfiguration(registry, m_networkCardNumber, m_configuration);
}

void CMarloTrcDoc::SaveDiagnostics() {
    trace::FileDialogRequest request;
    request.defaultExtension = "txt";
    request.initialName = std::string(kDiagnosticsFileName);
    request.filter = std::string(kDiagnosticsFilter);
    request.confirmOverwrite = true;
    const auto path = m_ui.AskSaveFileName(request);
    if (!path) return;
    // Said when written, as an export is: the user learns where it went.
    const bool written = WriteDiagnosticsReport(
        *path,
        [this]() -> const AdapterConfiguration& {
            ReadAdapterConfiguration();
            return m_configuration;
        },
        [this](std::uint32_t links) {
            LineStatusTexts texts;
            std::string ignored;  // the report is written with whatever texts the query left
            QueryLineStatus(ignored, links, texts);
            return texts;
        });
    if (written) platform::InformationBox("Diagnostics saved to " + path->string() + ".");
}

}  // namespace adapter
