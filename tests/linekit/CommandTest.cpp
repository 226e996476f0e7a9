// The messages of every export, byte for byte as the emulated card received
// them, and the records of the card's answers as the program reads them.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "linekit/WaitLimit.h"
#include "tests/linekit/Session.h"

extern "C" {
std::size_t TpxCSizeOfConnection(void);
std::size_t TpxCSizeOfResponseBlock(void);
std::size_t TpxCSizeOfMessageHeader(void);
std::size_t TpxCOffsetOfResponseMessage(void);
std::size_t TpxCExportCount(void);
}

namespace {

using testing_support::Session;
using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint32_t opcode, std::uint32_t address) {
    Bytes h(16, 0);
    wire::LittleOut(h).U16(0, 2);
    wire::LittleOut(h).U16(2, 1);
    wire::LittleOut(h).U32(4, opcode);
    wire::LittleOut(h).U32(12, address);
    return h;
}
Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct CommandCase {
    const char* name;
    std::function<std::uint32_t(Session&)> send;
    std::uint16_t headerLength;
    Bytes expected;  // header then data
};

TEST(Commands, EveryCommandReachesTheCardByteForByteAndIsAnswered) {
    using S = Session;
    const CommandCase cases[] = {
        {"LineEnable", [](S& s) { return TpxLineEnable(s.device, s.clientId, s.connectionId); }, 16,
         Header(0x9000, 0x0011)},
        {"LineDisable", [](S& s) { return TpxLineDisable(s.device, s.clientId, s.connectionId); }, 16,
         Header(0x8F00, 0x0011)},
        {"LineGetStatus", [](S& s) { return TpxLineGetStatus(s.device, s.clientId, s.connectionId); }, 16,
         Header(0x8800, 0x0011)},
        {"LineGetStatistics", [](S& s) { return TpxLineGetStatistics(s.device, s.clientId, s.connectionId); }, 16,
         Header(0x8B00, 0x0011)},
        {"LineZeroStatistics", [](S& s) { return TpxLineZeroStatistics(s.device, s.clientId, s.connectionId); },
         16, Header(0x8C00, 0x0011)},
        {"LinkGetStatus 1", [](S& s) { return TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 1); }, 16,
         Header(0x8900, 0x0111)},
        {"LinkGetStatus 2", [](S& s) { return TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 2); }, 16,
         Header(0x8900, 0x0211)},
        {"LinkGetStatistics 2", [](S& s) { return TpxLinkGetStatistics(s.device, s.clientId, s.connectionId, 2); },
         16, Header(0x8D00, 0x0211)},
        {"LinkZeroStatistics low 8 bits",
         [](S& s) { return TpxLinkZeroStatistics(s.device, s.clientId, s.connectionId, 0x301); }, 16,
         Header(0x8E00, 0x0111)},
        {"TraceControlEnable", [](S& s) { return TpxLineTraceControlEnable(s.device, s.clientId, s.connectionId); },
         20, Join(Header(0x9900, 0x0011), {2, 0, 0, 0})},
        {"TraceControlDisable",
         [](S& s) { return TpxLineTraceControlDisable(s.device, s.clientId, s.connectionId); }, 20,
         Join(Header(0x9900, 0x0011), {0, 0, 0, 0})},
        {"LineSetConfig low 16 bits",
         [](S& s) { return TpxLineSetConfig(s.device, s.clientId, s.connectionId, 0x12345678); }, 16,
         Join(Header(0x9400, 0x0011), {0x78, 0x56, 0x00, 0x00})},
        {"LinkSetConfig 7 and 4 characters",
         [](S& s) { return TpxLinkSetConfig(s.device, s.clientId, s.connectionId, "ABCDEFG", "WXYZ", 2); }, 16,
         Join(Header(0x9600, 0x0211),
              {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,           // lead
               0xFA, 4, 'W', 'X', 'Y', 'Z', 0, 0,                         // second text, padding 2
               0xFB, 0, 0, 0,                                             // empty element
               0xFC, 7, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 0, 0, 0,       // first text, padding 3
               0, 0, 0, 0, 0, 0, 0, 0})},                                 // the 8 trailing bytes
        {"LinkSetConfig empty texts",
         [](S& s) { return TpxLinkSetConfig(s.device, s.clientId, s.connectionId, "", "", 1); }, 16,
         Join(Header(0x9600, 0x0111), {0, 0, 1, 0, 0, 0, 1, 0, 0xFA, 0, 0, 0, 0xFB, 0, 0, 0, 0xFC, 0, 0, 0,
                                       0, 0, 0, 0, 0, 0, 0, 0})},
        {"GsmClose ignores its fourth argument",
         [](S& s) {
             int ignored = 0;
             return TpxGsmClose(s.device, s.clientId, s.connectionId, &ignored);
         },
         12, {1, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0}},
    };
    Session s;
    ASSERT_EQ(s.Open(), 0u);
    ASSERT_TRUE(s.Await(0) == std::nullopt) << "TpxOpen acknowledged the GSM Open response itself";
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        s.card->ClearLog();
        ASSERT_EQ(c.send(s), 0u);
        const auto messages = s.card->Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].messageType, 2);
        EXPECT_EQ(messages[0].headerLength, c.headerLength);
        EXPECT_EQ(messages[0].dataLength, c.expected.size() - c.headerLength);
        EXPECT_EQ(messages[0].bytes, c.expected);
        const auto response = s.Await();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->opcode, wire::Little(c.expected).U32(4).value());
        EXPECT_EQ(response->result, 0u);
    }
    EXPECT_TRUE(s.boxes.Texts().empty());
}

