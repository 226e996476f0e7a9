// A program that links only liblinekit.so: with no set-up at all it reaches
// the emulated card, whose driver module the device channel loads; the
// ORINTPX_EMULATOR settings reach that card, and a bad one is refused by name.
// Each case runs in a fresh process (the module loads once per process).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "linekit/tpx.h"
#include "platform/Event.h"

namespace {

// Registers, opens the first adapter and asks for the line status; exits with
// 0 when all of it worked, else with the failing step's code.
[[noreturn]] void RunProgram() {
    TpxHandle device = nullptr;
    std::uint32_t client = 0, count = 0, connectionId = 0, openResult = 0, closeResult = 0;
    char16_t names[TPX_MAX_ADAPTERS][TPX_ADAPTER_NAME_CHARS] = {};
    if (std::uint32_t r = TpxRegister(&device, &client, &count, names)) std::_Exit(static_cast<int>(r % 256));
    if (std::u16string(names[0]) != u"OrinBri1") std::_Exit(101);
    if (count != 1) std::_Exit(static_cast<int>(110 + count));
    TpxResponseBlock block{};
    const platform::EventHandle app = platform::CreateEvent("MarloAppEvent", false);
    const platform::EventHandle ack = platform::CreateEvent("MarloDriverEvent", false);
    block.responseEvent = app;
    block.ackEvent = ack;
    TpxConnection connection{};
    connection.response = &block;
    if (TpxOpen(device, client, names[0], &connectionId, &openResult, &connection) || openResult) std::_Exit(102);
    if (TpxLineGetStatus(device, client, connectionId)) std::_Exit(103);
    if (platform::WaitForEvent(app, 10000) != platform::kWaitObject0) std::_Exit(104);
    if (block.headerLength != 16 || block.dataLength < TPX_LINE_STATUS_BYTES) std::_Exit(105);
    const int state = static_cast<const std::uint8_t*>(block.message)[16 + TPX_LINE_STATUS_STATE];
    platform::ResetEvent(app);
    platform::SetEvent(ack);
    TpxGsmClose(device, client, connectionId, nullptr);
    platform::WaitForEvent(app, 10000);
    platform::ResetEvent(app);
    platform::SetEvent(ack);
    if (TpxClose(device, client, connectionId, &closeResult) || closeResult) std::_Exit(106);
    std::_Exit(state == 3 ? 0 : 120 + state);
}

class DefaultCard : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(DefaultCard, ReachedWithNoSetUp) {
    EXPECT_EXIT(
        {
            ::unsetenv("ORINTPX_EMULATOR");
            RunProgram();
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(DefaultCard, SettingsReachTheCard) {
    EXPECT_EXIT(
        {
            ::setenv("ORINTPX_EMULATOR", "adapters=1; line=2 ;rate=50", 1);
            RunProgram();
        },
        ::testing::ExitedWithCode(122), "");
}

TEST_F(DefaultCard, AbsentDeviceFailsTheRegisterOnTheInvalidHandle) {
    EXPECT_EXIT(
        {
            ::setenv("ORINTPX_EMULATOR", "absent=1", 1);
            RunProgram();
        },
        ::testing::ExitedWithCode(TPX_ERROR_INVALID_HANDLE), "");
}

TEST_F(DefaultCard, ABadSettingIsRefusedByName) {
    EXPECT_EXIT(
        {
            ::setenv("ORINTPX_EMULATOR", "adapters=2;rate=fast", 1);
            RunProgram();
        },
        ::testing::ExitedWithCode(TPX_ERROR_INVALID_HANDLE), "ORINTPX_EMULATOR: bad setting \"rate=fast\"");
}

}  // namespace
