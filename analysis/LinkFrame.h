#pragma once
// The fields of one D-channel frame that the call and link analysis needs, as
// numbers: LAPD address and control, TEI management, and the Q.931 header.
// Parsed from the frame octets alone, never reading past the frame's end; a
// value type, any thread.

#include <cstddef>
#include <cstdint>
#include <span>

namespace analysis {

// Which side of the bus sent a frame.
enum class Side : std::uint8_t { TE, NT };
inline Side Other(Side s) { return s == Side::TE ? Side::NT : Side::TE; }
inline const char* SideName(Side s) { return s == Side::TE ? "TE" : "NT"; }

enum class FrameKind : std::uint8_t { Short, I, S, U, Management };

// U-frame control octets with the P/F bit cleared.
enum UControl : std::uint8_t {
    kUi = 0x03, kDm = 0x0F, kDisc = 0x43, kUa = 0x63, kSabme = 0x6F, kFrmr = 0x87, kXid = 0xAF,
};
// Supervisory functions.
enum SFunction : std::uint8_t { kRr = 0, kRnr = 1, kRej = 2 };
// TEI management message types.
enum TeiMessage : std::uint8_t {
    kTeiRequest = 1, kTeiAssigned = 2, kTeiDenied = 3, kTeiCheckRequest = 4, kTeiCheckResponse = 5,
    kTeiRemove = 6, kTeiVerify = 7,
};
inline constexpr std::uint8_t kGroupTei = 127;

struct LinkFrame {
    FrameKind kind = FrameKind::Short;
    Side sender = Side::TE;
    std::uint8_t sapi = 0;
    std::uint8_t tei = 0;
    bool command = false;     // a command by the Q.921 C/R rule for the sender's side
    bool pollFinal = false;
    std::uint8_t ns = 0;      // I frames
    std::uint8_t nr = 0;      // I and S frames
    bool hasNr = false;       // the second control octet is present
    std::uint8_t function = 0;  // S frames: SFunction; U frames: UControl

    // TEI management (kind Management, complete frames only).
    std::uint16_t ri = 0;
    std::uint8_t teiMessage = 0;
    std::uint8_t ai = 0;

    // Layer 3: an I frame or a UI frame.
    bool layer3 = false;
    std::size_t headerLength = 0;  // octets in front of the protocol discriminator
    bool q931 = false;             // discriminator 0x08 and a complete header up to the message type
    std::uint8_t callRefLength = 0;
    bool callRefFlag = false;
    std::uint32_t callRef = 0;     // the value's last four octets
    std::uint8_t messageType = 0;  // bit 7 cleared; 0 for a nationally specific message
};

LinkFrame ParseLinkFrame(std::span<const std::uint8_t> frame, Side sender);

}  // namespace analysis
