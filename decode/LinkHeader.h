#pragma once
// The one reading of a frame's LAPD address and control fields (and, for TEI
// management, of its message octets): what a frame is at layer 2, as plain
// numbers. The decoder's texts, the octet layout the hex pane highlights, the
// record list's colours, the display filter, the call and link analysis and
// the emulated card's counters all ask this value, so every view of a frame
// tells the same story. A value type; ReadLink never reads outside the frame
// and looks at its first eight octets at most; any thread.
//
// Which fields a frame has follows from its length:
//   fewer than 2 octets   nothing: hasAddress is false, kind is None;
//   2 octets              the address (SAPI, C/R, TEI); kind None;
//   3 octets              also the first control octet: kind, type, N(S) of
//                         an I frame, P/F of a U frame;
//   4 octets and more     also N(R) and P/F of I and S frames (hasNr).
// A frame is TEI management when, and only when, it is a UI frame on SAPI 63
// and TEI 127 whose first information octet is the management entity 0x0F;
// its reference, type and action indicator are there when all four octets are.
//
// Example:
//     const decode::LinkHeader link = decode::ReadLink(frame);
//     if (link.kind == decode::FrameKind::I && link.hasNr) ... link.ns, link.nr
//     if (link.teiMessage) ... link.teiMessage->type == decode::TeiMessage("ASN")
//     decode::ShownName(link.type)  // "SABE", as the record list shows it
//     decode::LapdName(link.type)   // "SABME", as LAPD and the filter name it

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace decode {

inline constexpr std::uint8_t kSapiCallControl = 0;
inline constexpr std::uint8_t kSapiManagement = 63;
inline constexpr std::uint8_t kGroupTei = 127;           // broadcast data link
inline constexpr std::uint8_t kManagementEntity = 0x0F;  // first octet of a TEI-management message

// I, supervisory or unnumbered; None when the frame ends before its control field.
enum class FrameKind : std::uint8_t { None, I, S, U };

// The frame's command or response by name. The numbers are the display
// filter's values of its ftype field; Unknown is a supervisory function or
// U-frame modifier LAPD does not define.
enum class FrameType : std::uint8_t { Unknown = 0, I, RR, RNR, REJ, SABME, DM, UI, DISC, UA, FRMR, XID };

// One row per frame type: how the record list shows it and how LAPD (and a
// display filter) names it. The two differ only for SABME.
struct FrameTypeRow {
    FrameType type;
    std::string_view shown;
    std::string_view lapd;
};
inline constexpr FrameTypeRow kFrameTypes[] = {
    {FrameType::I, "I", "I"},          {FrameType::RR, "RR", "RR"},       {FrameType::RNR, "RNR", "RNR"},
    {FrameType::REJ, "REJ", "REJ"},    {FrameType::SABME, "SABE", "SABME"}, {FrameType::DM, "DM", "DM"},
    {FrameType::UI, "UI", "UI"},       {FrameType::DISC, "DISC", "DISC"}, {FrameType::UA, "UA", "UA"},
    {FrameType::FRMR, "FRMR", "FRMR"}, {FrameType::XID, "XID", "XID"},
};

// The name the record list's FTYP column shows ("SABE"), and the LAPD name
// ("SABME"); both empty for Unknown.
std::string_view ShownName(FrameType type);
std::string_view LapdName(FrameType type);

// The three fields of a TEI-management message.
struct TeiFields {
    std::uint16_t ri = 0;   // reference number
    std::uint8_t type = 0;  // message type: a row of kTeiMessages (ProtocolNames.h), or a value it lacks
    std::uint8_t ai = 0;    // action indicator: the TEI (127: every TEI), extension bit dropped
    bool operator==(const TeiFields&) const = default;
};

struct LinkHeader {
    bool hasAddress = false;  // the two address octets are there
    std::uint8_t sapi = 0;
    std::uint8_t cr = 0;      // the C/R bit as sent; IsCommand reads it by the sender's side
    std::uint8_t tei = 0;

    FrameKind kind = FrameKind::None;
    FrameType type = FrameType::Unknown;
    std::uint8_t control = 0;  // the first control octet as sent
    bool hasNr = false;        // an I or S frame with its second control octet
    std::uint8_t ns = 0;       // N(S): I frames
    std::uint8_t nr = 0;       // N(R): when hasNr
    bool hasPf = false;        // U frames always; I and S frames when hasNr
    std::uint8_t pf = 0;       // the P/F bit

    bool teiManagement = false;            // SAPI 63, TEI 127, UI, entity 0x0F
    std::optional<TeiFields> teiMessage;   // a TEI-management frame holding all its message octets
    std::uint8_t layer3Offset = 0;         // where a Q.931 message starts: 4 in an I frame, 3 in a UI
                                           // frame other than TEI management; 0 when the frame carries none

    // The network side sends commands with C/R = 1 and the user side with
    // C/R = 0, so command or response depends on which side sent the frame.
    bool IsCommand(bool fromNetwork) const { return cr == (fromNetwork ? 1 : 0); }
    bool CarriesLayer3() const { return layer3Offset != 0; }
    // Octets of the control field as LAPD defines it: 1 for a U frame, 2 for
    // I and S frames (whether or not the frame holds the second), 0 for None.
    std::uint8_t ControlLength() const;

    bool operator==(const LinkHeader&) const = default;
};

LinkHeader ReadLink(std::span<const std::uint8_t> frame);

}  // namespace decode
