#include "cardsim/Card.h"

#include <algorithm>
#include <string>

#include "decode/LinkHeader.h"
#include "platform/Win32Error.h"

namespace cardsim {
namespace {

using namespace wire;

constexpr std::size_t kOutboxLimit = 4096;     // trace frames kept for a reader that does not read
// rate=0: frames made ready per connection at a time, and how few are left
// when the pacer makes the next ones. Made in bursts, so that neither the
// pacer nor the reader wakes the other for every frame.
constexpr std::size_t kFastBurst = 256;
constexpr std::size_t kFastLowWater = kFastBurst / 4;
#ifdef MARLOTRC_TESTING
constexpr std::size_t kLogLimit = 4096;  // requests and messages kept
#endif
constexpr std::uint32_t kResultUnsupported = 1;  // the firmware's answer to what it does not know
constexpr std::uint32_t kResultNoSuchAdapter = 2;
constexpr std::uint32_t kMtu = 260;            // LAPD N201
constexpr std::uint8_t kInterfaceSt = 75;
constexpr std::uint8_t kLinkTypeSignalling = 63;
constexpr std::uint32_t kTraceModeNone = 0xFFFFFFFFu;  // a trace control without its mode word

std::string AdapterName(std::size_t a) { return "OrinBri" + std::to_string(a + 1); }

// I frames and UI frames (TEI management too) carry information; the rest
// are link control.
bool CarriesInformation(std::span<const std::uint8_t> frame) {
    const decode::LinkHeader link = decode::ReadLink(frame);
    return link.kind == decode::FrameKind::I || link.type == decode::FrameType::UI;
}

#ifdef MARLOTRC_TESTING
template <typename T>
void PushCapped(std::deque<T>& log, T item) {
    if (log.size() >= kLogLimit) log.pop_front();
    log.push_back(std::move(item));
}
#endif

}  // namespace

Card::Card(Settings settings)
    : m_settings(std::move(settings)),
      m_stall(m_settings.stall),
      m_unanswered(m_settings.unanswered),
      m_refuse(m_settings.refuse),
      m_adapters(static_cast<std::size_t>(std::clamp(m_settings.adapters, 1, 8))) {
    for (Adapter& adapter : m_adapters) adapter.lineChanged = adapter.linkChanged = m_start;
    m_pacer = std::thread(&Card::Pace, this);
}

Card::~Card() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_paceChanged.notify_all();
    m_pacer.join();
}

std::uint32_t Card::OnOpen(std::uint64_t fileId) {
    std::lock_guard lock(m_mutex);
    m_files[fileId];
    return 0;
}

void Card::OnClose(std::uint64_t fileId) {
    std::lock_guard lock(m_mutex);
    std::vector<std::uint32_t> gone;
    for (const auto& [id, connection] : m_connections)
        if (connection.fileId == fileId) gone.push_back(id);
    for (std::uint32_t id : gone) DropConnectionLocked(id);
    m_files.erase(fileId);
    // The channel aborts this handle's stalled requests itself.
    std::erase_if(m_stalled, [fileId](const auto& s) { return s.first == fileId; });
}

void Card::OnRequest(std::uint64_t fileId, std::shared_ptr<platform::DeviceRequest> request) {
    if (request->ControlCode() != kControlCode) {
        request->Complete(platform::kErrorInvalidFunction);
        return;
    }
    if (request->Input().size() != kRequestBlockBytes) {
        request->Complete(platform::kErrorInvalidParameter);
        return;
    }
    Block block{};
    std::copy(request->Input().begin(), request->Input().end(), block.begin());
    std::lock_guard lock(m_mutex);
    HandleLocked(fileId, request, block);
}

// What a request needs before its handler runs: a client registered on its
// handle (else 87), or a connection of that client (else 6).
enum class Needs { Nothing, Client, Connection };

