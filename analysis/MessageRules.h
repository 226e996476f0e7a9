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

#include "decode/ProtocolNames.h"

namespace analysis {

enum class Way : std::uint8_t { Both, ToNetwork, ToUser };

struct MandatoryElement {
    std::uint8_t messageType;
    std::uint8_t element;
    Way way;
    bool firstClearingOnly;  // mandatory only when no earlier message of the call cleared it
};

inline constexpr MandatoryElement kMandatoryElements[] = {
    {decode::MessageType("PROGRESS"), decode::ElementId("PROGRESS INDICA"), Way::Both, false},
    {decode::MessageType("SETUP"), decode::ElementId("BEARER CAPABIL"), Way::Both, false},
    {decode::MessageType("SETUP"), decode::ElementId("CHANNEL ID"), Way::ToUser, false},
    {decode::MessageType("USER INFORMATION"), decode::ElementId("USER-USER"), Way::Both, false},
    {decode::MessageType("SUSPEND REJECT"), decode::ElementId("CAUSE"), Way::Both, false},
    {decode::MessageType("RESUME REJECT"), decode::ElementId("CAUSE"), Way::Both, false},
    {decode::MessageType("RESUME ACKNOWLEDGE"), decode::ElementId("CHANNEL ID"), Way::ToUser, false},
    {decode::MessageType("DISCONNECT"), decode::ElementId("CAUSE"), Way::Both, false},
    {decode::MessageType("RESTART"), decode::ElementId("RESTART INDICAT"), Way::Both, false},
    {decode::MessageType("RELEASE"), decode::ElementId("CAUSE"), Way::Both, true},
    {decode::MessageType("RESTART ACKNOWLEDGE"), decode::ElementId("RESTART INDICAT"), Way::Both, false},
    {decode::MessageType("RELEASE COMPLETE"), decode::ElementId("CAUSE"), Way::Both, true},
    {decode::MessageType("NOTIFY"), decode::ElementId("NOTIFICATION IN"), Way::Both, false},
    {decode::MessageType("CONGESTION CONTROL"), decode::ElementId("CAUSE"), Way::Both, false},
    {decode::MessageType("CONGESTION CONTROL"), 0xB0, Way::Both, false},  // congestion level
    {decode::MessageType("STATUS"), decode::ElementId("CAUSE"), Way::Both, false},
    {decode::MessageType("STATUS"), decode::ElementId("CALL STATE"), Way::Both, false},
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
    {decode::ElementId("BEARER CAPABIL"), "bearer capability"},
    {decode::ElementId("CAUSE"), "cause"},
    {decode::ElementId("CALL STATE"), "call state"},
    {decode::ElementId("CHANNEL ID"), "channel identification"},
    {decode::ElementId("PROGRESS INDICA"), "progress indicator"},
    {decode::ElementId("NOTIFICATION IN"), "notification indicator"},
    {decode::ElementId("RESTART INDICAT"), "restart indicator"},
    {decode::ElementId("USER-USER"), "user-user"},
    {0xB0, "congestion level"},
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
