#pragma once
// A program's side of one adapter conversation, for tests: an emulated card
// with chosen settings, the two named events, a response block, recorded
// message boxes and beeps, and the response handshake.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "cardsim/Card.h"
#include "linekit/tpx.h"
#include "platform/Beep.h"
#include "platform/Event.h"
#include "tests/support/RecordingMessageBox.h"
#include "wire/Bytes.h"
#include "platform/MessageBox.h"

namespace testing_support {

// Records beeps; a test can wait for one (the monitor thread's last act).
class BeepRecorder {
public:
    BeepRecorder() {
        m_previous = platform::SetBeepHandler([this](std::uint32_t hz, std::uint32_t ms) {
            std::lock_guard lock(m_mutex);
            m_beeps.push_back({hz, ms});
            m_changed.notify_all();
        });
    }
    ~BeepRecorder() { platform::SetBeepHandler(std::move(m_previous)); }
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_beeps.size() >= count; });
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Beeps() {
        std::lock_guard lock(m_mutex);
        return m_beeps;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_beeps;
    platform::BeepHandler m_previous;
};

struct Response {
    std::uint32_t opcode = 0;
    std::uint32_t result = 0;
    std::vector<std::uint8_t> record;  // the data after the header
};

class Session {
public:
    explicit Session(cardsim::Settings settings = {}, std::intptr_t captureFile = 0)
        : card(std::make_shared<cardsim::Card>(std::move(settings))) {
        cardsim::InstallCard(card);
        appEvent = platform::CreateEvent("MarloAppEvent", false);
        driverEvent = platform::CreateEvent("MarloDriverEvent", false);
        block.captureFile = captureFile;
        block.responseEvent = appEvent;
        block.ackEvent = driverEvent;
        connection.response = &block;
    }
    ~Session() {
        if (open) TpxClose(device, clientId, connectionId, &closeResult);
        cardsim::UninstallCard();
        platform::CloseEvent(appEvent);
        platform::CloseEvent(driverEvent);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::uint32_t Register() { return TpxRegister(&device, &clientId, &adapterCount, names); }

    // Registers and opens adapter index `adapter`; the connection then runs.
    std::uint32_t Open(int adapter = 0) {
        if (std::uint32_t r = Register()) return r;
        const std::uint32_t r = TpxOpen(device, clientId, names[adapter], &connectionId, &openResult, &connection);
        open = r == 0;
        return r;
    }

    // Waits for the next response and acknowledges it, as the program does.
    std::optional<Response> Await(std::uint32_t ms = 5000) {
        if (platform::WaitForEvent(appEvent, ms) != platform::kWaitObject0) return std::nullopt;
        Response response;
        const auto* bytes = static_cast<const std::uint8_t*>(block.message);
        const std::span<const std::uint8_t> message(bytes, std::size_t{block.headerLength} + block.dataLength);
        response.opcode = wire::Little(message).U32(4).value();
        response.result = wire::Little(message).U32(8).value();
        response.record.assign(message.begin() + block.headerLength, message.end());
        platform::ResetEvent(appEvent);
        platform::SetEvent(driverEvent);
        return response;
    }

    std::uint32_t Close() {
        open = false;
        return TpxClose(device, clientId, connectionId, &closeResult);
    }

    std::shared_ptr<cardsim::Card> card;
    testsupport::RecordingMessageBox boxes;
    BeepRecorder beeps;
    platform::EventHandle appEvent = nullptr;
    platform::EventHandle driverEvent = nullptr;
    TpxResponseBlock block{};
    TpxConnection connection{};
    TpxHandle device = nullptr;
    std::uint32_t clientId = 0, adapterCount = 0, connectionId = 0, openResult = 0, closeResult = 0;
    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
    bool open = false;
};

}  // namespace testing_support