void Card::HandleLocked(std::uint64_t fileId, const Request& request, Block& block) {
    struct Row {
        std::uint32_t code;
        Needs needs;
        void (Card::*handler)(DriverCall&);
    };
    static constexpr Row kRows[] = {
        {kRegister, Needs::Nothing, &Card::RegisterLocked},
        {kUnregister, Needs::Client, &Card::UnregisterLocked},
        {kOpen, Needs::Client, &Card::OpenLocked},
        {kClose, Needs::Nothing, &Card::CloseLocked},  // answers an unknown connection in the block
        {kRead, Needs::Connection, &Card::ReadLocked},
        {kWrite, Needs::Connection, &Card::WriteLocked},
    };

    const FieldReader in = Little(block);
    const std::uint32_t code = in.U32(kOffCode).value_or(0);
#ifdef MARLOTRC_TESTING
    if (code != kRead) PushCapped(m_requests, block);
#endif
    if (m_unplugged) {
        request->Complete(platform::kErrorDeviceNotConnected);
        return;
    }
    if (m_stall.count(code)) {
        m_stalled.emplace_back(fileId, request);  // never completed: the caller gives up
        return;
    }
    auto file = m_files.find(fileId);
    if (file == m_files.end()) {
        request->Complete(platform::kErrorInvalidHandle);
        return;
    }
    const Row* row = std::find_if(std::begin(kRows), std::end(kRows), [code](const Row& r) { return r.code == code; });
    if (row == std::end(kRows)) {
        request->Complete(platform::kErrorInvalidFunction);
        return;
    }
    std::vector<std::uint32_t>& clients = file->second;
    const std::uint32_t clientId = in.U32(kOffClientId).value_or(0);
    const std::uint32_t connectionId = in.U32(kOffConnectionId).value_or(0);
    auto connection = m_connections.find(connectionId);
    const bool knownClient = std::find(clients.begin(), clients.end(), clientId) != clients.end();
    const bool knownConnection = connection != m_connections.end() && connection->second.fileId == fileId &&
                                 connection->second.clientId == clientId;
    if (row->needs == Needs::Client && !knownClient) {
        request->Complete(platform::kErrorInvalidParameter);
        return;
    }
    if (row->needs == Needs::Connection && !knownConnection) {
        request->Complete(platform::kErrorInvalidHandle);
        return;
    }
    DriverCall call{fileId, request, block, clients, clientId, connectionId,
                    knownConnection ? &connection->second : nullptr};
    (this->*row->handler)(call);
}

void Card::RegisterLocked(DriverCall& call) {
    const std::uint32_t id = m_nextClientId++;
    call.clients.push_back(id);
    LittleOut(call.block).U32(kOffClientId, id);
    LittleOut(call.block).U32(kOffConnectionId, static_cast<std::uint32_t>(m_adapters.size()));
    for (std::size_t a = 0; a < m_adapters.size(); ++a) {
        const std::string name = AdapterName(a);
        for (std::size_t c = 0; c < name.size(); ++c)
            LittleOut(call.block).U16(NameSlot(a) + 2 * c, static_cast<std::uint8_t>(name[c]));
    }
    call.request->Complete(0, call.block);
}

void Card::UnregisterLocked(DriverCall& call) {
    std::vector<std::uint32_t> gone;
    for (const auto& [id, c] : m_connections)
        if (c.fileId == call.fileId && c.clientId == call.clientId) gone.push_back(id);
    for (std::uint32_t id : gone) DropConnectionLocked(id);
    std::erase(call.clients, call.clientId);
    call.request->Complete(0);
}