TEST(Commands, OversizedConfigurationTextsAreRefusedUnsent) {
    Session s;
    ASSERT_EQ(s.Open(), 0u);
    s.card->ClearLog();
    const std::string long128(128, 'x');
    const std::string fits127(127, 'x');
    EXPECT_EQ(TpxLinkSetConfig(s.device, s.clientId, s.connectionId, long128.c_str(), "a", 1),
              TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(TpxLinkSetConfig(s.device, s.clientId, s.connectionId, "a", long128.c_str(), 1),
              TPX_ERROR_INVALID_PARAMETER);
    // Two texts of the longest length still fit one Write (260 of 274 bytes).
    EXPECT_EQ(TpxLinkSetConfig(s.device, s.clientId, s.connectionId, fits127.c_str(), fits127.c_str(), 1), 0u);
    EXPECT_EQ(TpxLinkSetConfig(s.device, s.clientId, s.connectionId, nullptr, "a", 1), TPX_ERROR_INVALID_PARAMETER);
    const std::uint8_t big[TPX_MAX_MESSAGE_BYTES + 1] = {};
    EXPECT_EQ(TpxWrite(s.device, s.clientId, s.connectionId, 2, 16, TPX_MAX_MESSAGE_BYTES - 15, big),
              TPX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(s.card->Messages().size(), 1u);
    ASSERT_TRUE(s.Await());
}

TEST(Commands, RegisterAndOpenBlocksAndTheGsmOpenMessage) {
    cardsim::Settings settings;
    settings.adapters = 3;
    Session s(settings);
    ASSERT_EQ(s.Register(), 0u);
    EXPECT_EQ(s.adapterCount, 3u);
    EXPECT_EQ(std::u16string(s.names[1]), u"OrinBri2");
    EXPECT_EQ(std::u16string(s.names[2]), u"OrinBri3");
    EXPECT_EQ(s.names[3][0], 0);
    ASSERT_EQ(TpxOpen(s.device, s.clientId, s.names[1], &s.connectionId, &s.openResult, &s.connection), 0u);
    s.open = true;
    EXPECT_EQ(s.openResult, 0u);
    EXPECT_EQ(s.connection.device, s.device);
    EXPECT_EQ(s.connection.clientId, s.clientId);
    EXPECT_EQ(s.connection.connectionId, s.connectionId);
    EXPECT_EQ(s.connection.response, &s.block);

    const auto requests = s.card->Requests();
    ASSERT_GE(requests.size(), 3u);
    const auto& reg = requests[0];
    EXPECT_EQ(wire::Little(reg).U32(0).value(), 1u);
    EXPECT_TRUE(std::all_of(reg.begin() + 4, reg.end(), [](std::uint8_t b) { return b == 0; }));
    const auto& open = requests[1];
    EXPECT_EQ(wire::Little(open).U32(0).value(), 2u);
    EXPECT_EQ(wire::Little(open).U32(4).value(), s.clientId);
    const Bytes name(open.begin() + 8, open.begin() + 48);
    Bytes expectedName(40, 0);
    for (std::size_t i = 0; i < 8; ++i) expectedName[2 * i] = static_cast<std::uint8_t>("OrinBri2"[i]);
    EXPECT_EQ(name, expectedName);
    EXPECT_EQ(wire::Little(open).U32(48).value(), 0u);
    EXPECT_EQ(wire::Little(open).U32(52).value(), 0u);

    const auto messages = s.card->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].headerLength, 12);
    EXPECT_EQ(messages[0].bytes, (Bytes{1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 0, 0}));
    const auto& write = requests[2];
    EXPECT_EQ(wire::Little(write).U32(0).value(), 5u);
    EXPECT_EQ(wire::Little(write).U32(8).value(), s.connectionId);
    EXPECT_EQ(write[12], 2);
    EXPECT_EQ(wire::Little(write).U16(14).value(), 12);
    EXPECT_EQ(wire::Little(write).U16(16).value(), 8);
}

