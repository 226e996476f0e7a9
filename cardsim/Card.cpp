#include "cardsim/Card.h"

#include <algorithm>
#include <string>

#include "platform/LittleEndian.h"
#include "platform/Win32Error.h"

namespace cardsim {
namespace {

using platform::GetU16;
using platform::GetU32;
using platform::PutU16;
using platform::PutU32;

enum : std::uint32_t { kRegister = 1, kOpen = 2, kClose = 3, kRead = 4, kWrite = 5, kUnregister = 6 };

constexpr std::size_t kMaxMessage = 314;       // header plus data of one Write
constexpr std::size_t kOutboxLimit = 4096;     // trace frames kept for a reader that does not read
constexpr std::size_t kFastBurst = 32;         // rate=0: frames kept ready per connection
constexpr std::size_t kLogLimit = 4096;        // requests and messages kept for tests
constexpr std::uint32_t kResultUnsupported = 1;  // the firmware's answer to what it does not know
constexpr std::uint32_t kResultNoSuchAdapter = 2;
constexpr std::uint32_t kMtu = 260;            // LAPD N201
constexpr std::uint8_t kInterfaceSt = 75;
constexpr std::uint8_t kLinkTypeSignalling = 63;

// The side flags of a trace indication: exactly one of bits 0 and 2 set
// means the frame came from the network side.
bool FromNetwork(std::uint8_t flags) { return ((flags & 0x01) != 0) != ((flags & 0x04) != 0); }

// I frames and UI frames carry layer 3; the rest are link control.
bool CarriesInformation(std::span<const std::uint8_t> frame) {
    if (frame.size() < 3) return false;
    const std::uint8_t control = frame[2];
    return (control & 0x01) == 0 || (control & 0xEF) == 0x03;
}

template <typename T>
void PushCapped(std::deque<T>& log, T item) {
    if (log.size() >= kLogLimit) log.pop_front();
    log.push_back(std::move(item));
}

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

void Card::HandleLocked(std::uint64_t fileId, const Request& request, Block& block) {
    const std::uint32_t code = GetU32(block, 0);
    if (code != kRead) PushCapped(m_requests, block);
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
    std::vector<std::uint32_t>& clients = file->second;
    const std::uint32_t clientId = GetU32(block, 4);
    const bool knownClient = std::find(clients.begin(), clients.end(), clientId) != clients.end();
    const std::uint32_t connectionId = GetU32(block, 8);
    auto connection = m_connections.find(connectionId);
    const bool knownConnection = connection != m_connections.end() && connection->second.fileId == fileId &&
                                 connection->second.clientId == clientId;

    switch (code) {
    case kRegister: {
        const std::uint32_t id = m_nextClientId++;
        clients.push_back(id);
        PutU32(block, 4, id);
        PutU32(block, 8, static_cast<std::uint32_t>(m_adapters.size()));
        for (std::size_t a = 0; a < m_adapters.size(); ++a) {
            const std::string name = "OrinBri" + std::to_string(a + 1);
            for (std::size_t c = 0; c < name.size(); ++c) PutU16(block, 12 + 40 * a + 2 * c, static_cast<std::uint8_t>(name[c]));
        }
        request->Complete(0, block);
        return;
    }
    case kUnregister: {
        if (!knownClient) {
            request->Complete(platform::kErrorInvalidParameter);
            return;
        }
        std::vector<std::uint32_t> gone;
        for (const auto& [id, c] : m_connections)
            if (c.fileId == fileId && c.clientId == clientId) gone.push_back(id);
        for (std::uint32_t id : gone) DropConnectionLocked(id);
        std::erase(clients, clientId);
        request->Complete(0);
        return;
    }
    case kOpen: {
        if (!knownClient) {
            request->Complete(platform::kErrorInvalidParameter);
            return;
        }
        std::string name;
        for (std::size_t c = 0; c < 20; ++c) {
            const std::uint16_t ch = GetU16(block, 8 + 2 * c);
            if (ch == 0) break;
            name.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
        }
        int adapter = -1;
        for (std::size_t a = 0; a < m_adapters.size(); ++a)
            if (name == "OrinBri" + std::to_string(a + 1)) adapter = static_cast<int>(a);
        if (adapter < 0) {
            PutU32(block, 48, 0);
            PutU32(block, 52, kResultNoSuchAdapter);
        } else {
            const std::uint32_t id = m_nextConnectionId++;
            m_connections.emplace(id, Connection{fileId, clientId, adapter, false, FrameSource(m_settings), {}, {}});
            PutU32(block, 48, id);
            PutU32(block, 52, 0);
        }
        request->Complete(0, block);
        return;
    }
    case kClose:
        if (knownConnection) DropConnectionLocked(connectionId);
        PutU32(block, 12, knownConnection ? 0 : platform::kErrorInvalidHandle);
        request->Complete(0, block);
        return;
    case kRead:
        if (!knownConnection) {
            request->Complete(platform::kErrorInvalidHandle);
            return;
        }
        connection->second.reads.push_back(request);
        DeliverLocked(connection->second);
        m_paceChanged.notify_all();
        return;
    case kWrite: {
        if (!knownConnection) {
            request->Complete(platform::kErrorInvalidHandle);
            return;
        }
        const std::uint8_t type = block[12];
        const std::uint16_t headerLength = GetU16(block, 14);
        const std::uint16_t dataLength = GetU16(block, 16);
        const std::size_t length = std::size_t{headerLength} + dataLength;
        if (type != 2 || length > kMaxMessage) {
            request->Complete(platform::kErrorInvalidParameter);
            return;
        }
        const auto message = std::span<const std::uint8_t>(block).subspan(18, length);
        PushCapped(m_messages, ReceivedMessage{type, headerLength, dataLength, {message.begin(), message.end()}});
        request->Complete(0, block);
        FirmwareLocked(connectionId, connection->second, message, headerLength);
        return;
    }
    default:
        request->Complete(platform::kErrorInvalidFunction);
        return;
    }
}

void Card::FirmwareLocked(std::uint32_t, Connection& connection, std::span<const std::uint8_t> message,
                          std::size_t headerLength) {
    if (headerLength < 12) return;  // not a message: the firmware has nothing to answer
    const std::uint16_t group = GetU16(message, 0);
    const std::uint32_t opcode = GetU32(message, 4);
    const MessageKey key = Key(group, opcode);
    if (m_unanswered.count(key)) return;
    std::uint32_t result = 0;
    if (auto refused = m_refuse.find(key); refused != m_refuse.end()) result = refused->second;
    const std::uint32_t address = headerLength >= 16 ? GetU32(message, 12) : 0;
    const std::uint32_t link = (address >> 8) & 0xFF;
    Adapter& adapter = m_adapters[static_cast<std::size_t>(connection.adapter)];
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::uint8_t> data;

    if (result == 0 && group == 1) {
        if (opcode == 2) connection.traceOn = false;  // GSM Close ends the trace too
        else if (opcode != 1) result = kResultUnsupported;
    } else if (result == 0 && group == 2) {
        const bool linkOk = link == 1 || link == 2;
        switch (opcode) {
        case 0x8800:
            data = {m_settings.line, 0, 0, 0, 0, 0, m_settings.rx, m_settings.tx};
            if (!adapter.lineEnabled) data = std::vector<std::uint8_t>(8, 0);
            break;
        case 0x8900:
            if (linkOk) data = {0, 0, m_settings.l2, m_settings.l3};
            else result = kResultUnsupported;
            break;
        case 0x8B00:
            data.assign(17, 0);
            PutU32(data, 12, Hundredths(adapter.lineChanged));
            data[16] = kInterfaceSt;
            break;
        case 0x8D00:
            if (!linkOk) {
                result = kResultUnsupported;
                break;
            } else {
                const LinkCounters& c = adapter.links[link - 1];
                data.assign(57, 0);
                PutU32(data, 8, Hundredths(adapter.linkChanged));
                PutU32(data, 12, kMtu);
                PutU32(data, 16, c.inOctets);
                PutU32(data, 20, c.inPackets);
                PutU32(data, 24, c.inPacketTotal);
                PutU32(data, 36, c.outOctets);
                PutU32(data, 40, c.outPackets);
                PutU32(data, 44, c.outPacketTotal);
                data[56] = kLinkTypeSignalling;
            }
            break;
        case 0x8C00:
            adapter.lineChanged = now;
            break;
        case 0x8E00:
            if (linkOk) adapter.links[link - 1] = {};
            else result = kResultUnsupported;
            break;
        case 0x9900: {
            const std::uint32_t mode = headerLength >= 20 ? GetU32(message, 16) : 0xFFFFFFFFu;
            if (mode == 2 || mode == 0) {
                connection.traceOn = mode == 2;
                m_paceChanged.notify_all();
            } else {
                result = kResultUnsupported;
            }
            break;
        }
        case 0x9000:
        case 0x8F00:
            adapter.lineEnabled = opcode == 0x9000;
            adapter.lineChanged = now;
            break;
        case 0x9400:
        case 0x9600:
            break;  // configuration is kept by the real card; the emulation only accepts it
        default:
            result = kResultUnsupported;
        }
    } else if (result == 0) {
        result = kResultUnsupported;
    }
    if (result != 0) data.clear();

    Message response;
    response.headerLength = group == 1 ? 12 : 16;
    response.bytes.assign(response.headerLength, 0);
    PutU16(response.bytes, 0, group);
    PutU16(response.bytes, 2, 1);
    PutU32(response.bytes, 4, opcode);
    PutU32(response.bytes, 8, result);
    if (group != 1) PutU32(response.bytes, 12, address);
    response.bytes.insert(response.bytes.end(), data.begin(), data.end());
    connection.outbox.push_back(std::move(response));
    DeliverLocked(connection);
}

void Card::DeliverLocked(Connection& connection) {
    while (!connection.reads.empty() && !connection.outbox.empty()) {
        Request read = std::move(connection.reads.front());
        connection.reads.pop_front();
        if (read->IsCompleted()) continue;  // cancelled, or its handle closed
        const Message& message = connection.outbox.front();
        Block out{};
        std::copy(read->Input().begin(), read->Input().end(), out.begin());
        PutU16(out, 12, message.headerLength);
        PutU16(out, 14, static_cast<std::uint16_t>(message.bytes.size() - message.headerLength));
        std::copy(message.bytes.begin(), message.bytes.end(), out.begin() + 16);
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
    const std::uint8_t ln = (indication.bytes[12] >> 4) & 0x07;
    LinkCounters& c = m_adapters[static_cast<std::size_t>(connection.adapter)].links[ln == 2 ? 1 : 0];
    const auto size = static_cast<std::uint32_t>(frame.size());
    const std::uint32_t information = CarriesInformation(frame) ? 1 : 0;
    if (FromNetwork(indication.bytes[10])) {
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
    indication.headerLength = 20;
    indication.trace = true;
    indication.bytes.assign(20, 0);
    PutU16(indication.bytes, 0, 2);
    PutU16(indication.bytes, 2, 1);
    PutU32(indication.bytes, 4, 0x2080);
    indication.bytes[10] = frame.flags;
    PutU32(indication.bytes, 12, static_cast<std::uint32_t>((frame.b & 0x07) | ((frame.ln & 0x07) << 4)) |
                                     (static_cast<std::uint32_t>(frame.ln) << 8));
    indication.bytes.insert(indication.bytes.end(), frame.data.begin(), frame.data.end());
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
                    return c.second.traceOn && !c.second.frames.Empty() && c.second.outbox.size() < kFastBurst;
                }) && (canMake() || unplugDue());
            };
            m_paceChanged.wait(lock, [&] { return m_stop || m_unplugged || !tracing() || hungry(); });
            if (m_stop) break;
            if (!m_unplugged && hungry()) emitRound(kFastBurst);
        }
    }
}

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

void InstallCard(std::shared_ptr<Card> card) { platform::RegisterDeviceDriver(kDeviceName, std::move(card)); }

void UninstallCard() { platform::UnregisterDeviceDriver(kDeviceName); }

}  // namespace cardsim
