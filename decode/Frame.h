#pragma once
// The decode of one D-channel frame (LAPD address and control, TEI
// management, Q.931 header) kept as a few octets per record; its display
// texts are formatted only when a view asks. A value type: built once by
// DecodeFrame when a record is made (user-interface thread or a loader), then
// read from any thread.
//
// Frames shorter than a field needs: a text that is one value (the address,
// P/F, N(S), N(R), the TEI-management text, the call reference, the message
// name) is shown only when every octet it needs is in the frame, and is
// empty otherwise. The frame type is known from the first control octet
// alone and is shown whenever that octet is present.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/DecodeItem.h"
#include "decode/LinkHeader.h"

namespace decode {

// Option mask both record builders pass to Decode.
inline constexpr std::uint32_t kDecodeMask = 0x5F;
// Bit of the option mask that asks for the information elements.
inline constexpr std::uint32_t kDecodeInfoElements = 0x08;

// What the Message text says.
enum class MessageKind : std::uint8_t {
    None,             // empty text
    TeiManagement,    // "ID_%s R:%.5u A:%.3d"
    Q931,             // message name or "Reserved L3 msg %02X"
    National,         // "NATIONAL MSG %02X" of the octet after the type
    UnknownProtocol,  // " ****UNKNOWN PROTOCOL (%02XH)\n"
};

class FrameSummary {
public:
    std::string Source() const { return Text(&FrameSummary::WriteSource); }
    std::string Address() const { return Text(&FrameSummary::WriteAddress); }
    std::string FrameType() const { return Text(&FrameSummary::WriteFrameType); }
    std::string PollFinal() const { return Text(&FrameSummary::WritePollFinal); }
    std::string NS() const { return Text(&FrameSummary::WriteNS); }
    std::string NR() const { return Text(&FrameSummary::WriteNR); }
    std::string CallReference() const { return Text(&FrameSummary::WriteCallReference); }
    std::string Message() const { return Text(&FrameSummary::WriteMessage); }
    // The same texts written at p, for printing many rows into one buffer:
    // each writes at most kMaxTextLength characters and answers its end.
    static constexpr std::size_t kMaxTextLength = 32;
    char* WriteSource(char* p) const;
    char* WriteAddress(char* p) const;
    char* WriteFrameType(char* p) const;
    char* WritePollFinal(char* p) const;
    char* WriteNS(char* p) const;
    char* WriteNR(char* p) const;
    char* WriteCallReference(char* p) const;
    char* WriteMessage(char* p) const;
    bool HasLayer3() const { return (m_bits & kLayer3) != 0; }

    // The frame's address and control fields (and TEI-management octets),
    // read by ReadLink from the octets this summary keeps: every number
    // behind the layer-2 texts comes from here.
    LinkHeader Link() const { return ReadLink(std::span<const std::uint8_t>(m_octets, m_count)); }

    // The numbers behind the texts, for display filters: each is there
    // exactly when its text is not empty.
    bool NetworkSide() const { return (m_bits & kNetworkSide) != 0; }
    std::optional<std::uint8_t> Sapi() const;
    std::optional<std::uint8_t> Tei() const;
    std::optional<std::uint8_t> CrBit() const;  // the C/R bit of the first address octet
    std::optional<bool> IsCommand() const;      // 'C' of the address text
    std::optional<std::uint8_t> SendSequence() const;     // N(S)
    std::optional<std::uint8_t> ReceiveSequence() const;  // N(R)
    std::optional<std::uint8_t> PollFinalBit() const;
    MessageKind GetMessageKind() const { return m_messageKind; }
    // The TEI-management type, Q.931 type, national octet or discriminator.
    std::uint8_t MessageValue() const { return m_messageValue; }
    bool HasCallReference() const { return (m_bits & kCallRef) != 0; }
    std::uint32_t CallReferenceValue() const { return m_callRef; }  // modulo 100000
    bool CallReferenceFlag() const { return (m_bits & kCallRefFlag) != 0; }  // 'D'

    // Decode items are made again from the frame octets on request; the
    // frame passed must be the one this summary was decoded from.
    std::uint32_t ItemCount() const { return m_itemCount; }
    std::vector<DecodeItem> Items(std::span<const std::uint8_t> frame) const;
    std::optional<DecodeItem> Item(std::span<const std::uint8_t> frame, std::uint32_t position) const;

    // Length of the layer-2 header in front of the Q.931 message: 4 for an
    // I frame, 3 for a UI frame, 0 when the frame carries no layer 3.
    std::uint8_t HeaderLength() const { return m_headerLength; }

private:
    std::string Text(char* (FrameSummary::*write)(char*) const) const {
        char text[kMaxTextLength];
        return std::string(text, (this->*write)(text));
    }

    friend FrameSummary DecodeFrame(std::span<const std::uint8_t>, std::uint8_t, std::uint32_t);
    friend void DecodeQ931Header(std::span<const std::uint8_t>, std::size_t, FrameSummary&);

    enum : std::uint8_t {
        kNetworkSide = 0x01,  // the frame came from the network side (n = 1)
        kLayer3 = 0x02,
        kCallRef = 0x04,      // the call reference text is shown
        kCallRefFlag = 0x08,  // call reference flag: 'D' rather than 'O'
    };

    // The frame's first octets (address, control and a TEI-management
    // message), the first m_count valid: all ReadLink reads.
    std::uint8_t m_octets[8] = {};
    std::uint8_t m_count = 0;
    std::uint8_t m_bits = 0;
    MessageKind m_messageKind = MessageKind::None;
    std::uint8_t m_messageValue = 0;  // TEI type, Q.931 type, national octet or discriminator
    std::uint8_t m_headerLength = 0;
    std::uint32_t m_itemCount = 0;
    std::uint32_t m_callRef = 0;  // call reference value modulo 100000
};

// Octets [first, first + count) of a frame.
struct OctetRange {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    bool operator==(const OctetRange&) const = default;
};

// Where the decoded parts of a frame lie, so a view can show which octets a
// field comes from. Parts the frame does not hold (or holds only in part)
// are cut at its end; a part that is not there at all has count 0.
struct FrameLayout {
    OctetRange address;        // the two address octets
    OctetRange control;        // one control octet (U frames) or two (I and S frames)
    OctetRange layer3;         // everything behind the layer-2 header: Q.931 or TEI management
    OctetRange callReference;  // length octet and value of the Q.931 call reference
    OctetRange messageType;    // the Q.931 message type (and a national octet), or the TEI message octets
};

FrameLayout LayoutOf(std::span<const std::uint8_t> frame);

// The Q.931 message type whose name (as the Message text shows it) is `name`,
// compared without regard to case; nullopt for a name no type has.
std::optional<std::uint8_t> MessageTypeByName(std::string_view name);

// Decodes layer 2 (and, for I and UI frames, the Q.931 header and the count of
// elements). flagsOctet is the octet at raw offset 17 of the D-channel record;
// its bits 0 and 2 tell which side sent the frame. Never reads outside frame.
FrameSummary DecodeFrame(std::span<const std::uint8_t> frame, std::uint8_t flagsOctet,
                         std::uint32_t mask = kDecodeMask);

// Reads the protocol discriminator, call reference and message type of the
// Q.931 message whose discriminator is at `position`.
void DecodeQ931Header(std::span<const std::uint8_t> frame, std::size_t position, FrameSummary& summary);

// The name of a Q.931 message type (bit 7 ignored); empty for a type the
// table does not know (the message text then says "Reserved L3 msg").
std::string_view MessageTypeName(std::uint8_t type);

}  // namespace decode