void Card::OpenLocked(DriverCall& call) {
    const FieldReader in = Little(call.block);
    std::string name;
    for (std::size_t c = 0; c < TPX_ADAPTER_NAME_CHARS; ++c) {
        const std::uint16_t ch = in.U16(kOffOpenName + 2 * c).value_or(0);
        if (ch == 0) break;
        name.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
    }
    int adapter = -1;
    for (std::size_t a = 0; a < m_adapters.size(); ++a)
        if (name == AdapterName(a)) adapter = static_cast<int>(a);
    if (adapter < 0) {
        LittleOut(call.block).U32(kOffOpenConnectionId, 0);
        LittleOut(call.block).U32(kOffOpenResult, kResultNoSuchAdapter);
    } else {
        const std::uint32_t id = m_nextConnectionId++;
        m_connections.emplace(id, Connection{call.fileId, call.clientId, adapter, false, FrameSource(m_settings), {}, {}});
        LittleOut(call.block).U32(kOffOpenConnectionId, id);
        LittleOut(call.block).U32(kOffOpenResult, 0);
    }
    call.request->Complete(0, call.block);
}

void Card::CloseLocked(DriverCall& call) {
    const bool known = call.connection != nullptr;
    if (known) DropConnectionLocked(call.connectionId);
    LittleOut(call.block).U32(kOffCloseResult, known ? 0 : platform::kErrorInvalidHandle);
    call.request->Complete(0, call.block);
}

void Card::ReadLocked(DriverCall& call) {
    call.connection->reads.push_back(call.request);
    DeliverLocked(*call.connection);
    if (call.connection->outbox.size() < kFastLowWater) m_paceChanged.notify_all();
}

void Card::WriteLocked(DriverCall& call) {
    const FieldReader in = Little(call.block);
    const std::uint8_t type = in.U8(kOffWriteType).value_or(0);
    const std::uint16_t headerLength = in.U16(kOffWriteHeaderLength).value_or(0);
    const std::uint16_t dataLength = in.U16(kOffWriteDataLength).value_or(0);
    const std::size_t length = std::size_t{headerLength} + dataLength;
    if (type != kWriteMessageType || length > kMaxMessageBytes) {
        call.request->Complete(platform::kErrorInvalidParameter);
        return;
    }
    const auto message = std::span<const std::uint8_t>(call.block).subspan(kOffWriteMessage, length);
#ifdef MARLOTRC_TESTING
    PushCapped(m_messages, ReceivedMessage{type, headerLength, dataLength, {message.begin(), message.end()}});
#endif
    call.request->Complete(0, call.block);
    FirmwareLocked(*call.connection, message, headerLength);
}

