#include "adapter/MarloTrcDoc.h"

#include <algorithm>
#include <atomic>

#include "adapter/Diagnostics.h"
#include "linekit/tpx_testing.h"
#include "platform/Event.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

namespace adapter {

namespace {

std::atomic<std::uint32_t> g_responseTimeoutMs{kResponseTimeoutMs};
std::array<std::atomic<bool>, kMaxAdapters> g_adapterInUse{};

// "Tpx Open %d" and its kind: the code as a signed decimal.
std::string WithCode(std::string_view text, std::uint32_t code) {
    return std::string(text) + " " + std::to_string(static_cast<std::int32_t>(code));
}

platform::EventHandle AsEvent(TpxHandle handle) {
    return static_cast<platform::EventHandle>(handle);
}

std::uint32_t ReadU32(const std::vector<std::uint8_t>& record, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (at + i < record.size()) v |= static_cast<std::uint32_t>(record[at + i]) << (8 * i);
    }
    return v;
}

std::uint8_t ReadU8(const std::vector<std::uint8_t>& record, std::size_t at) {
    return at < record.size() ? record[at] : 0;
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

}  // namespace

bool IsAdapterInUse(std::size_t index) {
    return index < kMaxAdapters && g_adapterInUse[index].load();
}

void SetAdapterInUse(std::size_t index, bool inUse) {
    if (index < kMaxAdapters) g_adapterInUse[index].store(inUse);
}

void CMarloTrcDoc::SetResponseTimeoutForTesting(std::uint32_t milliseconds) {
    g_responseTimeoutMs = milliseconds == 0 ? kResponseTimeoutMs : milliseconds;
    TpxSetTimeoutForTesting(milliseconds);
}

CMarloTrcDoc::CMarloTrcDoc(trace::UiServices& ui) : m_ui(ui), m_connection(std::make_unique<TpxConnection>()) {
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
        if (!errorText.empty()) platform::MessageBox(errorText);
        return false;
    }
    ReadAdapterConfiguration();
    return true;
}


std::vector<std::string> CMarloTrcDoc::AdapterNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < std::min<std::size_t>(m_adapterCount, kMaxAdapters); ++i) {
        names.push_back(NarrowName(m_adapterNames[i]));
    }
    return names;
}

std::optional<std::size_t> CMarloTrcDoc::SelectAdapter() {
    std::vector<std::string> entries;
    std::vector<std::size_t> adapterOfEntry;
    const std::vector<std::string> names = AdapterNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (IsAdapterInUse(i)) continue;
        entries.push_back(names[i] + " - Inactive");
        adapterOfEntry.push_back(i);
    }
    const std::optional<int> choice = m_ui.SelectAdapter(entries);
    if (!choice || *choice < 0 || static_cast<std::size_t>(*choice) >= entries.size()) return std::nullopt;
    return adapterOfEntry[static_cast<std::size_t>(*choice)];
}

