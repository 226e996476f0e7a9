#include "decode/Frame.h"

#include <algorithm>
#include <string_view>

#include "decode/ByteReader.h"
#include "decode/ElementWalk.h"
#include "decode/Format.h"
#include "decode/InfoElements.h"
#include "decode/NameTable.h"
#include "decode/ProtocolNames.h"
#include "wire/Tpx.h"

namespace decode {

// Every loaded D-channel record holds one summary; a record must stay well
// within its memory budget, so the summary stays a few octets.
static_assert(sizeof(FrameSummary) <= 24);

namespace {

// U-frame modifier: the first control octet with P/F cleared, shifted right by 2.
constexpr Name kUFrames[] = {
    {0x00, "UI"}, {0x03, "DM"}, {0x10, "DISC"}, {0x18, "UA"}, {0x1B, "SABE"}, {0x21, "FRMR"}, {0x2B, "XID"},
};
static_assert(SortedUnique(kUFrames));

// Supervisory function, bits 3..2 of the first control octet; 3 has no name.
constexpr Name kSFrames[] = {{0, "RR"}, {1, "RNR"}, {2, "REJ"}};
static_assert(SortedUnique(kSFrames));

enum class Kind { None, I, S, U };

Kind KindOf(std::uint8_t control) {
    if ((control & 0x01) == 0) return Kind::I;
    if ((control & 0x03) == 0x01) return Kind::S;
    return Kind::U;
}

bool IsUi(std::uint8_t control) { return control == 0x03 || control == 0x13; }

}  // namespace

FrameSummary DecodeFrame(std::span<const std::uint8_t> frame, std::uint8_t flagsOctet, std::uint32_t mask) {
    FrameSummary s;
    if (wire::FromNetworkSide(flagsOctet)) s.m_bits |= FrameSummary::kNetworkSide;
    s.m_count = static_cast<std::uint8_t>(frame.size() < 4 ? frame.size() : 4);
    for (std::size_t i = 0; i < s.m_count; ++i) s.m_octets[i] = frame[i];
    if (frame.size() < 3) return s;  // no control octet: no layer 3 either

    const std::uint8_t control = frame[2];
    // TEI management: SAPI 63, TEI 127, UI, management entity 0x0F.
    if (frame.size() >= 4 && (frame[0] & 0xFC) == 0xFC && (frame[1] & 0xFE) == 0xFE && (control & 0x03) == 0x03 &&
        (control & 0xEC) == 0 && frame[3] == 0x0F) {
        // The message text is one value: shown only when Ri, type and Ai are all present.
        if (frame.size() >= 8 && !Lookup(kTeiMessages, frame[6]).empty()) {
            s.m_messageKind = MessageKind::TeiManagement;
            s.m_messageValue = frame[6];
            s.m_teiRi = static_cast<std::uint16_t>(frame[4] << 8 | frame[5]);
            s.m_teiAi = static_cast<std::uint8_t>(frame[7] >> 1);
        }
        return s;
    }

    // An I or UI frame always counts as carrying layer 3, even when it ends
    // before its Q.931 header; the header texts are then empty.
    if (KindOf(control) == Kind::I) {
        s.m_headerLength = 4;
    } else if (IsUi(control)) {
        s.m_headerLength = 3;
    } else {
        return s;
    }
    s.m_bits |= FrameSummary::kLayer3;
    DecodeQ931Header(frame, s.m_headerLength, s);
    if ((mask & kDecodeInfoElements) != 0) {
        s.m_itemCount = CountInfoElements(frame, s.m_headerLength);
    }
    return s;
}

void DecodeQ931Header(std::span<const std::uint8_t> frame, std::size_t position, FrameSummary& s) {
    const auto header = ReadQ931Header(frame, position);
    if (!header) return;
    if (header->discriminator != kQ931Discriminator) {
        s.m_messageKind = MessageKind::UnknownProtocol;
        s.m_messageValue = header->discriminator;
        return;
    }
    // The call reference text is one value: when its octets run past the
    // frame, both it and the message text (which lies behind it) stay empty.
    if (!header->callReference) return;
    ByteReader value = *header->callReference;
    std::uint32_t callRefValue = 0;
    if (const auto first = value.U8()) {
        if (*first & 0x80) s.m_bits |= FrameSummary::kCallRefFlag;
        callRefValue = *first & 0x7F;
        // Only the value modulo 100000 is shown, so it is kept reduced as the
        // octets are appended: a call reference of any length (up to 15
        // octets) shows its true last five digits and never overflows.
        while (const auto next = value.U8()) callRefValue = (callRefValue * 256 + *next) % 100000;
    }
    s.m_callRef = callRefValue % 100000;
    s.m_bits |= FrameSummary::kCallRef;

    if (!header->messageType) return;
    const std::uint8_t messageType = *header->messageType & 0x7F;
    if (messageType == 0x00) {
        // Nationally specific: the name is the octet that follows; without it, empty.
        if (!header->national) return;
        s.m_messageKind = MessageKind::National;
        s.m_messageValue = *header->national;
        return;
    }
    s.m_messageKind = MessageKind::Q931;
    s.m_messageValue = messageType;
}

std::string_view MessageTypeName(std::uint8_t type) { return Lookup(kMessageTypes, type & 0x7F); }

char* FrameSummary::WriteSource(char* p) const { return WriteText(p, (m_bits & kNetworkSide) ? "NT" : "TE"); }

std::optional<std::uint8_t> MessageTypeByName(std::string_view name) {
    const auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
            if (upper(a[i]) != upper(b[i])) return false;
        }
        return true;
    };
    for (const Name& row : kMessageTypes)
        if (same(row.text, name)) return row.value;
    return std::nullopt;
}

