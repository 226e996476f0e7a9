#pragma once
// The information elements a Q.931 basic-call message must carry, by message
// type and direction, as data: a receiver rejects a message that lacks one.
// Only elements mandatory in every case are listed, plus the cause, which is
// mandatory in the first clearing message of a call. Single-octet elements
// are listed by their identifier's high four bits (0xB0: congestion level).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace analysis {

enum class Way : std::uint8_t { Both, ToNetwork, ToUser };

struct MandatoryElement {
    std::uint8_t messageType;
    std::uint8_t element;
    Way way;
    bool firstClearingOnly;  // mandatory only when no earlier message of the call cleared it
};

inline constexpr MandatoryElement kMandatoryElements[] = {
    {0x03, 0x1E, Way::Both, false},      // PROGRESS: progress indicator
    {0x05, 0x04, Way::Both, false},      // SETUP: bearer capability
    {0x05, 0x18, Way::ToUser, false},    // SETUP: channel identification
    {0x20, 0x7E, Way::Both, false},      // USER INFORMATION: user-user
    {0x21, 0x08, Way::Both, false},      // SUSPEND REJECT: cause
    {0x22, 0x08, Way::Both, false},      // RESUME REJECT: cause
    {0x2E, 0x18, Way::ToUser, false},    // RESUME ACKNOWLEDGE: channel identification
    {0x45, 0x08, Way::Both, false},      // DISCONNECT: cause
    {0x46, 0x79, Way::Both, false},      // RESTART: restart indicator
    {0x4D, 0x08, Way::Both, true},       // RELEASE: cause
    {0x4E, 0x79, Way::Both, false},      // RESTART ACKNOWLEDGE: restart indicator
    {0x5A, 0x08, Way::Both, true},       // RELEASE COMPLETE: cause
    {0x6E, 0x27, Way::Both, false},      // NOTIFY: notification indicator
    {0x79, 0x08, Way::Both, false},      // CONGESTION CONTROL: cause
    {0x79, 0xB0, Way::Both, false},      // CONGESTION CONTROL: congestion level
    {0x7D, 0x08, Way::Both, false},      // STATUS: cause
    {0x7D, 0x14, Way::Both, false},      // STATUS: call state
};

constexpr bool MandatorySorted() {
    for (std::size_t i = 1; i < std::size(kMandatoryElements); ++i) {
        const auto& a = kMandatoryElements[i - 1];
        const auto& b = kMandatoryElements[i];
        if (a.messageType > b.messageType || (a.messageType == b.messageType && a.element >= b.element))
            return false;
    }
    return true;
}
static_assert(MandatorySorted());

// The rows of one message type.
inline std::span<const MandatoryElement> MandatoryFor(std::uint8_t messageType) {
    const auto first = std::lower_bound(std::begin(kMandatoryElements), std::end(kMandatoryElements), messageType,
                                        [](const MandatoryElement& row, std::uint8_t t) { return row.messageType < t; });
    auto last = first;
    while (last != std::end(kMandatoryElements) && last->messageType == messageType) ++last;
    return {first, last};
}

// Names of the elements the rules and the call table speak of, in words.
struct ElementWord {
    std::uint8_t id;
    std::string_view text;
};
inline constexpr ElementWord kElementWords[] = {
    {0x04, "bearer capability"},   {0x08, "cause"},          {0x14, "call state"},
    {0x18, "channel identification"}, {0x1E, "progress indicator"}, {0x27, "notification indicator"},
    {0x79, "restart indicator"},   {0x7E, "user-user"},      {0xB0, "congestion level"},
};
constexpr bool WordsSorted() {
    for (std::size_t i = 1; i < std::size(kElementWords); ++i)
        if (kElementWords[i - 1].id >= kElementWords[i].id) return false;
    return true;
}
static_assert(WordsSorted());

inline std::string_view ElementWordFor(std::uint8_t id) {
    for (const ElementWord& w : kElementWords)
        if (w.id == id) return w.text;
    return "element";
}

}  // namespace analysis