void Card::FirmwareLocked(Connection& connection, std::span<const std::uint8_t> message, std::size_t headerLength) {
    // What the firmware answers, and whether the command names link 1 or 2
    // (another link is refused as unsupported). Commands it does not list are
    // refused the same way; GSM Open and the configuration commands are only
    // accepted: the real card keeps the configuration, the emulation not.
    struct Row {
        std::uint16_t group;
        std::uint32_t opcode;
        bool needsLink;
        std::uint32_t (Card::*handler)(FirmwareCall&);
    };
    static constexpr Row kRows[] = {
        {TPX_GROUP_GSM, TPX_OP_GSM_OPEN, false, nullptr},
        {TPX_GROUP_GSM, TPX_OP_GSM_CLOSE, false, &Card::GsmCloseLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_GET_STATUS, false, &Card::LineStatusLocked},
        {TPX_GROUP_LINE, TPX_OP_LINK_GET_STATUS, true, &Card::LinkStatusLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_GET_STATISTICS, false, &Card::LineStatisticsLocked},
        {TPX_GROUP_LINE, TPX_OP_LINK_GET_STATISTICS, true, &Card::LinkStatisticsLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_ZERO_STATISTICS, false, &Card::ZeroLineStatisticsLocked},
        {TPX_GROUP_LINE, TPX_OP_LINK_ZERO_STATISTICS, true, &Card::ZeroLinkStatisticsLocked},
        {TPX_GROUP_LINE, TPX_OP_TRACE_CONTROL, false, &Card::TraceControlLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_ENABLE, false, &Card::LineEnableLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_DISABLE, false, &Card::LineEnableLocked},
        {TPX_GROUP_LINE, TPX_OP_LINE_SET_CONFIG, false, nullptr},
        {TPX_GROUP_LINE, TPX_OP_LINK_SET_CONFIG, false, nullptr},
    };

    if (headerLength < kGsmHeaderLength) return;  // not a message: the firmware has nothing to answer
    const FieldReader in = Little(message.first(headerLength));
    const std::uint16_t group = in.U16(kHeaderGroupOffset).value_or(0);
    const std::uint32_t opcode = in.U32(TPX_HEADER_OPCODE_OFFSET).value_or(0);
    const MessageKey key = Key(group, opcode);
    if (m_unanswered.count(key)) return;
    std::uint32_t result = 0;
    if (auto refused = m_refuse.find(key); refused != m_refuse.end()) result = refused->second;
    const std::uint32_t address = in.U32(TPX_HEADER_ADDRESS_OFFSET).value_or(0);
    std::vector<std::uint8_t> data;

    if (result == 0) {
        const Row* row = std::find_if(std::begin(kRows), std::end(kRows),
                                      [&](const Row& r) { return r.group == group && r.opcode == opcode; });
        const std::uint32_t link = LinkOf(address);
        if (row == std::end(kRows) || (row->needsLink && link != 1 && link != 2)) {
            result = kResultUnsupported;
        } else if (row->handler != nullptr) {
            FirmwareCall call{connection, m_adapters[static_cast<std::size_t>(connection.adapter)], message,
                              headerLength, link, std::chrono::steady_clock::now(), data};
            result = (this->*row->handler)(call);
        }
    }
    if (result != 0) data.clear();
    AnswerLocked(connection, message.first(headerLength), result, data);
}

// The answer repeats the command's group, opcode and (for line commands) link
// address before the result and the data.
void Card::AnswerLocked(Connection& connection, std::span<const std::uint8_t> commandHeader, std::uint32_t result,
                        std::span<const std::uint8_t> data) {
    const FieldReader command = Little(commandHeader);
    const std::uint16_t group = command.U16(kHeaderGroupOffset).value_or(0);
    Message response;
    response.headerLength = group == TPX_GROUP_GSM ? kGsmHeaderLength : kLineHeaderLength;
    response.bytes.assign(response.headerLength, 0);
    const FieldWriter out = LittleOut(response.bytes);
    out.U16(kHeaderGroupOffset, group);
    out.U16(kHeaderConstantOffset, kHeaderConstant);
    out.U32(TPX_HEADER_OPCODE_OFFSET, command.U32(TPX_HEADER_OPCODE_OFFSET).value_or(0));
    out.U32(TPX_HEADER_RESULT_OFFSET, result);
    if (group != TPX_GROUP_GSM) out.U32(TPX_HEADER_ADDRESS_OFFSET, command.U32(TPX_HEADER_ADDRESS_OFFSET).value_or(0));
    response.bytes.insert(response.bytes.end(), data.begin(), data.end());
    connection.outbox.push_back(std::move(response));
    DeliverLocked(connection);
}

std::uint32_t Card::GsmCloseLocked(FirmwareCall& call) {
    call.connection.traceOn = false;  // GSM Close ends the trace too
    return 0;
}

std::uint32_t Card::LineStatusLocked(FirmwareCall& call) {
    call.data.assign(TPX_LINE_STATUS_BYTES, 0);
    if (call.adapter.lineEnabled) {
        call.data[TPX_LINE_STATUS_STATE] = m_settings.line;
        call.data[TPX_LINE_STATUS_RX] = m_settings.rx;
        call.data[TPX_LINE_STATUS_TX] = m_settings.tx;
    }
    return 0;
}

std::uint32_t Card::LinkStatusLocked(FirmwareCall& call) {
    call.data.assign(TPX_LINK_STATUS_BYTES, 0);
    call.data[TPX_LINK_STATUS_L2] = m_settings.l2;
    call.data[TPX_LINK_STATUS_L3] = m_settings.l3;
    return 0;
}