FrameLayout LayoutOf(std::span<const std::uint8_t> frame) {
    const auto size = static_cast<std::uint32_t>(frame.size());
    const auto cut = [size](std::uint32_t first, std::uint32_t count) {
        if (first >= size) return OctetRange{};
        return OctetRange{first, std::min(count, size - first)};
    };
    FrameLayout layout;
    layout.address = cut(0, 2);
    if (size < 3) return layout;
    const std::uint8_t control = frame[2];
    const bool twoOctets = KindOf(control) != Kind::U;
    layout.control = cut(2, twoOctets ? 2 : 1);
    const std::uint32_t header = twoOctets ? 4 : 3;
    if (KindOf(control) == Kind::I || IsUi(control)) layout.layer3 = cut(header, size);
    if (layout.layer3.count == 0) return layout;
    if (frame.size() >= 4 && frame[3] == 0x0F && IsUi(control)) {
        // TEI management: reference, type and action indicator.
        layout.messageType = cut(4, 4);
        return layout;
    }
    const auto q931 = ReadQ931Header(frame, header);
    if (!q931 || q931->discriminator != kQ931Discriminator || !q931->callReferenceLength) return layout;
    const std::uint32_t callRefLength = *q931->callReferenceLength;
    layout.callReference = cut(header + 1, 1 + callRefLength);
    // A nationally specific type is named by the octet behind it, so both are shown.
    const bool national = q931->messageType && (*q931->messageType & 0x7F) == 0;
    layout.messageType = cut(header + 2 + callRefLength, national ? 2 : 1);
    return layout;
}

std::optional<std::uint8_t> FrameSummary::Sapi() const {
    if (m_count < 2) return std::nullopt;
    return static_cast<std::uint8_t>(m_octets[0] >> 2);
}

std::optional<std::uint8_t> FrameSummary::Tei() const {
    if (m_count < 2) return std::nullopt;
    return static_cast<std::uint8_t>(m_octets[1] >> 1);
}

std::optional<std::uint8_t> FrameSummary::CrBit() const {
    if (m_count < 2) return std::nullopt;
    return static_cast<std::uint8_t>((m_octets[0] >> 1) & 0x01);
}

std::optional<bool> FrameSummary::IsCommand() const {
    const auto cr = CrBit();
    if (!cr) return std::nullopt;
    // The network side sends commands with C/R = 1 and the user side with
    // C/R = 0, so command or response depends on which side sent the frame.
    return *cr == (NetworkSide() ? 1 : 0);
}

std::optional<std::uint8_t> FrameSummary::SendSequence() const {
    if (m_count < 3 || KindOf(m_octets[2]) != Kind::I) return std::nullopt;
    return static_cast<std::uint8_t>(m_octets[2] >> 1);
}

std::optional<std::uint8_t> FrameSummary::ReceiveSequence() const {
    if (m_count < 4 || KindOf(m_octets[2]) == Kind::U) return std::nullopt;
    return static_cast<std::uint8_t>(m_octets[3] >> 1);
}

std::optional<std::uint8_t> FrameSummary::PollFinalBit() const {
    if (m_count < 3) return std::nullopt;
    const std::uint8_t control = m_octets[2];
    if (KindOf(control) == Kind::U) return static_cast<std::uint8_t>((control >> 4) & 0x01);
    if (m_count < 4) return std::nullopt;
    return static_cast<std::uint8_t>(m_octets[3] & 0x01);
}

