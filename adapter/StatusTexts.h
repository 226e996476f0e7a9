#pragma once
// The seven state texts of an adapter's line and links, as the status query
// leaves them, and the labels the diagnostics report and trctool give them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace adapter {

enum StatusText : std::size_t {
    kLineStatus,
    kReceivingSignal,
    kTransmissionSignal,
    kLink1Layer2,
    kLink1Layer3,
    kLink2Layer2,
    kLink2Layer3,
    kStatusTextCount,
};

using LineStatusTexts = std::array<std::string, kStatusTextCount>;

// The texts before any answer: "Unable to determine status", "... signal"
// for both signals and "... link state" for the four link texts.
LineStatusTexts InitialStatusTexts();

// Report labels, in the order of StatusText ("Line Status: " ...).
extern const std::array<std::string_view, kStatusTextCount> kStatusLabels;

// Line state byte 0..3 to text; other values "Status unknown".
std::string_view LineStateText(std::uint8_t lineState);

// Receiving signal (network to terminal). Any line state but 0 means the
// line is up, which implies INFO 4 whatever the byte says.
std::string_view ReceivingSignalText(std::uint8_t lineState, std::uint8_t code);

// Transmission signal (terminal to network); code 2 stands for INFO 3, and
// any line state but 0 implies INFO 3.
std::string_view TransmissionSignalText(std::uint8_t lineState, std::uint8_t code);

inline constexpr std::string_view kLinkNotConfigured = "Link not configured";

}  // namespace adapter
