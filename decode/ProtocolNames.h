#pragma once
// The Q.931 message types, information element identifiers and TEI
// management message types with their names, one row each. The decoders
// name the values they read from these rows; whatever builds messages (the
// emulated card, the call checks) takes its values from the same rows by
// name, so a value is written once and a misspelt name does not compile.

#include <cstdint>
#include <span>
#include <string_view>

#include "decode/Elements.h"
#include "decode/NameTable.h"

namespace decode {

// The protocol discriminator of Q.931 user-network call control.
inline constexpr std::uint8_t kQ931Discriminator = 0x08;

inline constexpr Name kMessageTypes[] = {
    {0x01, "ALERTING"},
    {0x02, "CALL PROCEEDING"},
    {0x03, "PROGRESS"},
    {0x05, "SETUP"},
    {0x07, "CONNECT"},
    {0x0D, "SETUP ACKNOWLEDGE"},
    {0x0F, "CONNECT ACKNOWLEDGE"},
    {0x20, "USER INFORMATION"},
    {0x21, "SUSPEND REJECT"},
    {0x22, "RESUME REJECT"},
    {0x25, "SUSPEND"},
    {0x26, "RESUME"},
    {0x2D, "SUSPEND ACKNOWLEDGE"},
    {0x2E, "RESUME ACKNOWLEDGE"},
    {0x45, "DISCONNECT"},
    {0x46, "RESTART"},
    {0x4D, "RELEASE"},
    {0x4E, "RESTART ACKNOWLEDGE"},
    {0x5A, "RELEASE COMPLETE"},
    {0x60, "SEGMENT"},
    {0x6E, "NOTIFY"},
    {0x75, "STATUS ENQUIRY"},
    {0x79, "CONGESTION CONTROL"},
    {0x7B, "INFORMATION"},
    {0x7D, "STATUS"},
};
static_assert(SortedUnique(kMessageTypes));

// The information elements (identifier, name, decoders) are the rows of
// kElements in Elements.h.

// TEI management message types, as the message text shows them behind "ID_".
inline constexpr Name kTeiMessages[] = {
    {1, "REQ"}, {2, "ASN"}, {3, "DEN"}, {4, "CRQ"}, {5, "CRS"}, {6, "REM"}, {7, "VER"},
};
static_assert(SortedUnique(kTeiMessages));

// The value of the row named `name`. Evaluated while compiling: a name no
// row has is an error there, not a wrong octet on the line.
consteval std::uint8_t ValueNamed(std::span<const Name> table, std::string_view name) {
    for (const Name& row : table)
        if (row.text == name) return row.value;
    throw "no row has this name";
}

consteval std::uint8_t MessageType(std::string_view name) { return ValueNamed(kMessageTypes, name); }
// The identifier of the element whose item name or full name is `name`.
consteval std::uint8_t ElementId(std::string_view name) {
    for (const ElementRow& row : kElements)
        if (row.name == name || row.title == name) return row.id;
    throw "no element has this name";
}
consteval std::uint8_t TeiMessage(std::string_view name) { return ValueNamed(kTeiMessages, name); }

// The call control messages that the call checks and the emulated card
// speak of, by name.
namespace messages {
inline constexpr std::uint8_t kAlerting = MessageType("ALERTING"), kCallProceeding = MessageType("CALL PROCEEDING"),
                              kProgress = MessageType("PROGRESS"), kSetup = MessageType("SETUP"),
                              kConnect = MessageType("CONNECT"), kSetupAck = MessageType("SETUP ACKNOWLEDGE"),
                              kConnectAck = MessageType("CONNECT ACKNOWLEDGE"), kDisconnect = MessageType("DISCONNECT"),
                              kRelease = MessageType("RELEASE"), kReleaseComplete = MessageType("RELEASE COMPLETE"),
                              kInformation = MessageType("INFORMATION"), kStatusEnquiry = MessageType("STATUS ENQUIRY");
}  // namespace messages

}  // namespace decode