bool CMarloTrcDoc::OpenAdapter(std::string& errorText) {
    // Opening again replaces the connection this document holds.
    if (m_opened) {
        std::string ignored;
        CloseAdapter(ignored);
    }
    const std::intptr_t captureFile = CreateTraceLogFile();

    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
    TpxHandle device = nullptr;
    std::uint32_t clientId = 0;
    std::uint32_t adapterCount = 0;
    const std::uint32_t registered = TpxRegister(&device, &clientId, &adapterCount, names);
    m_device = device;
    m_clientId = clientId;
    if (registered != 0) {
        errorText = WithCode("Tpx Register", registered);
        if (device != nullptr) TpxUnregister(device, clientId);  // closes the device
        return false;
    }
    m_adapterCount = adapterCount;
    for (auto& slot : m_adapterNames) slot.fill(0);
    for (std::size_t i = 0; i < std::min<std::size_t>(adapterCount, kMaxAdapters); ++i) {
        std::copy(std::begin(names[i]), std::end(names[i]), m_adapterNames[i].begin());
        m_adapterNames[i].back() = 0;
    }

    std::size_t chosen = 0;
    if (adapterCount >= 2) {
        const auto selected = SelectAdapter();
        if (!selected) {
            errorText.clear();
            TpxUnregister(device, clientId);
            return false;
        }
        chosen = *selected;
    }
    m_chosenAdapter = static_cast<std::uint32_t>(chosen);

    const std::string name = NarrowName(m_adapterNames[chosen]);
    m_networkCardNumber.clear();
    for (char c : name) {
        if (c >= '0' && c <= '9') m_networkCardNumber.push_back(c);
    }
    SetPathName(name);
    m_ui.AddToRecentFiles(name);

    m_response = std::make_unique<TpxResponseBlock>();
    *m_response = TpxResponseBlock{};
    m_response->captureFile = captureFile;
    m_response->responseEvent = platform::CreateEvent("MarloAppEvent", false);
    m_response->ackEvent = platform::CreateEvent("MarloDriverEvent", false);
    m_connection->response = m_response.get();

    std::uint32_t connectionId = 0;
    std::uint32_t openResult = 0;
    const std::uint32_t opened =
        TpxOpen(device, clientId, m_adapterNames[chosen].data(), &connectionId, &openResult, m_connection.get());
    m_connectionId = connectionId;
    if (opened != 0) {
        errorText = WithCode("Tpx Open", opened);
        TpxUnregister(device, clientId);  // refused as a stale handle when the library closed it already
        ReleaseResponseBlock();
        return false;
    }
    if (openResult != 0) {
        errorText = WithCode("Tpx Open Response", openResult);
        std::uint32_t closeResult = 0;
        TpxClose(device, clientId, connectionId, &closeResult);  // ends the monitor thread
        ReleaseResponseBlock();
        return false;
    }
    m_connection->device = device;
    m_connection->clientId = clientId;
    m_connection->connectionId = connectionId;
    m_opened = true;
    SetAdapterInUse(chosen, true);
    return true;
}

bool CMarloTrcDoc::CloseAdapter(std::string& /*errorText*/) {
    if (!m_opened) return false;
    TpxGsmClose(m_device, m_clientId, m_connectionId, nullptr);
    if (platform::WaitForEvent(AsEvent(m_response->responseEvent), g_responseTimeoutMs) != platform::kWaitObject0) {
        platform::MessageBox(kDriverNotResponding);
    }
    Acknowledge();
    std::uint32_t closeResult = 0;
    const std::uint32_t closed = TpxClose(m_device, m_clientId, m_connectionId, &closeResult);
    m_opened = false;
    SetAdapterInUse(m_chosenAdapter, false);
    ReleaseResponseBlock();
    return closed == 0 && closeResult == 0;
}

void CMarloTrcDoc::ReleaseResponseBlock() {
    if (!m_response) return;
    platform::CloseEvent(AsEvent(m_response->responseEvent));
    platform::CloseEvent(AsEvent(m_response->ackEvent));
    m_connection->response = nullptr;
    m_response.reset();
}