char* FrameSummary::WriteAddress(char* p) const {
    if (m_count < 2) return p;
    // The network side sends commands with C/R = 1 and the user side with
    // C/R = 0, so command or response depends on which side sent the frame.
    const unsigned n = (m_bits & kNetworkSide) ? 1 : 0;
    const unsigned cr = (m_octets[0] >> 1) & 0x01;
    p = WriteZeroPadded(p, m_octets[0] >> 2, 2);  // "%.2d-%.3d-%c"
    *p++ = '-';
    p = WriteZeroPadded(p, m_octets[1] >> 1, 3);
    *p++ = '-';
    *p++ = cr == n ? 'C' : 'R';
    return p;
}

char* FrameSummary::WriteFrameType(char* p) const {
    if (m_count < 3) return p;
    const std::uint8_t control = m_octets[2];
    switch (KindOf(control)) {
        case Kind::I: return WriteText(p, "I");
        case Kind::S: return WriteText(p, Lookup(kSFrames, (control >> 2) & 0x03));
        case Kind::U: return WriteText(p, Lookup(kUFrames, static_cast<std::uint8_t>((control & ~0x10) >> 2)));
        case Kind::None: break;
    }
    return p;
}

char* FrameSummary::WritePollFinal(char* p) const {
    if (m_count < 3) return p;
    const std::uint8_t control = m_octets[2];
    if (KindOf(control) == Kind::U) {
        *p++ = (control & 0x10) ? '1' : '0';
    } else if (m_count >= 4) {
        *p++ = (m_octets[3] & 0x01) ? '1' : '0';
    }
    return p;
}

char* FrameSummary::WriteNS(char* p) const {
    if (m_count < 3 || KindOf(m_octets[2]) != Kind::I) return p;
    return WriteZeroPadded(p, m_octets[2] >> 1, 3);
}

char* FrameSummary::WriteNR(char* p) const {
    if (m_count < 4 || KindOf(m_octets[2]) == Kind::U) return p;
    return WriteZeroPadded(p, m_octets[3] >> 1, 3);
}

char* FrameSummary::WriteCallReference(char* p) const {
    if (!(m_bits & kCallRef)) return p;
    *p++ = (m_bits & kCallRefFlag) ? 'D' : 'O';  // "%c%.5ld"
    return WriteZeroPadded(p, m_callRef, 5);
}

char* FrameSummary::WriteMessage(char* p) const {
    switch (m_messageKind) {
        case MessageKind::None:
            return p;
        case MessageKind::TeiManagement:
            p = WriteText(p, "ID_");  // "ID_%s R:%.5u A:%.3d"
            p = WriteText(p, Lookup(kTeiMessages, m_messageValue));
            p = WriteText(p, " R:");
            p = WriteZeroPadded(p, m_teiRi, 5);
            p = WriteText(p, " A:");
            return WriteZeroPadded(p, m_teiAi, 3);
        case MessageKind::Q931: {
            const std::string_view name = Lookup(kMessageTypes, m_messageValue);
            if (!name.empty()) return WriteText(p, name);
            return WriteHexOctet(WriteText(p, "Reserved L3 msg "), m_messageValue);
        }
        case MessageKind::National:
            return WriteHexOctet(WriteText(p, "NATIONAL MSG "), m_messageValue);
        case MessageKind::UnknownProtocol:
            return WriteText(WriteHexOctet(WriteText(p, " ****UNKNOWN PROTOCOL ("), m_messageValue), "H)\n");
    }
    return p;
}

// Every text fits the room a writer may take: the longest fixed one, every
// name, and a TEI message's name with its 17 other characters.
static_assert(std::string_view(" ****UNKNOWN PROTOCOL (41H)\n").size() <= FrameSummary::kMaxTextLength);
static_assert([] {
    for (const std::span<const Name> table : {std::span<const Name>(kUFrames), std::span<const Name>(kSFrames),
                                              std::span<const Name>(kMessageTypes)})
        for (const Name& name : table)
            if (name.text.size() > FrameSummary::kMaxTextLength) return false;
    for (const Name& name : kTeiMessages)
        if (name.text.size() + 17 > FrameSummary::kMaxTextLength) return false;
    return true;
}());

std::vector<DecodeItem> FrameSummary::Items(std::span<const std::uint8_t> frame) const {
    if (m_itemCount == 0) return {};
    return DecodeInfoElements(frame, m_headerLength);
}

std::optional<DecodeItem> FrameSummary::Item(std::span<const std::uint8_t> frame, std::uint32_t position) const {
    if (position >= m_itemCount) return std::nullopt;
    return DecodeInfoElement(frame, m_headerLength, position);
}

}  // namespace decode
