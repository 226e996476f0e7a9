#pragma once
// The Q.931 message types, information element identifiers and TEI
// management message types with their names, one row each. The decoders
// name the values they read from these rows; whatever builds messages (the
// emulated card, the call checks) takes its values from the same rows by
// name, so a value is written once and a misspelt name does not compile.

#include <cstdint>
#include <span>
#include <string_view>

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

// Variable-length elements of codeset 0, named as an element's item shows
// them (at most 15 characters, so some are cut).
inline constexpr Name kElements[] = {
    {0x00, "SEGMENTED MESSA"},
    {0x04, "BEARER CAPABIL"},
    {0x08, "CAUSE"},
    {0x10, "CALL IDENTITY"},
    {0x14, "CALL STATE"},
    {0x18, "CHANNEL ID"},
    {0x1E, "PROGRESS INDICA"},
    {0x20, "NETWORK SPECIFIC"},
    {0x27, "NOTIFICATION IN"},
    {0x28, "DISPLAY"},
    {0x29, "DATE/TIME"},
    {0x2C, "KEYPAD FACILITY"},
    {0x34, "SIGNAL"},
    {0x40, "INFORMATION RAT"},
    {0x42, "END-END DELAY"},
    {0x43, "DELAY SEL/IND"},
    {0x44, "BINARY PARAMETE"},
    {0x45, "WINDOW SIZE"},
    {0x46, "PACKET SIZE"},
    {0x47, "CLOSED USER GRO"},
    {0x4A, "REVERSE CHARGE"},
    {0x6C, "CALLING NUMBER"},
    {0x6D, "CALLING SUBADDR"},
    {0x70, "CALLED NUMBER"},
    {0x71, "CALLED SUBADDR"},
    {0x74, "REDIRECTING NUM"},
    {0x78, "TRANSIT NET SEL"},
    {0x79, "RESTART INDICAT"},
    {0x7C, "LOW LAYER COMP"},
    {0x7D, "HIGH LAYER COMP"},
    {0x7E, "USER-USER"},
    {0x7F, "ESCAPE EXTENTIO"},
};
static_assert(SortedUnique(kElements));

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
consteval std::uint8_t ElementId(std::string_view name) { return ValueNamed(kElements, name); }
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
