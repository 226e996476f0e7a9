#pragma once
// The emulated card behind "\\.\ORINTPX": the kernel driver's part (six
// request codes on control code 0xCCCC2004, Read pending until a message
// arrives) and the adapter firmware's part (GSM Open and Close, every line
// and link command with its response record, trace indications while trace
// control is on). Faults come from its Settings; in the test variant
// (libmarlocardsim-testing.so) they can be changed while it runs, and it
// keeps what it received for tests to read. Thread-safe: requests arrive on
// the callers' threads; one pacing thread of its own emits trace frames.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cardsim/Conversation.h"
#include "cardsim/Settings.h"
#include "linekit/tpx.h"
#include "platform/Device.h"
#include "wire/Tpx.h"

namespace cardsim {

inline constexpr auto& kDeviceName = wire::kDeviceName;
inline constexpr std::uint32_t kControlCode = wire::kControlCode;
inline constexpr std::size_t kRequestBlockBytes = wire::kBlockSize;

#ifdef MARLOTRC_TESTING
// A message as the card received it in a Write request.
struct ReceivedMessage {
    std::uint8_t messageType = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t dataLength = 0;
    std::vector<std::uint8_t> bytes;  // header then data
};
#endif

// The counters of one link (TpxLinkStatistics).
struct LinkCounters {
    std::uint32_t inOctets = 0, inPackets = 0, inPacketTotal = 0;
    std::uint32_t outOctets = 0, outPackets = 0, outPacketTotal = 0;
};

class Card : public platform::DeviceDriver {
public:
    explicit Card(Settings settings = {});
    ~Card() override;
    Card(const Card&) = delete;
    Card& operator=(const Card&) = delete;

    std::uint32_t OnOpen(std::uint64_t fileId) override;
    void OnRequest(std::uint64_t fileId, std::shared_ptr<platform::DeviceRequest> request) override;
    void OnClose(std::uint64_t fileId) override;

#ifdef MARLOTRC_TESTING
    // Faults, changed while running.
    void SetStall(std::set<std::uint32_t> requestCodes);  // stalls later requests; Stall({}) releases none
    void SetUnanswered(std::set<MessageKey> keys);
    void SetRefuse(std::map<MessageKey, std::uint32_t> results);
    void Unplug();  // every pending and later request fails with 1167

    // What the card saw and did: the last 4096 requests and messages.
    std::vector<ReceivedMessage> Messages() const;  // every Write, oldest first
    std::vector<std::array<std::uint8_t, kRequestBlockBytes>> Requests() const;  // all but Read
    void ClearLog();
    std::uint64_t TraceFramesSent() const;  // handed to the host in completed Reads
    LinkCounters Counters(int adapter, int link) const;  // link 1 or 2
#endif

private:
    struct Message {
        std::uint16_t headerLength = 0;
        std::vector<std::uint8_t> bytes;
        bool trace = false;  // a trace indication, not a response
    };
    struct Connection {
        std::uint64_t fileId = 0;
        std::uint32_t clientId = 0;
        int adapter = 0;
        bool traceOn = false;
        FrameSource frames;
        std::deque<Message> outbox;
        std::deque<std::shared_ptr<platform::DeviceRequest>> reads;
    };
    struct Adapter {
        std::array<LinkCounters, 2> links;
        std::chrono::steady_clock::time_point lineChanged, linkChanged;
        bool lineEnabled = true;
    };
    using Request = std::shared_ptr<platform::DeviceRequest>;
    using Block = std::array<std::uint8_t, kRequestBlockBytes>;

    // One driver request, as the driver's dispatch sees it.
    struct DriverCall {
        std::uint64_t fileId;
        const Request& request;
        Block& block;
        std::vector<std::uint32_t>& clients;  // of the request's handle
        std::uint32_t clientId;
        std::uint32_t connectionId;
        Connection* connection;  // the request's own connection, or null
    };
    // One firmware command: what it asks and what the answer will carry.
    struct FirmwareCall {
        Connection& connection;
        Adapter& adapter;
        std::span<const std::uint8_t> message;
        std::size_t headerLength;
        std::uint32_t link;
        std::chrono::steady_clock::time_point now;
        std::vector<std::uint8_t>& data;  // the response record
    };

    void HandleLocked(std::uint64_t fileId, const Request& request, Block& block);
    void RegisterLocked(DriverCall& call);
    void UnregisterLocked(DriverCall& call);
    void OpenLocked(DriverCall& call);
    void CloseLocked(DriverCall& call);
    void ReadLocked(DriverCall& call);
    void WriteLocked(DriverCall& call);

    void FirmwareLocked(Connection& connection, std::span<const std::uint8_t> message, std::size_t headerLength);
    void AnswerLocked(Connection& connection, std::span<const std::uint8_t> commandHeader, std::uint32_t result,
                      std::span<const std::uint8_t> data);
    std::uint32_t GsmCloseLocked(FirmwareCall& call);
    std::uint32_t LineStatusLocked(FirmwareCall& call);
    std::uint32_t LinkStatusLocked(FirmwareCall& call);
    std::uint32_t LineStatisticsLocked(FirmwareCall& call);
    std::uint32_t LinkStatisticsLocked(FirmwareCall& call);
    std::uint32_t ZeroLineStatisticsLocked(FirmwareCall& call);
    std::uint32_t ZeroLinkStatisticsLocked(FirmwareCall& call);
    std::uint32_t TraceControlLocked(FirmwareCall& call);
    std::uint32_t LineEnableLocked(FirmwareCall& call);
    void DeliverLocked(Connection& connection);
    void EmitTraceLocked(Connection& connection);
    void CountTraceFrameLocked(Connection& connection, const Message& indication);
    void UnplugLocked();
    void DropConnectionLocked(std::uint32_t connectionId);
    std::uint32_t Hundredths(std::chrono::steady_clock::time_point since) const;
    void Pace();

    const Settings m_settings;  // never changes: frame sources point into it
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();

    mutable std::mutex m_mutex;
    std::condition_variable m_paceChanged;  // a connection's trace state or outbox changed, or stop
    bool m_stop = false;
    bool m_unplugged = false;
    std::set<std::uint32_t> m_stall;
    std::set<MessageKey> m_unanswered;
    std::map<MessageKey, std::uint32_t> m_refuse;
    std::map<std::uint64_t, std::vector<std::uint32_t>> m_files;  // handle -> its client ids
    std::map<std::uint32_t, Connection> m_connections;
    std::vector<std::pair<std::uint64_t, Request>> m_stalled;
    std::vector<Adapter> m_adapters;
    std::uint32_t m_nextClientId = 0x100;
    std::uint32_t m_nextConnectionId = 0x200;
    std::uint64_t m_traceFramesMade = 0;  // put into an outbox
    std::uint64_t m_traceFrames = 0;      // handed to the host
#ifdef MARLOTRC_TESTING
    std::deque<ReceivedMessage> m_messages;
    std::deque<Block> m_requests;
#endif

    std::thread m_pacer;  // last member: starts once everything above exists
};

// Registers a card as the driver of "\\.\ORINTPX".
void InstallCard(std::shared_ptr<Card> card);
#ifdef MARLOTRC_TESTING
void UninstallCard();
#endif

}  // namespace cardsim
