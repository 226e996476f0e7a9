#include "platform/Device.h"

#include <gtest/gtest.h>

#include <array>
#include <thread>

namespace {

using namespace platform;

// A driver that completes control code 1 at once (adding 1 to each byte),
// keeps code 2 pending until Release(), and refuses code 3.
class FakeDriver : public DeviceDriver {
public:
    std::uint32_t OnOpen(std::uint64_t) override { return 0; }
    void OnRequest(std::uint64_t, std::shared_ptr<DeviceRequest> request) override {
        if (request->ControlCode() == 1) {
            std::vector<std::uint8_t> out(request->Input().begin(), request->Input().end());
            for (auto& b : out) ++b;
            request->Complete(0, out);
        } else if (request->ControlCode() == 2) {
            std::lock_guard lock(m_mutex);
            m_held.push_back(std::move(request));
        } else {
            request->Complete(kErrorInvalidFunction);
        }
    }
    void OnClose(std::uint64_t) override { ++m_closes; }
    void Release(std::uint8_t fill) {
        std::lock_guard lock(m_mutex);
        for (auto& r : m_held) {
            std::vector<std::uint8_t> out(r->Input().size(), fill);
            r->Complete(0, out);
        }
        m_held.clear();
    }
    int m_closes = 0;

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<DeviceRequest>> m_held;
};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDeviceDriver(R"(\\.\FAKE)", m_driver);
        m_device = OpenDevice(R"(\\.\FAKE)");
        ASSERT_NE(m_device, nullptr);
        m_overlapped.event = CreateEvent({}, false);
    }
    void TearDown() override {
        CloseDevice(m_device);
        CloseEvent(m_overlapped.event);
        UnregisterDeviceDriver(R"(\\.\FAKE)");
    }
    std::shared_ptr<FakeDriver> m_driver = std::make_shared<FakeDriver>();
    DeviceHandle m_device = nullptr;
    Overlapped m_overlapped;
};

TEST_F(DeviceTest, ImmediateCompletionFillsTheBlockAndRefusalsReturnTheirCode) {
    std::array<std::uint8_t, 4> block{1, 2, 3, 4};
    EXPECT_EQ(DeviceIoControl(m_device, 1, block, m_overlapped), 0u);
    EXPECT_EQ(block, (std::array<std::uint8_t, 4>{2, 3, 4, 5}));
    EXPECT_EQ(WaitForEvent(m_overlapped.event, 0), kWaitObject0);
    EXPECT_EQ(DeviceIoControl(m_device, 3, block, m_overlapped), kErrorInvalidFunction);
}

TEST_F(DeviceTest, PendingRequestCompletesLaterThroughItsEvent) {
    std::array<std::uint8_t, 4> block{};
    ASSERT_EQ(DeviceIoControl(m_device, 2, block, m_overlapped), kErrorIoPending);
    EXPECT_EQ(GetOverlappedResult(m_overlapped, block), kErrorIoIncomplete);
    std::thread driver([&] { m_driver->Release(7); });
    EXPECT_EQ(WaitForEvent(m_overlapped.event, kInfinite), kWaitObject0);
    driver.join();
    EXPECT_EQ(GetOverlappedResult(m_overlapped, block), 0u);
    EXPECT_EQ(block, (std::array<std::uint8_t, 4>{7, 7, 7, 7}));
}

TEST_F(DeviceTest, CancelWinsOverALateCompletion) {
    std::array<std::uint8_t, 4> block{};
    ASSERT_EQ(DeviceIoControl(m_device, 2, block, m_overlapped), kErrorIoPending);
    CancelIo(m_overlapped);
    m_driver->Release(9);  // too late: ignored, and never writes into block
    EXPECT_EQ(GetOverlappedResult(m_overlapped, block), kErrorOperationAborted);
    EXPECT_EQ(block, (std::array<std::uint8_t, 4>{}));
}

TEST_F(DeviceTest, ClosingTheHandleAbortsPendingRequestsAndRefusesItLater) {
    std::array<std::uint8_t, 4> block{};
    ASSERT_EQ(DeviceIoControl(m_device, 2, block, m_overlapped), kErrorIoPending);
    std::thread closer([&] { CloseDevice(m_device); });
    EXPECT_EQ(WaitForEvent(m_overlapped.event, kInfinite), kWaitObject0);
    closer.join();
    EXPECT_EQ(GetOverlappedResult(m_overlapped, block), kErrorOperationAborted);
    EXPECT_EQ(m_driver->m_closes, 1);
    EXPECT_EQ(DeviceIoControl(m_device, 1, block, m_overlapped), kErrorInvalidHandle);
    EXPECT_FALSE(CloseDevice(m_device));
}

TEST(Device, UnknownNameIsFileNotFound) {
    std::uint32_t error = 0;
    EXPECT_EQ(OpenDevice(R"(\\.\NOSUCHDEVICE)", &error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
}

}  // namespace
