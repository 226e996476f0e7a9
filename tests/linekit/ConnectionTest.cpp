// Connections against the emulated card: the monitor thread, trace records,
// time-outs, tear-down and the response handshake.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "cardsim/Conversation.h"
#include "linekit/WaitLimit.h"
#include "tests/linekit/Session.h"
#include "tests/support/WaitUntil.h"

namespace {

using testing_support::Session;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

using testsupport::WaitUntil;

cardsim::Settings Fast() {
    cardsim::Settings settings;
    settings.rate = 0;
    return settings;
}

TEST(Connection, TraceRecordsAreWrittenUntilUnplugEndsTheMonitorWithItsBeep) {
    const fs::path path = fs::temp_directory_path() / ("linekit-trace-" + std::to_string(::getpid()) + ".log");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    constexpr std::size_t kFrames = 45;  // more than one round of the conversation
    cardsim::Settings settings = Fast();
    settings.unplugAfter = kFrames;
    {
        Session s(settings, fd);
        ASSERT_EQ(s.Open(), 0u);
        TpxCaptureStatus status{};
        ASSERT_EQ(TpxGetCaptureStatus(s.device, s.connectionId, &status), 0u);
        EXPECT_EQ(status.running, 1u);
        ASSERT_EQ(TpxLineTraceControlEnable(s.device, s.clientId, s.connectionId), 0u);
        ASSERT_TRUE(s.Await());
        ASSERT_TRUE(s.beeps.WaitFor(1)) << "the failed read ends the monitor thread";
        EXPECT_EQ(s.beeps.Beeps()[0], (std::pair<std::uint32_t, std::uint32_t>{800, 100}));
        ASSERT_EQ(TpxGetCaptureStatus(s.device, s.connectionId, &status), 0u);
        EXPECT_EQ(status.running, 0u) << "the program can tell the card is gone";
        EXPECT_EQ(status.readError, TPX_ERROR_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(status.recordsWritten, kFrames);
        EXPECT_EQ(status.writeError, 0u);
        EXPECT_EQ(status.recordsLost, 0u);
        EXPECT_EQ(s.Close(), TPX_ERROR_DEVICE_NOT_CONNECTED) << "an unplugged card fails every later request";
        EXPECT_TRUE(s.boxes.Texts().empty());
    }
    ::close(fd);
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(path);

    cardsim::CallsConversation conversation;
    std::size_t at = 0;
    // The sequence counter is library-wide: earlier tests of this process
    // have used it, so the numbers are checked relative to the first record.
    ASSERT_GE(file.size(), 8u);
    const std::uint16_t first = wire::Little(file).U16(6).value();
    for (std::size_t i = 0; i < kFrames; ++i) {
        SCOPED_TRACE(i);
        const cardsim::TraceFrame frame = conversation.Next();
        const std::size_t total = 28 + frame.data.size();
        ASSERT_LE(at + total, file.size());
        const std::span<const std::uint8_t> record(file.data() + at, total);
        EXPECT_EQ(wire::Little(record).U32(0).value(), total);
        EXPECT_EQ(wire::Little(record).U16(4).value(), 3);
        EXPECT_EQ(wire::Little(record).U16(6).value(), static_cast<std::uint16_t>(first + i)) << "consecutive, wrapping";
        EXPECT_LT(record[8], 24);
        EXPECT_LT(record[9], 60);
        EXPECT_LT(record[10], 61);
        EXPECT_LT(record[11], 100) << "hundredths of the host clock";
        EXPECT_EQ(record[12], 1);  // B: bits 0-2 of the address word
        EXPECT_EQ(record[13], 1);  // LN: bits 4-6
        EXPECT_EQ(wire::Little(record).U16(14).value(), 0);
        EXPECT_EQ(record[16], 0);
        EXPECT_EQ(record[17], frame.flags);
        EXPECT_EQ(wire::Little(record).U16(18).value(), 0);
        EXPECT_EQ(wire::Little(record).U32(20).value(), frame.data.size());
        EXPECT_TRUE(std::equal(frame.data.begin(), frame.data.end(), record.begin() + 24));
        EXPECT_EQ(wire::Little(record).U32(total - 4).value(), total);
        at += total;
    }
    EXPECT_EQ(at, file.size()) << "exactly the unplugged card's frames";
}

TEST(Connection, AFailedRecordWriteStopsWritingAndIsReported) {
    const fs::path path = fs::temp_directory_path() / ("linekit-readonly-" + std::to_string(::getpid()) + ".log");
    { std::ofstream(path) << "header"; }
    const int fd = ::open(path.c_str(), O_RDONLY);  // every write fails
    ASSERT_GE(fd, 0);
    cardsim::Settings settings = Fast();
    settings.unplugAfter = 10;
    {
        Session s(settings, fd);
        ASSERT_EQ(s.Open(), 0u);
        ASSERT_EQ(TpxLineTraceControlEnable(s.device, s.clientId, s.connectionId), 0u);
        ASSERT_TRUE(s.Await());
        ASSERT_TRUE(s.beeps.WaitFor(1));
        TpxCaptureStatus status{};
        ASSERT_EQ(TpxGetCaptureStatus(s.device, s.connectionId, &status), 0u);
        EXPECT_EQ(status.writeError, static_cast<std::uint32_t>(EBADF));
        EXPECT_EQ(status.recordsWritten, 0u);
        EXPECT_EQ(status.recordsLost, 10u) << "every indication after the failure is counted, none written";
        s.Close();
        EXPECT_EQ(TpxGetCaptureStatus(s.device, s.connectionId, &status), TPX_ERROR_INVALID_HANDLE)
            << "a closed connection has no status";
    }
    ::close(fd);
    EXPECT_EQ(fs::file_size(path), 6u);
    fs::remove(path);
}

TEST(Connection, AFrameLongerThanARecordHoldsIsCountedAsLostAndTheRestWritten) {
    const fs::path path = fs::temp_directory_path() / ("linekit-long-" + std::to_string(::getpid()) + ".log");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    cardsim::Settings settings = Fast();
    settings.traffic = cardsim::Traffic::Replay;
    for (const std::size_t size : {std::size_t{4}, std::size_t{280}, std::size_t{281}, std::size_t{300}, std::size_t{5}}) {
        cardsim::TraceFrame frame;
        frame.data.assign(size, 0x41);
        frame.data[0] = 0x00, frame.data[1] = 0x81, frame.data[2] = 0x01;
        settings.replay.push_back(std::move(frame));
    }
    settings.unplugAfter = 5;  // one pass over the frames
    {
        Session s(settings, fd);
        ASSERT_EQ(s.Open(), 0u);
        ASSERT_EQ(TpxLineTraceControlEnable(s.device, s.clientId, s.connectionId), 0u);
        ASSERT_TRUE(s.Await());
        ASSERT_TRUE(s.beeps.WaitFor(1));
        TpxCaptureStatus status{};
        ASSERT_EQ(TpxGetCaptureStatus(s.device, s.connectionId, &status), 0u);
        EXPECT_EQ(status.recordsWritten, 3u);
        EXPECT_EQ(status.framesTooLong, 2u);
        EXPECT_EQ(status.recordsLost, 2u) << "a frame that was not kept is a loss";
        EXPECT_EQ(status.writeError, 0u) << "the frames after it are written";
        s.Close();
    }
    ::close(fd);
    EXPECT_EQ(fs::file_size(path), (28u + 4) + (28 + 280) + (28 + 5));
    fs::remove(path);
}

TEST(Connection, LinkStatisticsFollowTheFramesSentAndZeroing) {
    Session s(Fast());
    ASSERT_EQ(s.Open(), 0u);
    ASSERT_EQ(TpxLineTraceControlEnable(s.device, s.clientId, s.connectionId), 0u);
    ASSERT_TRUE(s.Await());
    ASSERT_TRUE(WaitUntil([&] { return s.card->TraceFramesSent() >= 100; }));
    ASSERT_EQ(TpxLineTraceControlDisable(s.device, s.clientId, s.connectionId), 0u);
    ASSERT_TRUE(s.Await());
    const std::uint64_t sent = s.card->TraceFramesSent();

    std::uint32_t inOctets = 0, inPackets = 0, inTotal = 0, outOctets = 0, outPackets = 0, outTotal = 0;
    cardsim::CallsConversation conversation;
    for (std::uint64_t i = 0; i < sent; ++i) {
        const cardsim::TraceFrame f = conversation.Next();
        const bool information = (f.data[2] & 0x01) == 0 || f.data[2] == 0x03;
        if (f.flags == 0x01) {
            inOctets += static_cast<std::uint32_t>(f.data.size());
            inPackets += information;
            ++inTotal;
        } else {
            outOctets += static_cast<std::uint32_t>(f.data.size());
            outPackets += information;
            ++outTotal;
        }
    }
    ASSERT_EQ(TpxLinkGetStatistics(s.device, s.clientId, s.connectionId, 1), 0u);
    auto r = s.Await();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->record.size(), std::size_t{TPX_LINK_STATISTICS_BYTES});
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_IN_OCTETS).value(), inOctets);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_IN_PACKETS).value(), inPackets);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_IN_PACKET_TOTAL).value(), inTotal);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_OUT_OCTETS).value(), outOctets);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_OUT_PACKETS).value(), outPackets);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_OUT_PACKET_TOTAL).value(), outTotal);
    EXPECT_EQ(wire::Little(r->record).U32(TPX_LINK_STATISTICS_MTU).value(), 260u);
    EXPECT_EQ(r->record[TPX_LINK_STATISTICS_TYPE], 63);

    ASSERT_EQ(TpxLinkZeroStatistics(s.device, s.clientId, s.connectionId, 1), 0u);
    ASSERT_TRUE(s.Await());
    ASSERT_EQ(TpxLinkGetStatistics(s.device, s.clientId, s.connectionId, 1), 0u);
    r = s.Await();
    ASSERT_TRUE(r);
    for (std::size_t off = TPX_LINK_STATISTICS_IN_OCTETS; off <= TPX_LINK_STATISTICS_OUT_ERRORS; off += 4)
        EXPECT_EQ(wire::Little(r->record).U32(off).value(), 0u) << off;
}