std::uint32_t Card::LineStatisticsLocked(FirmwareCall& call) {
    call.data.assign(TPX_LINE_STATISTICS_BYTES, 0);
    LittleOut(call.data).U32(TPX_LINE_STATISTICS_LAST_CHANGED, Hundredths(call.adapter.lineChanged));
    call.data[TPX_LINE_STATISTICS_INTERFACE] = kInterfaceSt;
    return 0;
}

std::uint32_t Card::LinkStatisticsLocked(FirmwareCall& call) {
    const LinkCounters& c = call.adapter.links[call.link - 1];
    call.data.assign(TPX_LINK_STATISTICS_BYTES, 0);
    const FieldWriter out = LittleOut(call.data);
    out.U32(TPX_LINK_STATISTICS_LAST_CHANGED, Hundredths(call.adapter.linkChanged));
    out.U32(TPX_LINK_STATISTICS_MTU, kMtu);
    out.U32(TPX_LINK_STATISTICS_IN_OCTETS, c.inOctets);
    out.U32(TPX_LINK_STATISTICS_IN_PACKETS, c.inPackets);
    out.U32(TPX_LINK_STATISTICS_IN_PACKET_TOTAL, c.inPacketTotal);
    out.U32(TPX_LINK_STATISTICS_OUT_OCTETS, c.outOctets);
    out.U32(TPX_LINK_STATISTICS_OUT_PACKETS, c.outPackets);
    out.U32(TPX_LINK_STATISTICS_OUT_PACKET_TOTAL, c.outPacketTotal);
    call.data[TPX_LINK_STATISTICS_TYPE] = kLinkTypeSignalling;
    return 0;
}

std::uint32_t Card::ZeroLineStatisticsLocked(FirmwareCall& call) {
    call.adapter.lineChanged = call.now;
    return 0;
}

std::uint32_t Card::ZeroLinkStatisticsLocked(FirmwareCall& call) {
    call.adapter.links[call.link - 1] = {};
    return 0;
}

std::uint32_t Card::TraceControlLocked(FirmwareCall& call) {
    const std::uint32_t mode =
        call.headerLength >= kTraceHeaderLength ? Little(call.message).U32(kTraceModeOffset).value_or(kTraceModeNone)
                                                : kTraceModeNone;
    if (mode != kTraceModeOn && mode != kTraceModeOff) return kResultUnsupported;
    call.connection.traceOn = mode == kTraceModeOn;
    m_paceChanged.notify_all();
    return 0;
}

std::uint32_t Card::LineEnableLocked(FirmwareCall& call) {
    call.adapter.lineEnabled = Little(call.message).U32(TPX_HEADER_OPCODE_OFFSET) == TPX_OP_LINE_ENABLE;
    call.adapter.lineChanged = call.now;
    return 0;
}

void Card::DeliverLocked(Connection& connection) {
    while (!connection.reads.empty() && !connection.outbox.empty()) {
        Request read = std::move(connection.reads.front());
        connection.reads.pop_front();
        if (read->IsCompleted()) continue;  // cancelled, or its handle closed
        const Message& message = connection.outbox.front();
        Block out{};
        std::copy(read->Input().begin(), read->Input().end(), out.begin());
        LittleOut(out).U16(kOffReadHeaderLength, message.headerLength);
        LittleOut(out).U16(kOffReadDataLength, static_cast<std::uint16_t>(message.bytes.size() - message.headerLength));
        std::copy(message.bytes.begin(), message.bytes.end(), out.begin() + kOffReadMessage);
        if (!read->Complete(0, out)) continue;
        const bool trace = message.trace;
        if (trace) CountTraceFrameLocked(connection, message);
        connection.outbox.pop_front();
        if (trace && m_settings.unplugAfter && m_traceFrames >= *m_settings.unplugAfter) {
            UnplugLocked();
            return;
        }
    }
}

