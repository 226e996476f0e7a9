#pragma once
// One D-channel frame as the call and link analysis reads it: the decoder's
// link-layer value (address, control, TEI management), the sender's side,
// and the Q.931 header as numbers. Never reads past the frame's end; a value
// type, any thread.

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/LinkHeader.h"

namespace analysis {

// Which side of the bus sent a frame.
enum class Side : std::uint8_t { TE, NT };
inline Side Other(Side s) { return s == Side::TE ? Side::NT : Side::TE; }
inline const char* SideName(Side s) { return s == Side::TE ? "TE" : "NT"; }

using decode::FrameKind;
using decode::FrameType;
using decode::kGroupTei;

// The link-layer fields (sapi, tei, kind, type, ns, nr, pf, teiMessage,
// layer3Offset, ...) are the decoder's LinkHeader.
struct LinkFrame : decode::LinkHeader {
    Side sender = Side::TE;
    bool command = false;  // a command by the C/R rule for the sender's side

    // Layer 3 of an I or UI frame.
    bool q931 = false;  // discriminator 0x08 and a complete header up to the message type
    bool callRefCut = false;  // discriminator 0x08, but the call reference runs past the frame's end
    std::uint8_t callRefLength = 0;
    bool callRefFlag = false;
    std::uint32_t callRef = 0;     // the value's last four octets
    std::uint8_t messageType = 0;  // bit 7 cleared; 0 for a nationally specific message
};

LinkFrame ParseLinkFrame(std::span<const std::uint8_t> frame, Side sender);

}  // namespace analysis