TEST(Connection, TpxCloseReturnsTheUnregisterResultAndClosesTheDevice) {
    struct Case {
        const char* name;
        std::set<std::uint32_t> stall;
        std::uint32_t expected;
        std::uint32_t closeResult;  // a Close the driver never completed is no accepted close
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"both answered", {}, 0, 0, {}},
        {"close stalled", {3}, 0, TPX_WAIT_TIMEOUT, {"The command 3 timed out"}},
        {"unregister stalled", {6}, TPX_WAIT_TIMEOUT, 0, {"The command 6 timed out"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session s;
        ASSERT_EQ(s.Open(), 0u);
        const linekit::WaitLimit shortWaits(std::chrono::milliseconds(100));
        s.card->SetStall(c.stall);
        EXPECT_EQ(s.Close(), c.expected);
        EXPECT_EQ(s.closeResult, c.closeResult);
        EXPECT_EQ(s.boxes.Texts(), c.messages);
        for (const auto& box : s.boxes.Requests()) EXPECT_EQ(box.caption, "linekit");
        EXPECT_EQ(s.beeps.Beeps().size(), 1u) << "the monitor thread has ended before TpxClose returns";
        EXPECT_EQ(platform::OpenDeviceHandleCount(), 0u);
        EXPECT_EQ(TpxLineEnable(s.device, s.clientId, s.connectionId), TPX_ERROR_INVALID_HANDLE);
    }
}

TEST(Connection, GsmOpenTimeOutTearsTheConnectionDownAndFails) {
    struct Case {
        const char* name;
        std::set<cardsim::MessageKey> unanswered;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"open unanswered", {cardsim::kGsmOpen}, {"GSM Open response timed out"}},
        {"open and close unanswered",
         {cardsim::kGsmOpen, cardsim::kGsmClose},
         {"GSM Open response timed out", "GSM Close response timed out"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cardsim::Settings settings;
        settings.unanswered = c.unanswered;
        Session s(settings);
        const linekit::WaitLimit shortWaits(std::chrono::milliseconds(100));
        EXPECT_EQ(s.Open(), TPX_WAIT_TIMEOUT);
        EXPECT_EQ(s.boxes.Texts(), c.messages);
        const auto messages = s.card->Messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(wire::Little(messages[0].bytes).U32(4).value(), TPX_OP_GSM_OPEN);
        EXPECT_EQ(wire::Little(messages[1].bytes).U32(4).value(), TPX_OP_GSM_CLOSE);
        const auto requests = s.card->Requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_EQ(wire::Little(requests[requests.size() - 2]).U32(0).value(), 3u);  // Close
        EXPECT_EQ(wire::Little(requests.back()).U32(0).value(), 6u);                // Unregister
        EXPECT_EQ(platform::OpenDeviceHandleCount(), 0u);
        EXPECT_EQ(s.beeps.Beeps().size(), 1u);
    }
}

TEST(Connection, ReadNeverTimesOutWhileAStalledWriteGives258After10000ms) {
    Session s;  // the library's real time-out: this test takes ten seconds
    ASSERT_EQ(s.Open(), 0u);
    s.card->SetStall({5});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), TPX_WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(s.boxes.Texts(), std::vector<std::string>{"The command 5 timed out"});

    // The monitor thread's Read has been pending all along and still serves.
    s.card->SetStall({});
    ASSERT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), 0u);
    const auto r = s.Await();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->opcode, TPX_OP_LINE_GET_STATUS);
    EXPECT_TRUE(s.beeps.Beeps().empty());
}