std::optional<CMarloTrcDoc::Response> CMarloTrcDoc::WaitForResponse() {
    if (platform::WaitForEvent(AsEvent(m_response->responseEvent), g_responseTimeoutMs) != platform::kWaitObject0) {
        return std::nullopt;
    }
    Response response;
    const auto* message = static_cast<const std::uint8_t*>(m_response->message);
    const std::size_t headerLength = m_response->headerLength;
    const std::size_t dataLength = m_response->dataLength;
    if (message == nullptr || headerLength < TPX_HEADER_RESULT_OFFSET + 4) {
        response.result = TPX_ERROR_INVALID_DATA;  // no result word: not an answer to rely on
        return response;
    }
    const std::uint8_t* result = message + TPX_HEADER_RESULT_OFFSET;
    response.result = static_cast<std::uint32_t>(result[0]) | static_cast<std::uint32_t>(result[1]) << 8 |
                      static_cast<std::uint32_t>(result[2]) << 16 | static_cast<std::uint32_t>(result[3]) << 24;
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

bool CMarloTrcDoc::EnableTraceControl(std::string& errorText) {
    const std::uint32_t sent = HasConnection()
        ? TpxLineTraceControlEnable(m_device, m_clientId, m_connectionId) : TPX_ERROR_INVALID_HANDLE;
    if (sent != 0) {
        errorText = WithCode("Tpx Trace Control Enable", sent);
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut(kDriverNotResponding);
        return false;
    }
    const bool ok = response->result == 0;
    if (!ok) errorText = WithCode("Tpx Trace Control Enable Response", response->result);
    Acknowledge();
    return ok;
}

bool CMarloTrcDoc::DisableTraceControl(std::string& errorText) {
    const std::uint32_t sent = HasConnection()
        ? TpxLineTraceControlDisable(m_device, m_clientId, m_connectionId) : TPX_ERROR_INVALID_HANDLE;
    if (sent != 0) {
        errorText = "Tpx Trace Control Disable";
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut("TpxLineTraceControlDisable response timed out");
        return false;
    }
    const bool ok = response->result == 0;
    if (!ok) errorText = WithCode("Tpx Trace Control Disable Response", response->result);
    Acknowledge();
    return ok;
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

    std::uint32_t sent = HasConnection() ? TpxLineGetStatus(m_device, m_clientId, m_connectionId)
                                         : TPX_ERROR_INVALID_HANDLE;
    if (sent != 0) {
        errorText = WithCode("Tpx LineGetStatus", sent);
        return 3;
    }
    auto response = WaitForResponse();
    if (!response) {
        TimedOut("LineGetStatus response timed out");
        return 3;
    }
    if (response->result != 0) {
        errorText = WithCode("TpxLineGetStatus Response", response->result);
        Acknowledge();
        return 3;
    }
    const std::uint8_t lineState = ReadU8(response->record, TPX_LINE_STATUS_STATE);
    const std::uint8_t receiving = ReadU8(response->record, TPX_LINE_STATUS_RX);
    const std::uint8_t transmitting = ReadU8(response->record, TPX_LINE_STATUS_TX);
    Acknowledge();

    // Layer 2 and layer 3 states of links 1 and 2. A failure here leaves the
    // line query's summary behind: only 3 said the line itself was unknown.
    std::array<std::uint8_t, 2> layer2{};
    std::array<std::uint8_t, 2> layer3{};
    const std::uint32_t linkCount = links >= 2 ? 2 : 1;
    for (std::uint32_t link = 1; link <= linkCount; ++link) {
        sent = HasConnection() ? TpxLinkGetStatus(m_device, m_clientId, m_connectionId, link)
                               : TPX_ERROR_INVALID_HANDLE;
        if (sent != 0) {
            errorText = WithCode("Tpx LinkGetStatus", sent);
            return link == 1 ? 3 : 0;
        }
        response = WaitForResponse();
        if (!response) {
            TimedOut("LinkGetStatus response timed out");
            return 0;
        }
        if (response->result != 0) {
            errorText = WithCode("TpxLinkGetStatus Response", response->result);
            Acknowledge();
            return 0;
        }
        layer2[link - 1] = ReadU8(response->record, TPX_LINK_STATUS_L2);
        layer3[link - 1] = ReadU8(response->record, TPX_LINK_STATUS_L3);
        Acknowledge();
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
    if (!m_opened) return false;
    const std::uint32_t sent = TpxLineGetStatistics(m_device, m_clientId, m_connectionId);
    if (sent != 0) {
        errorText = WithCode("Tpx TpxLineGetStatistics", sent);
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut("TpxLineGetStatistics response timed out");
        return false;
    }
    if (response->result != 0) {
        errorText = WithCode("TpxLineGetStatistics Response", response->result);
        Acknowledge();
        return false;
    }
    const auto& r = response->record;
    for (std::size_t i = 0; i < m_lineStatistics.reserved.size(); ++i) m_lineStatistics.reserved[i] = ReadU8(r, i);
    m_lineStatistics.reservedValue = ReadU32(r, 8);
    m_lineStatistics.lastChanged = ReadU32(r, TPX_LINE_STATISTICS_LAST_CHANGED);
    m_lineStatistics.lineType = ReadU8(r, TPX_LINE_STATISTICS_INTERFACE);
    Acknowledge();
    return true;
}

bool CMarloTrcDoc::QueryLinkStatistics(std::string& errorText, std::uint32_t link) {
    if (!m_opened) return false;
    std::string ignored;
    const std::uint32_t sent = TpxLinkGetStatistics(m_device, m_clientId, m_connectionId, link);
    if (sent != 0) {
        errorText = WithCode("Tpx TpxLinkGetStatistics", sent);
        CloseAdapter(ignored);
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut("TpxLinkGetStatistics response timed out");
        return false;
    }
    if (response->result != 0) {
        errorText = WithCode("TpxLinkGetStatistics Response", response->result);
        Acknowledge();
        CloseAdapter(ignored);
        return false;
    }
    if (link == 1 || link == 2) {
        LinkStatisticsCopy& copy = link == 1 ? m_link1Statistics : m_link2Statistics;
        const auto& r = response->record;
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
    }
    Acknowledge();
    return true;
}

bool CMarloTrcDoc::ZeroLineStatistics(std::string& errorText) {
    if (!m_opened) return false;
    const std::uint32_t sent = TpxLineZeroStatistics(m_device, m_clientId, m_connectionId);
    if (sent != 0) {
        errorText = WithCode("Tpx TpxLineZeroStatistics", sent);
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut("TpxLineZeroStatistics response timed out");
        return false;
    }
    m_lineStatistics = LineStatisticsCopy{};
    const bool ok = response->result == 0;
    if (!ok) errorText = WithCode("TpxLineZeroStatistics Response", response->result);
    Acknowledge();
    return ok;
}

bool CMarloTrcDoc::ZeroLinkStatistics(std::string& errorText, std::uint32_t link) {
    const std::uint32_t sent = HasConnection()
        ? TpxLinkZeroStatistics(m_device, m_clientId, m_connectionId, link) : TPX_ERROR_INVALID_HANDLE;
    if (sent != 0) {
        errorText = WithCode("Tpx TpxLinkZeroStatistics", sent);
        return false;
    }
    const auto response = WaitForResponse();
    if (!response) {
        TimedOut("TpxLinkZeroStatistics response timed out");
        return false;
    }
    if (link == 1 || link == 2) {
        LinkStatisticsCopy& copy = link == 1 ? m_link1Statistics : m_link2Statistics;
        copy = LinkStatisticsCopy{};
        copy.linkNumber = link;
    }
    const bool ok = response->result == 0;
    if (!ok) errorText = WithCode("TpxLinkZeroStatistics Response", response->result);
    Acknowledge();
    return ok;
}

void CMarloTrcDoc::ReadAdapterConfiguration() {
    adapter::ReadAdapterConfiguration(platform::Registry::LoadSystem(), m_networkCardNumber, m_configuration);
}

void CMarloTrcDoc::SaveDiagnostics() {
    trace::FileDialogRequest request;
    request.defaultExtension = "txt";
    request.initialName = std::string(kDiagnosticsFileName);
    request.filter = std::string(kDiagnosticsFilter);
    request.confirmOverwrite = true;
    const auto path = m_ui.AskSaveFileName(request);
    if (!path) return;
    WriteDiagnosticsReport(
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
}

}  // namespace adapter
