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

FrameSummary DecodeFrame(std::span<const std::uint8_t> frame, std::uint8_t flagsOctet, std::uint32_t mask) {
    FrameSummary s;
    if (wire::FromNetworkSide(flagsOctet)) s.m_bits |= FrameSummary::kNetworkSide;
    s.m_count = static_cast<std::uint8_t>(std::min(frame.size(), std::size(s.m_octets)));
    std::copy_n(frame.begin(), s.m_count, s.m_octets);
    const LinkHeader link = s.Link();
    if (link.teiManagement) {
        // The message text is one value: shown only when Ri, type and Ai are all present.
        if (link.teiMessage && !Lookup(kTeiMessages, link.teiMessage->type).empty()) {
            s.m_messageKind = MessageKind::TeiManagement;
            s.m_messageValue = link.teiMessage->type;
        }
        return s;
    }
    // An I or UI frame always counts as carrying layer 3, even when it ends
    // before its Q.931 header; the header texts are then empty.
    if (!link.CarriesLayer3()) return s;
    s.m_headerLength = link.layer3Offset;
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
    const LinkHeader link = ReadLink(frame);
    if (link.kind == FrameKind::None) return layout;
    layout.control = cut(2, link.ControlLength());
    // Layer 3 is everything behind the header of an I or UI frame, TEI management too.
    if (link.kind == FrameKind::I || link.type == FrameType::UI) layout.layer3 = cut(2 + link.ControlLength(), size);
    if (layout.layer3.count == 0) return layout;
    if (link.teiManagement) {
        // TEI management: reference, type and action indicator.
        layout.messageType = cut(4, 4);
        return layout;
    }
    const std::uint32_t header = link.layer3Offset;
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
    const LinkHeader link = Link();
    if (!link.hasAddress) return std::nullopt;
    return link.sapi;
}

std::optional<std::uint8_t> FrameSummary::Tei() const {
    const LinkHeader link = Link();
    if (!link.hasAddress) return std::nullopt;
    return link.tei;
}

std::optional<std::uint8_t> FrameSummary::CrBit() const {
    const LinkHeader link = Link();
    if (!link.hasAddress) return std::nullopt;
    return link.cr;
}

std::optional<bool> FrameSummary::IsCommand() const {
    const LinkHeader link = Link();
    if (!link.hasAddress) return std::nullopt;
    return link.IsCommand(NetworkSide());
}

std::optional<std::uint8_t> FrameSummary::SendSequence() const {
    const LinkHeader link = Link();
    if (link.kind != FrameKind::I) return std::nullopt;
    return link.ns;
}

std::optional<std::uint8_t> FrameSummary::ReceiveSequence() const {
    const LinkHeader link = Link();
    if (!link.hasNr) return std::nullopt;
    return link.nr;
}

std::optional<std::uint8_t> FrameSummary::PollFinalBit() const {
    const LinkHeader link = Link();
    if (!link.hasPf) return std::nullopt;
    return link.pf;
}

char* FrameSummary::WriteAddress(char* p) const {
    const LinkHeader link = Link();
    if (!link.hasAddress) return p;
    p = WriteZeroPadded(p, link.sapi, 2);  // "%.2d-%.3d-%c"
    *p++ = '-';
    p = WriteZeroPadded(p, link.tei, 3);
    *p++ = '-';
    *p++ = link.IsCommand(NetworkSide()) ? 'C' : 'R';
    return p;
}

char* FrameSummary::WriteFrameType(char* p) const { return WriteText(p, ShownName(Link().type)); }

char* FrameSummary::WritePollFinal(char* p) const {
    const LinkHeader link = Link();
    if (!link.hasPf) return p;
    *p++ = link.pf ? '1' : '0';
    return p;
}

char* FrameSummary::WriteNS(char* p) const {
    const LinkHeader link = Link();
    if (link.kind != FrameKind::I) return p;
    return WriteZeroPadded(p, link.ns, 3);
}

char* FrameSummary::WriteNR(char* p) const {
    const LinkHeader link = Link();
    if (!link.hasNr) return p;
    return WriteZeroPadded(p, link.nr, 3);
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
        case MessageKind::TeiManagement: {
            const TeiFields tei = Link().teiMessage.value_or(TeiFields{});
            p = WriteText(p, "ID_");  // "ID_%s R:%.5u A:%.3d"
            p = WriteText(p, Lookup(kTeiMessages, m_messageValue));
            p = WriteText(p, " R:");
            p = WriteZeroPadded(p, tei.ri, 5);
            p = WriteText(p, " A:");
            return WriteZeroPadded(p, tei.ai, 3);
        }
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
    for (const FrameTypeRow& row : kFrameTypes)
        if (row.shown.size() > FrameSummary::kMaxTextLength) return false;
    for (const Name& name : kMessageTypes)
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