TEST(Connection, AResponseIsHeldUntilItIsAcknowledged) {
    Session s;
    ASSERT_EQ(s.Open(), 0u);
    // A leftover acknowledgement, as after a wait that timed out, must not
    // release the next response early.
    platform::SetEvent(s.driverEvent);
    ASSERT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), 0u);
    ASSERT_EQ(platform::WaitForEvent(s.appEvent, 5000), platform::kWaitObject0);
    const void* held = s.block.message;
    ASSERT_NE(held, nullptr);
    const Bytes before(static_cast<const std::uint8_t*>(held),
                       static_cast<const std::uint8_t*>(held) + s.block.headerLength + s.block.dataLength);

    // A second answer waits at the card while the first is not acknowledged.
    ASSERT_EQ(TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 1), 0u);
    EXPECT_EQ(s.block.message, held);
    const Bytes after(static_cast<const std::uint8_t*>(held),
                      static_cast<const std::uint8_t*>(held) + s.block.headerLength + s.block.dataLength);
    EXPECT_EQ(before, after);
    EXPECT_EQ(wire::Little(after).U32(4).value(), TPX_OP_LINE_GET_STATUS);

    platform::ResetEvent(s.appEvent);
    platform::SetEvent(s.driverEvent);
    const auto next = s.Await();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->opcode, TPX_OP_LINK_GET_STATUS);
}