// Link counters follow the frames the host actually received: network-side
// frames are "in", user-side frames "out"; each counts for its LN link
// (frames of other links for link 1).
void Card::CountTraceFrameLocked(Connection& connection, const Message& indication) {
    ++m_traceFrames;
    const std::span<const std::uint8_t> frame = std::span(indication.bytes).subspan(indication.headerLength);
    const std::uint8_t ln = LnOf(Little(indication.bytes).U32(TPX_HEADER_ADDRESS_OFFSET).value_or(0));
    LinkCounters& c = m_adapters[static_cast<std::size_t>(connection.adapter)].links[ln == 2 ? 1 : 0];
    const auto size = static_cast<std::uint32_t>(frame.size());
    const std::uint32_t information = CarriesInformation(frame) ? 1 : 0;
    if (FromNetworkSide(indication.bytes[TPX_HEADER_FLAGS_OFFSET])) {
        c.inOctets += size;
        c.inPackets += information;
        ++c.inPacketTotal;
    } else {
        c.outOctets += size;
        c.outPackets += information;
        ++c.outPacketTotal;
    }
}

void Card::EmitTraceLocked(Connection& connection) {
    if (connection.frames.Empty() || connection.outbox.size() >= kOutboxLimit) return;
    // unplug=N: exactly N frames reach the host before the card is gone.
    if (m_settings.unplugAfter && m_traceFramesMade >= *m_settings.unplugAfter) return;
    const TraceFrame frame = connection.frames.Next();
    Message indication;
    indication.headerLength = kTraceHeaderLength;
    indication.trace = true;
    indication.bytes.assign(kTraceHeaderLength, 0);
    const FieldWriter out = LittleOut(indication.bytes);
    out.U16(kHeaderGroupOffset, TPX_GROUP_LINE);
    out.U16(kHeaderConstantOffset, kHeaderConstant);
    out.U32(TPX_HEADER_OPCODE_OFFSET, TPX_OP_TRACE_INDICATION);
    indication.bytes[TPX_HEADER_FLAGS_OFFSET] = frame.flags;
    out.U32(TPX_HEADER_ADDRESS_OFFSET, TraceAddress(frame.b, frame.ln));
    // A read's block carries at most this much of a frame, as the driver's does.
    constexpr std::size_t kRoom = kRequestBlockBytes - wire::kOffReadMessage - kTraceHeaderLength;
    indication.bytes.insert(indication.bytes.end(), frame.data.begin(),
                            frame.data.begin() + static_cast<std::ptrdiff_t>(std::min(frame.data.size(), kRoom)));
    connection.outbox.push_back(std::move(indication));
    ++m_traceFramesMade;
    DeliverLocked(connection);
}

void Card::UnplugLocked() {
    m_unplugged = true;
    for (auto& [id, connection] : m_connections) {
        for (auto& read : connection.reads) read->Complete(platform::kErrorDeviceNotConnected);
        connection.reads.clear();
    }
    for (auto& [file, request] : m_stalled) request->Complete(platform::kErrorDeviceNotConnected);
    m_stalled.clear();
}

void Card::DropConnectionLocked(std::uint32_t connectionId) {
    auto it = m_connections.find(connectionId);
    if (it == m_connections.end()) return;
    for (auto& read : it->second.reads) read->Complete(platform::kErrorOperationAborted);
    m_connections.erase(it);
    m_paceChanged.notify_all();
}

std::uint32_t Card::Hundredths(std::chrono::steady_clock::time_point since) const {
    using Centis = std::chrono::duration<std::int64_t, std::centi>;
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<Centis>(std::chrono::steady_clock::now() - since).count());
}

