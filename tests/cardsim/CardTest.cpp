// The emulated card's driver behaviour, through the device channel itself:
// what the Tpx library relies on when it waits for completions.

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "cardsim/Card.h"
#include "wire/Bytes.h"

namespace {

using namespace cardsim;
using Block = std::array<std::uint8_t, kRequestBlockBytes>;

// A handle on an installed card, with one pending-capable request at a time.
class Driver {
public:
    explicit Driver(Settings settings = {}) : card(std::make_shared<Card>(std::move(settings))) {
        InstallCard(card);
        device = platform::OpenDevice(kDeviceName);
        overlapped.event = platform::CreateEvent({}, false);
    }
    ~Driver() {
        platform::CloseDevice(device);
        platform::CloseEvent(overlapped.event);
        UninstallCard();
    }
    std::uint32_t Submit(Block& block, std::uint32_t code) {
        wire::LittleOut(block).U32(0, code);
        return platform::DeviceIoControl(device, kControlCode, block, overlapped);
    }
    // Register, open OrinBri1 and send GSM Open; returns the connection id.
    std::uint32_t Connect() {
        Block b{};
        EXPECT_EQ(Submit(b, 1), 0u);
        client = wire::Little(b).U32(4).value();
        Block o{};
        wire::LittleOut(o).U32(4, client);
        for (std::size_t i = 0; i < 8; ++i) wire::LittleOut(o).U16(8 + 2 * i, static_cast<std::uint8_t>("OrinBri1"[i]));
        EXPECT_EQ(Submit(o, 2), 0u);
        EXPECT_EQ(wire::Little(o).U32(52).value(), 0u);
        return wire::Little(o).U32(48).value();
    }
    std::uint32_t Write(std::uint32_t connection, const std::vector<std::uint8_t>& message, std::uint16_t headerLength) {
        Block w{};
        wire::LittleOut(w).U32(4, client);
        wire::LittleOut(w).U32(8, connection);
        w[12] = 2;
        wire::LittleOut(w).U16(14, headerLength);
        wire::LittleOut(w).U16(16, static_cast<std::uint16_t>(message.size() - headerLength));
        std::copy_n(message.begin(), std::min<std::size_t>(message.size(), w.size() - 18), w.begin() + 18);
        return Submit(w, 5);
    }
    std::shared_ptr<Card> card;
    platform::DeviceHandle device = nullptr;
    platform::Overlapped overlapped;
    std::uint32_t client = 0;
};

std::vector<std::uint8_t> Command(std::uint32_t opcode, std::uint32_t mode = 0xFFFFFFFF) {
    std::vector<std::uint8_t> m(mode == 0xFFFFFFFF ? 16 : 20, 0);
    wire::LittleOut(m).U16(0, 2);
    wire::LittleOut(m).U16(2, 1);
    wire::LittleOut(m).U32(4, opcode);
    wire::LittleOut(m).U32(12, 0x11);
    if (mode != 0xFFFFFFFF) wire::LittleOut(m).U32(16, mode);
    return m;
}

TEST(CardDriver, ReadStaysPendingUntilAMessageArrives) {
    Driver d;
    const std::uint32_t connection = d.Connect();
    Block read{};
    wire::LittleOut(read).U32(4, d.client);
    wire::LittleOut(read).U32(8, connection);
    platform::Overlapped readOverlapped{platform::CreateEvent({}, false), nullptr};
    wire::LittleOut(read).U32(0, 4);
    ASSERT_EQ(platform::DeviceIoControl(d.device, kControlCode, read, readOverlapped), platform::kErrorIoPending);
    EXPECT_EQ(platform::WaitForEvent(readOverlapped.event, 50), platform::kWaitTimeout);

    ASSERT_EQ(d.Write(connection, Command(0x8800), 16), 0u);  // the answer completes the read
    ASSERT_EQ(platform::WaitForEvent(readOverlapped.event, platform::kInfinite), platform::kWaitObject0);
    ASSERT_EQ(platform::GetOverlappedResult(readOverlapped, read), 0u);
    EXPECT_EQ(wire::Little(read).U16(12).value(), 16);
    EXPECT_EQ(wire::Little(read).U16(14).value(), 8);
    EXPECT_EQ(wire::Little(read).U32(16 + 4).value(), 0x8800u);
    EXPECT_EQ(read[16 + 16], 3) << "layer 3 active by default";
    platform::CloseEvent(readOverlapped.event);
}

TEST(CardDriver, PendingRequestsFailWhenTheHandleClosesOrTheCardIsUnplugged) {
    struct Case {
        const char* name;
        bool unplug;
        std::uint32_t expected;
    };
    for (const Case c : {Case{"handle closed", false, platform::kErrorOperationAborted},
                         Case{"card unplugged", true, platform::kErrorDeviceNotConnected}}) {
        SCOPED_TRACE(c.name);
        Driver d;
        const std::uint32_t connection = d.Connect();
        d.card->SetStall({3});
        Block close{};
        wire::LittleOut(close).U32(4, d.client);
        wire::LittleOut(close).U32(8, connection);
        ASSERT_EQ(d.Submit(close, 3), platform::kErrorIoPending) << "a stalled request stays pending";
        Block read{};
        wire::LittleOut(read).U32(4, d.client);
        wire::LittleOut(read).U32(8, connection);
        platform::Overlapped readOverlapped{platform::CreateEvent({}, false), nullptr};
        wire::LittleOut(read).U32(0, 4);
        ASSERT_EQ(platform::DeviceIoControl(d.device, kControlCode, read, readOverlapped), platform::kErrorIoPending);

        std::thread other([&] { c.unplug ? d.card->Unplug() : (void)platform::CloseDevice(d.device); });
        ASSERT_EQ(platform::WaitForEvent(readOverlapped.event, platform::kInfinite), platform::kWaitObject0);
        ASSERT_EQ(platform::WaitForEvent(d.overlapped.event, platform::kInfinite), platform::kWaitObject0);
        other.join();
        EXPECT_EQ(platform::GetOverlappedResult(readOverlapped, read), c.expected);
        EXPECT_EQ(platform::GetOverlappedResult(d.overlapped, close), c.expected);
        if (c.unplug) {
            Block later{};
            EXPECT_EQ(d.Submit(later, 1), platform::kErrorDeviceNotConnected) << "and every later one";
        }
        platform::CloseEvent(readOverlapped.event);
    }
}

TEST(CardDriver, MalformedRequestsAreRefused) {
    Driver d;
    const std::uint32_t connection = d.Connect();
    std::vector<std::uint8_t> tooLong(315, 0);
    EXPECT_EQ(d.Write(connection, tooLong, 16), platform::kErrorInvalidParameter);
    EXPECT_EQ(d.Write(connection + 1, Command(0x8800), 16), platform::kErrorInvalidHandle);
    Block b{};
    EXPECT_EQ(d.Submit(b, 9), platform::kErrorInvalidFunction);
    std::array<std::uint8_t, 16> small{};
    EXPECT_EQ(platform::DeviceIoControl(d.device, kControlCode, small, d.overlapped), platform::kErrorInvalidParameter);
    EXPECT_EQ(platform::DeviceIoControl(d.device, 0x1234, b, d.overlapped), platform::kErrorInvalidFunction);
}

TEST(CardDriver, ReplayedFramesComeBackAsTraceIndications) {
    Settings settings;
    settings.rate = 0;
    settings.traffic = Traffic::Replay;
    settings.replay = {TraceFrame{{0x02, 0x01, 0x7F}, 0x01, 1, 1}, TraceFrame{{0x00, 0x81, 0x01, 0x03}, 0x00, 2, 2}};
    Driver d(settings);
    const std::uint32_t connection = d.Connect();
    ASSERT_EQ(d.Write(connection, Command(0x9900, 2), 20), 0u);
    std::vector<std::vector<std::uint8_t>> indications;
    while (indications.size() < 4) {
        Block read{};
        wire::LittleOut(read).U32(4, d.client);
        wire::LittleOut(read).U32(8, connection);
        std::uint32_t r = d.Submit(read, 4);
        if (r == platform::kErrorIoPending) {
            platform::WaitForEvent(d.overlapped.event, platform::kInfinite);
            r = platform::GetOverlappedResult(d.overlapped, read);
        }
        ASSERT_EQ(r, 0u);
        const std::uint16_t h = wire::Little(read).U16(12).value(), n = wire::Little(read).U16(14).value();
        if (wire::Little(read).U32(16 + 4).value() != 0x2080) continue;  // the trace control answer
        EXPECT_EQ(h, 20);
        indications.emplace_back(read.begin() + 16, read.begin() + 16 + h + n);
    }
    for (std::size_t i = 0; i < indications.size(); ++i) {
        const TraceFrame& f = settings.replay[i % 2];
        const auto& m = indications[i];
        EXPECT_EQ(m[10], f.flags);
        EXPECT_EQ(m[12], (f.ln << 4) | f.b) << "B in bits 0-2, LN in bits 4-6";
        EXPECT_EQ(m[13], f.ln);
        EXPECT_TRUE(std::equal(f.data.begin(), f.data.end(), m.begin() + 20));
    }
}

}  // namespace