// Both events must be live and the acknowledge event must be the named
// driver event; anything else is refused before the card hears of it, and
// leaves nothing behind that could hold up a good connection afterwards.
TEST(Connection, OpenRefusesEventsItCannotServe) {
    Session s;
    const platform::EventHandle unnamed = platform::CreateEvent({}, false);
    const platform::EventHandle other = platform::CreateEvent("SomeOtherEvent", false);
    const platform::EventHandle closed = platform::CreateEvent({}, false);
    platform::CloseEvent(closed);
    struct Case {
        const char* name;
        TpxHandle response;
        TpxHandle ack;
    };
    const Case cases[] = {
        {"no response event", nullptr, s.driverEvent},
        {"no acknowledge event", s.appEvent, nullptr},
        {"unnamed acknowledge event", s.appEvent, unnamed},
        {"acknowledge event of another name", s.appEvent, other},
        {"closed response event", closed, s.driverEvent},
        {"one event for both", s.driverEvent, s.driverEvent},
    };
    ASSERT_EQ(s.Register(), 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        s.block.responseEvent = c.response;
        s.block.ackEvent = c.ack;
        EXPECT_EQ(TpxOpen(s.device, s.clientId, s.names[0], &s.connectionId, &s.openResult, &s.connection),
                  TPX_ERROR_INVALID_PARAMETER);
        EXPECT_EQ(s.card->Requests().size(), 1u) << "only the Register reached the driver";
    }
    EXPECT_TRUE(s.boxes.Texts().empty());

    s.block.responseEvent = s.appEvent;
    s.block.ackEvent = s.driverEvent;
    ASSERT_EQ(TpxOpen(s.device, s.clientId, s.names[0], &s.connectionId, &s.openResult, &s.connection), 0u);
    s.open = true;
    ASSERT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), 0u);
    const auto r = s.Await(2000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->opcode, TPX_OP_LINE_GET_STATUS);
    platform::CloseEvent(unnamed);
    platform::CloseEvent(other);
}

// A response event left set before the open (by the caller, or by an earlier
// connection whose wait timed out) must not pass for the GSM Open response:
// every later answer would then be read one behind.
TEST(Connection, AResponseEventLeftSetDoesNotPutAnswersOneBehind) {
    Session s;
    platform::SetEvent(s.appEvent);
    ASSERT_EQ(s.Open(), 0u);
    const std::uint32_t opcodes[] = {TPX_OP_LINE_GET_STATUS, TPX_OP_LINK_GET_STATUS, TPX_OP_LINE_GET_STATISTICS};
    ASSERT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), 0u);
    auto r = s.Await(2000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->opcode, opcodes[0]);
    ASSERT_EQ(TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 1), 0u);
    r = s.Await(2000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->opcode, opcodes[1]);
    ASSERT_EQ(TpxLineGetStatistics(s.device, s.clientId, s.connectionId), 0u);
    r = s.Await(2000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->opcode, opcodes[2]);
}