// The pacing thread: one frame per period and tracing connection, or, at
// rate 0, as many as the readers take with a few kept ready. Its timed wait
// is the pace itself, not a guard against a race.
void Card::Pace() {
    std::unique_lock lock(m_mutex);
    auto tracing = [this] {
        return std::any_of(m_connections.begin(), m_connections.end(),
                           [](const auto& c) { return c.second.traceOn && !c.second.frames.Empty(); });
    };
    auto unplugDue = [this] { return m_settings.unplugAfter && m_traceFrames >= *m_settings.unplugAfter; };
    auto canMake = [this] { return !m_settings.unplugAfter || m_traceFramesMade < *m_settings.unplugAfter; };
    auto emitRound = [&](std::size_t upTo) {
        for (auto& [id, connection] : m_connections) {
            if (!connection.traceOn) continue;
            do {
                if (unplugDue()) return UnplugLocked();
                EmitTraceLocked(connection);
            } while (connection.outbox.size() < upTo && !connection.frames.Empty() && canMake());
        }
    };
    auto next = std::chrono::steady_clock::now();
    while (!m_stop) {
        if (m_unplugged || !tracing()) {
            m_paceChanged.wait(lock, [&] { return m_stop || (!m_unplugged && tracing()); });
            next = std::chrono::steady_clock::now();
            continue;
        }
        if (m_settings.rate > 0) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(1.0 / m_settings.rate));
            const auto now = std::chrono::steady_clock::now();
            if (next < now - std::chrono::seconds(1)) next = now;  // after a long pause: no burst
            if (m_paceChanged.wait_until(lock, next, [this] { return m_stop; })) break;
            emitRound(0);
        } else {
            auto hungry = [&] {
                return std::any_of(m_connections.begin(), m_connections.end(), [](const auto& c) {
                    return c.second.traceOn && !c.second.frames.Empty() && c.second.outbox.size() < kFastLowWater;
                }) && (canMake() || unplugDue());
            };
            m_paceChanged.wait(lock, [&] { return m_stop || m_unplugged || !tracing() || hungry(); });
            if (m_stop) break;
            if (!m_unplugged && hungry()) emitRound(kFastBurst);
        }
    }
}

void InstallCard(std::shared_ptr<Card> card) { platform::RegisterDeviceDriver(kDeviceName, std::move(card)); }

#ifdef MARLOTRC_TESTING
void UninstallCard() { platform::UnregisterDeviceDriver(kDeviceName); }

void Card::SetStall(std::set<std::uint32_t> requestCodes) {
    std::lock_guard lock(m_mutex);
    m_stall = std::move(requestCodes);
}

void Card::SetUnanswered(std::set<MessageKey> keys) {
    std::lock_guard lock(m_mutex);
    m_unanswered = std::move(keys);
}

void Card::SetRefuse(std::map<MessageKey, std::uint32_t> results) {
    std::lock_guard lock(m_mutex);
    m_refuse = std::move(results);
}

void Card::Unplug() {
    std::lock_guard lock(m_mutex);
    UnplugLocked();
}

std::vector<ReceivedMessage> Card::Messages() const {
    std::lock_guard lock(m_mutex);
    return {m_messages.begin(), m_messages.end()};
}

std::vector<std::array<std::uint8_t, kRequestBlockBytes>> Card::Requests() const {
    std::lock_guard lock(m_mutex);
    return {m_requests.begin(), m_requests.end()};
}

void Card::ClearLog() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_requests.clear();
}

std::uint64_t Card::TraceFramesSent() const {
    std::lock_guard lock(m_mutex);
    return m_traceFrames;
}

LinkCounters Card::Counters(int adapter, int link) const {
    std::lock_guard lock(m_mutex);
    if (adapter < 0 || static_cast<std::size_t>(adapter) >= m_adapters.size() || link < 1 || link > 2) return {};
    return m_adapters[static_cast<std::size_t>(adapter)].links[static_cast<std::size_t>(link - 1)];
}

#endif

}  // namespace cardsim