TEST(Commands, AnUnknownAdapterNameIsTheOpenResultNotAnError) {
    Session s;
    ASSERT_EQ(s.Register(), 0u);
    const char16_t name[] = u"OrinBri9";
    s.block.responseEvent = s.appEvent;
    const linekit::WaitLimit shortWaits(std::chrono::milliseconds(50));  // the GSM Open of a refused connection is never answered
    const std::uint32_t r = TpxOpen(s.device, s.clientId, name, &s.connectionId, &s.openResult, &s.connection);
    EXPECT_NE(s.openResult, 0u);
    EXPECT_NE(r, 0u);
}

TEST(Commands, ResponseRecordsCarryTheCardsStatusAndRefusals) {
    cardsim::Settings settings;
    settings.line = 1;
    settings.rx = 0;
    settings.tx = 1;
    settings.l2 = 3;
    settings.l3 = 4;
    settings.refuse[cardsim::Key(2, 0x8C00)] = 7;
    Session s(settings);
    ASSERT_EQ(s.Open(), 0u);

    ASSERT_EQ(TpxLineGetStatus(s.device, s.clientId, s.connectionId), 0u);
    auto r = s.Await();
    ASSERT_TRUE(r);
    ASSERT_GE(r->record.size(), std::size_t{TPX_LINE_STATUS_BYTES});
    EXPECT_EQ(r->record[TPX_LINE_STATUS_STATE], 1);
    EXPECT_EQ(r->record[TPX_LINE_STATUS_RX], 0);
    EXPECT_EQ(r->record[TPX_LINE_STATUS_TX], 1);

    ASSERT_EQ(TpxLinkGetStatus(s.device, s.clientId, s.connectionId, 2), 0u);
    r = s.Await();
    ASSERT_TRUE(r);
    ASSERT_GE(r->record.size(), std::size_t{TPX_LINK_STATUS_BYTES});
    EXPECT_EQ(r->record[TPX_LINK_STATUS_L2], 3);
    EXPECT_EQ(r->record[TPX_LINK_STATUS_L3], 4);

    ASSERT_EQ(TpxLineGetStatistics(s.device, s.clientId, s.connectionId), 0u);
    r = s.Await();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->record.size(), std::size_t{TPX_LINE_STATISTICS_BYTES});
    EXPECT_EQ(r->record[TPX_LINE_STATISTICS_INTERFACE], 75);

    ASSERT_EQ(TpxLineZeroStatistics(s.device, s.clientId, s.connectionId), 0u);
    r = s.Await();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->result, 7u) << "a refusal is the response's result word, passed on untouched";
}

TEST(TpxHeader, CompilesAsCWithTheSameLayout) {
    EXPECT_EQ(TpxCSizeOfConnection(), sizeof(TpxConnection));
    EXPECT_EQ(TpxCSizeOfResponseBlock(), sizeof(TpxResponseBlock));
    EXPECT_EQ(TpxCSizeOfMessageHeader(), 16u);
    EXPECT_EQ(TpxCOffsetOfResponseMessage(), offsetof(TpxResponseBlock, message));
    EXPECT_EQ(TpxCExportCount(), 28u);
    // Field order as documented; sizes follow the pointer size.
    EXPECT_EQ(offsetof(TpxConnection, clientId), sizeof(void*));
    EXPECT_EQ(offsetof(TpxConnection, response), sizeof(void*) + 8);
    EXPECT_EQ(offsetof(TpxResponseBlock, headerLength), 3 * sizeof(void*));
}

}  // namespace