// The rule tpx.h states for threads: one conversation at a time per process,
// each command held from its write to its acknowledgement. Two threads that
// keep it each read their own answers.
TEST(Connection, ThreadsThatSerializeTheirCommandsReadTheirOwnAnswers) {
    Session s;
    ASSERT_EQ(s.Open(), 0u);
    std::mutex conversation;
    auto run = [&](std::uint32_t (*command)(TpxHandle, std::uint32_t, std::uint32_t), std::uint32_t opcode,
                   int& own) {
        for (int i = 0; i < 100; ++i) {
            std::lock_guard lock(conversation);
            if (command(s.device, s.clientId, s.connectionId) != 0) return;
            const auto r = s.Await(2000);
            if (!r) return;
            own += r->opcode == opcode;
        }
    };
    int first = 0;
    int second = 0;
    std::thread a(run, &TpxLineGetStatus, TPX_OP_LINE_GET_STATUS, std::ref(first));
    std::thread b(run, &TpxLineGetStatistics, TPX_OP_LINE_GET_STATISTICS, std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(first, 100);
    EXPECT_EQ(second, 100);
}

TEST(Connection, MissingArgumentsAreRefusedNotDereferenced) {
    Session s;
    ASSERT_EQ(s.Register(), 0u);
    TpxConnection noBlock{};
    EXPECT_EQ(TpxOpen(s.device, s.clientId, s.names[0], &s.connectionId, &s.openResult, &noBlock),
              TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxRegister(nullptr, &s.clientId, &s.adapterCount, s.names), TPX_ERROR_INVALID_PARAMETER);
    std::uint16_t h = 0, d = 0;
    EXPECT_EQ(TpxRead(s.device, s.clientId, 0, &h, &d, nullptr), TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxUnregister(s.device, s.clientId), 0u);
}

}  // namespace

namespace {

// Two adapters open at once in one process share the program's two named
// events; every answer must still reach its own block, with no wake-up lost
// between the two monitor threads.
TEST(Connection, TwoConnectionsShareTheNamedEventsWithoutLosingAnswers) {
    cardsim::Settings settings;
    settings.adapters = 2;
    testing_support::Session s(settings);  // adapter 1 stays open throughout
    ASSERT_EQ(s.Open(0), 0u);
    const linekit::WaitLimit shorterWaits(std::chrono::milliseconds(2000));
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        TpxResponseBlock block{};
        block.responseEvent = s.appEvent;
        block.ackEvent = s.driverEvent;
        TpxConnection connection{};
        connection.response = &block;
        TpxHandle device = nullptr;
        std::uint32_t client = 0, count = 0, id = 0, openResult = 0, closeResult = 0;
        char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
        ASSERT_EQ(TpxRegister(&device, &client, &count, names), 0u);
        ASSERT_EQ(TpxOpen(device, client, names[1], &id, &openResult, &connection), 0u);

        // A command on each, answered into each one's own block.
        ASSERT_EQ(TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 1), 0u);
        auto first = s.Await(2000);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->opcode, TPX_OP_LINK_GET_STATUS);
        ASSERT_EQ(TpxLineGetStatus(device, client, id), 0u);
        ASSERT_EQ(platform::WaitForEvent(s.appEvent, 2000), platform::kWaitObject0);
        ASSERT_NE(block.message, nullptr);
        EXPECT_EQ(wire::Little(std::span(static_cast<const std::uint8_t*>(block.message), 8)).U32(4).value(),
                  TPX_OP_LINE_GET_STATUS);
        platform::ResetEvent(s.appEvent);
        platform::SetEvent(s.driverEvent);

        ASSERT_EQ(TpxGsmClose(device, client, id, nullptr), 0u);
        ASSERT_EQ(platform::WaitForEvent(s.appEvent, 2000), platform::kWaitObject0);
        platform::ResetEvent(s.appEvent);
        platform::SetEvent(s.driverEvent);
        EXPECT_EQ(TpxClose(device, client, id, &closeResult), 0u);
    }
    ASSERT_EQ(TpxGsmClose(s.device, s.clientId, s.connectionId, nullptr), 0u);
    EXPECT_TRUE(s.Await(2000));
    EXPECT_TRUE(s.boxes.Texts().empty());
}

}  // namespace
