#pragma once
// Test support: installs the emulated card with faults given in the
// ORINTPX_EMULATOR syntax ("adapters=2;refuse=8800:5"), or no device at all.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cardsim/Card.h"
#include "platform/Device.h"

namespace testsupport {

// A device name with a driver that refuses every open, as when no card is
// installed (an unregistered name would load the emulated card's module).
class AbsentDevice : public platform::DeviceDriver {
public:
    std::uint32_t OnOpen(std::uint64_t) override { return platform::kErrorFileNotFound; }
    void OnRequest(std::uint64_t, std::shared_ptr<platform::DeviceRequest> request) override {
        request->Complete(platform::kErrorInvalidHandle);
    }
    void OnClose(std::uint64_t) override {}
};

inline std::shared_ptr<cardsim::Card> UseEmulatedCard(const std::string& text) {
    std::string error;
    auto settings = cardsim::ParseSettings(text, &error);
    EXPECT_TRUE(settings) << error;
    if (!settings) return nullptr;
    if (settings->absent) {
        platform::RegisterDeviceDriver(cardsim::kDeviceName, std::make_shared<AbsentDevice>());
        return nullptr;
    }
    auto card = std::make_shared<cardsim::Card>(std::move(*settings));
    cardsim::InstallCard(card);
    return card;
}

inline void RemoveEmulatedCard() {
    cardsim::UninstallCard();
}

}  // namespace testsupport
