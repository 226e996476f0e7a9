#include "decode/ElementDetails.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "decode/Elements.h"
#include "decode/Format.h"
#include "decode/InfoElements.h"
#include "decode/NameTable.h"
#include "decode/ProtocolNames.h"

// Octets are numbered as the element tables of Q.931 number them: octet 3 is
// the first content octet, octets 3a, 3b... are its extensions. Bit 8 of an
// octet (0x80) is its extension bit: 0 when another octet of the same group
// follows, 1 on the group's last octet.

namespace decode {
namespace {

constexpr Name kCodingStandards[] = {{0, "ITU-T"}, {1, "ISO/IEC"}, {2, "national"}, {3, "network-specific"}};
static_assert(SortedUnique(kCodingStandards));

constexpr Name kLocations[] = {
    {0x0, "user"},
    {0x1, "private network serving the local user"},
    {0x2, "public network serving the local user"},
    {0x3, "transit network"},
    {0x4, "public network serving the remote user"},
    {0x5, "private network serving the remote user"},
    {0x7, "international network"},
    {0xA, "network beyond the interworking point"},
};
static_assert(SortedUnique(kLocations));

constexpr Name kTransferModes[] = {{0, "circuit mode"}, {2, "packet mode"}};
static_assert(SortedUnique(kTransferModes));

constexpr Name kTransferRates[] = {
    {0x00, "packet mode (no rate)"}, {0x10, "64 kbit/s"},   {0x11, "2 x 64 kbit/s"},
    {0x13, "384 kbit/s"},            {0x15, "1536 kbit/s"}, {0x17, "1920 kbit/s"},
    {0x18, "multirate (64 kbit/s base rate)"},
};
static_assert(SortedUnique(kTransferRates));

constexpr Name kLayer1Protocols[] = {
    {0x01, "rate adaption V.110, I.460 and X.30"},
    {0x02, "G.711 mu-law"},
    {0x03, "G.711 A-law"},
    {0x04, "G.721 32 kbit/s ADPCM and I.460"},
    {0x05, "H.221 and H.242"},
    {0x06, "H.223 and H.245"},
    {0x07, "non-ITU-T rate adaption"},
    {0x08, "rate adaption V.120"},
    {0x09, "X.31 HDLC flag stuffing"},
};
static_assert(SortedUnique(kLayer1Protocols));

constexpr Name kUserRates[] = {
    {0x00, "given by the E-bits"}, {0x01, "0.6 kbit/s"},  {0x02, "1.2 kbit/s"},  {0x03, "2.4 kbit/s"},
    {0x04, "3.6 kbit/s"},          {0x05, "4.8 kbit/s"},  {0x06, "7.2 kbit/s"},  {0x07, "8 kbit/s"},
    {0x08, "9.6 kbit/s"},          {0x09, "14.4 kbit/s"}, {0x0A, "16 kbit/s"},   {0x0B, "19.2 kbit/s"},
    {0x0C, "32 kbit/s"},           {0x0E, "48 kbit/s"},   {0x0F, "56 kbit/s"},   {0x12, "57.6 kbit/s"},
    {0x13, "28.8 kbit/s"},         {0x14, "24 kbit/s"},   {0x15, "0.1345 kbit/s"}, {0x16, "0.100 kbit/s"},
    {0x17, "0.075/1.2 kbit/s"},    {0x18, "1.2/0.075 kbit/s"}, {0x19, "0.050 kbit/s"}, {0x1A, "0.075 kbit/s"},
    {0x1B, "0.110 kbit/s"},        {0x1C, "0.150 kbit/s"}, {0x1D, "0.200 kbit/s"}, {0x1E, "0.300 kbit/s"},
    {0x1F, "12 kbit/s"},
};
static_assert(SortedUnique(kUserRates));

constexpr Name kLayer2Protocols[] = {
    {0x01, "basic mode ISO 1745"},
    {0x02, "Q.921 (I.441)"},
    {0x06, "X.25 link layer"},
    {0x07, "X.25 multilink"},
    {0x08, "extended LAPB"},
    {0x09, "HDLC ARM"},
    {0x0A, "HDLC NRM"},
    {0x0B, "HDLC ABM"},
    {0x0C, "LAN logical link control (ISO/IEC 8802-2)"},
    {0x0D, "X.75 single link procedure"},
    {0x0E, "Q.922"},
    {0x10, "user specified"},
    {0x11, "ISO 7776 DTE-DTE operation"},
};
static_assert(SortedUnique(kLayer2Protocols));

constexpr Name kLayer3Protocols[] = {
    {0x02, "Q.931 (I.451)"},
    {0x06, "X.25 packet layer"},
    {0x07, "ISO/IEC 8208"},
    {0x08, "ISO/IEC 8348 connection-oriented network service"},
    {0x09, "ISO/IEC 8473 connectionless network service"},
    {0x0A, "T.70 minimum network layer"},
    {0x0B, "ISO/IEC TR 9577 protocol identification"},
    {0x10, "user specified"},
};
static_assert(SortedUnique(kLayer3Protocols));

constexpr Name kBasicChannelSelections[] = {
    {0, "no channel"}, {1, "B1 channel"}, {2, "B2 channel"}, {3, "any channel"}};
static_assert(SortedUnique(kBasicChannelSelections));

constexpr Name kOtherChannelSelections[] = {
    {0, "no channel"}, {1, "as the following octets say"}, {3, "any channel"}};
static_assert(SortedUnique(kOtherChannelSelections));

constexpr Name kChannelTypes[] = {
    {3, "B-channel units"}, {6, "H0-channel units"}, {8, "H11-channel units"}, {9, "H12-channel units"}};
static_assert(SortedUnique(kChannelTypes));

constexpr Name kRecommendations[] = {
    {0, "Q.931"}, {3, "X.21"}, {4, "X.25"}, {5, "Q.1031/Q.1051 (public land mobile networks)"}};
static_assert(SortedUnique(kRecommendations));

// Bits 7..5 of the cause value.
constexpr Name kCauseClasses[] = {
    {0, "normal event"},
    {1, "normal event"},
    {2, "resource unavailable"},
    {3, "service or option not available"},
    {4, "service or option not implemented"},
    {5, "invalid message"},
    {6, "protocol error"},
    {7, "interworking"},
};
static_assert(SortedUnique(kCauseClasses));

constexpr Name kNumberTypes[] = {
    {0, "unknown"},         {1, "international number"}, {2, "national number"}, {3, "network-specific number"},
    {4, "subscriber number"}, {6, "abbreviated number"},  {7, "reserved for extension"},
};
static_assert(SortedUnique(kNumberTypes));

constexpr Name kNumberingPlans[] = {
    {0x0, "unknown"},
    {0x1, "ISDN/telephony (E.164)"},
    {0x3, "data (X.121)"},
    {0x4, "telex (F.69)"},
    {0x8, "national standard"},
    {0x9, "private"},
    {0xF, "reserved for extension"},
};
static_assert(SortedUnique(kNumberingPlans));

constexpr Name kPresentations[] = {
    {0, "presentation allowed"}, {1, "presentation restricted"}, {2, "number not available (interworking)"}};
static_assert(SortedUnique(kPresentations));

constexpr Name kScreenings[] = {
    {0, "user-provided, not screened"},
    {1, "user-provided, verified and passed"},
    {2, "user-provided, verified and failed"},
    {3, "network provided"},
};
static_assert(SortedUnique(kScreenings));

constexpr Name kInterpretations[] = {{4, "first (primary or only) characteristics to be used in the call"}};
static_assert(SortedUnique(kInterpretations));

constexpr Name kPresentationMethods[] = {{1, "high layer protocol profile"}};
static_assert(SortedUnique(kPresentationMethods));

constexpr Name kHighLayerCharacteristics[] = {
    {0x01, "telephony"},
    {0x04, "facsimile group 2/3 (F.182)"},
    {0x21, "facsimile group 4 class I (F.184)"},
    {0x24, "teletex basic and mixed mode, facsimile group 4 classes II and III"},
    {0x28, "teletex basic and processable mode (F.220)"},
    {0x31, "teletex basic mode (F.200)"},
    {0x32, "syntax based videotex (F.300, T.102)"},
    {0x33, "international videotex interworking (F.300, T.101)"},
    {0x35, "telex (F.60)"},
    {0x38, "message handling systems (X.400)"},
    {0x41, "OSI application (X.200)"},
    {0x42, "FTAM application (ISO 8571)"},
    {0x5E, "reserved for maintenance"},
    {0x5F, "reserved for management"},
    {0x60, "videotelephony"},
    {0x61, "videoconferencing"},
    {0x62, "audiographic conferencing"},
    {0x70, "multimedia services"},
};
static_assert(SortedUnique(kHighLayerCharacteristics));

constexpr Name kSubaddressTypes[] = {{0, "NSAP (X.213/ISO 8348 AD2)"}, {2, "user specified"}};
static_assert(SortedUnique(kSubaddressTypes));

// Bits 5..1 of facility octet 3.
constexpr Name kProtocolProfiles[] = {
    {0x11, "remote operations protocol"},
    {0x12, "CMIP protocol"},
    {0x13, "ACSE protocol"},
    {0x1F, "networking extensions"},
};
static_assert(SortedUnique(kProtocolProfiles));

// The components of remote operations, by tag.
constexpr Name kComponentTags[] = {{0xA1, "invoke"}, {0xA2, "return result"}, {0xA3, "return error"}, {0xA4, "reject"}};
static_assert(SortedUnique(kComponentTags));

// The authority and format identifier of an NSAP subaddress made of IA5 characters.
constexpr std::uint8_t kIa5Subaddress = 0x50;

// The tag and length octets of one BER-encoded value at the start of
// `octets`: how many octets they take and how long the content claims to
// be. A length of indefinite form runs to the end of `octets`. Absent when
// the octets end inside them or a long-form length has over two octets.
struct BerHeader {
    std::size_t size = 0;
    std::size_t length = 0;
};

std::optional<BerHeader> ReadBerHeader(std::span<const std::uint8_t> octets) {
    std::size_t at = 1;
    if (octets.empty()) return std::nullopt;
    if ((octets[0] & 0x1F) == 0x1F) {  // a tag number in the octets that follow
        while (at < octets.size() && (octets[at] & 0x80) != 0) ++at;
        ++at;
    }
    if (at >= octets.size()) return std::nullopt;
    const std::uint8_t first = octets[at++];
    if (first < 0x80) return BerHeader{at, first};
    if (first == 0x80) return BerHeader{at, octets.size() - at};
    const std::size_t count = first & 0x7F;
    if (count > 2 || count > octets.size() - at) return std::nullopt;
    std::size_t length = 0;
    for (std::size_t i = 0; i < count; ++i) length = length << 8 | octets[at++];
    return BerHeader{at, length};
}

// "meaning (value)", or "unassigned (value)" for a value without a name.
std::string Coded(std::string_view name, unsigned value) {
    if (name.empty()) name = "unassigned";
    return Format("%.*s (%u)", static_cast<int>(name.size()), name.data(), value);
}

std::string Coded(std::span<const Name> table, unsigned value) {
    return Coded(Lookup(table, static_cast<std::uint8_t>(value)), value);
}

// "octet octet ..." in hex.
std::string HexOctets(std::span<const std::uint8_t> octets) {
    std::string text;
    for (const std::uint8_t o : octets) {
        if (!text.empty()) text += ' ';
        text += Format("%02X", o);
    }
    return text;
}

// Octets taken as characters, up to a NUL.
std::string Characters(std::span<const std::uint8_t> octets) {
    std::string text;
    for (const std::uint8_t o : octets) {
        if (o == 0) break;
        text.push_back(static_cast<char>(o));
    }
    return text;
}

}  // namespace

// Collects the details of one element while reading its content octets
// (`content`, which starts at octet `base` of the frame).
class DetailWriter {
public:
    DetailWriter(std::span<const std::uint8_t> content, std::size_t base) : m_content(content), m_base(base) {}

    // The next content octet; nullopt past the last.
    std::optional<std::uint8_t> Next() {
        if (m_pos >= m_content.size()) return std::nullopt;
        m_last = m_pos;
        return m_content[m_pos++];
    }
    // Whether the group of an octet goes on (its extension bit is clear).
    static bool Continues(std::uint8_t octet) { return (octet & 0x80) == 0; }

    // A field of the octet read last.
    void Field(std::string_view name, std::string value) { Add(name, std::move(value), m_last, 1); }

    // Everything not read yet, as one field.
    void Rest(std::string_view name, std::string (*show)(std::span<const std::uint8_t>)) {
        if (m_pos >= m_content.size()) return;
        const std::size_t first = m_pos;
        m_pos = m_content.size();
        Add(name, show(m_content.subspan(first)), first, m_content.size() - first);
    }
    // The octets left over once the element's fields are read.
    void Further() { Rest("Further octets", HexOctets); }
    // The rest of the group that `octet`, the one read last, belongs to.
    void GroupRest(std::uint8_t octet, std::string_view name) {
        const std::size_t first = m_pos;
        while (Continues(octet) && m_pos < m_content.size()) octet = m_content[m_pos++];
        if (m_pos > first) Add(name, HexOctets(m_content.subspan(first, m_pos - first)), first, m_pos - first);
    }

    // The octets not read yet.
    std::span<const std::uint8_t> Unread() const { return m_content.subspan(m_pos); }
    // A field of `count` octets from the `ahead`th unread one on, read from
    // Unread(); Skip moves past octets so read.
    void Cover(std::string_view name, std::string value, std::size_t ahead, std::size_t count) {
        Add(name, std::move(value), m_pos + ahead, count);
    }
    void Skip(std::size_t count) { m_pos += std::min(count, m_content.size() - m_pos); }

    std::vector<ElementDetail> Take() { return std::move(m_details); }

private:
    void Add(std::string_view name, std::string value, std::size_t at, std::size_t count) {
        m_details.push_back({std::string(name) + ": " + value, static_cast<std::uint32_t>(m_base + at),
                             static_cast<std::uint32_t>(count)});
    }

    std::span<const std::uint8_t> m_content;
    std::size_t m_base;
    std::size_t m_pos = 0;
    std::size_t m_last = 0;
    std::vector<ElementDetail> m_details;
};

namespace ie {

static void CodingStandard(DetailWriter& d, std::uint8_t octet) { d.Field("Coding standard", Coded(kCodingStandards, (octet >> 5) & 0x03)); }

// Bearer capability and low layer compatibility share their layout; low
// layer compatibility adds octet 3a (negotiation).
static void Capability(DetailWriter& d, bool lowLayer) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    CodingStandard(d, *octet3);
    d.Field("Transfer capability", Coded(TransferCapabilityName(*octet3 & 0x1F), *octet3 & 0x1Fu));
    if (lowLayer && DetailWriter::Continues(*octet3)) {
        const auto octet3a = d.Next();
        if (!octet3a) return;
        d.Field("Negotiation", (*octet3a & 0x40) ? "out-band negotiation possible" : "out-band negotiation not possible");
    }
    const auto octet4 = d.Next();
    if (!octet4) return;
    d.Field("Transfer mode", Coded(kTransferModes, (*octet4 >> 5) & 0x03));
    d.Field("Transfer rate", Coded(kTransferRates, *octet4 & 0x1F));
    d.GroupRest(*octet4, "Structure and symmetry");
    if ((*octet4 & 0x1F) == 0x18) {
        const auto multiplier = d.Next();
        if (!multiplier) return;
        d.Field("Rate multiplier", Format("%u x 64 kbit/s", *multiplier & 0x7Fu));
    }
    // Octets 5, 6 and 7 each start with their layer in bits 7..6.
    while (const auto octet = d.Next()) {
        switch ((*octet >> 5) & 0x03) {
        case 1: {
            d.Field("Layer 1 protocol", Coded(kLayer1Protocols, *octet & 0x1F));
            if (!DetailWriter::Continues(*octet)) break;
            const auto octet5a = d.Next();
            if (!octet5a) return;
            d.Field("Synchronous/asynchronous", (*octet5a & 0x40) ? "asynchronous" : "synchronous");
            d.Field("User rate", Coded(kUserRates, *octet5a & 0x1F));
            d.GroupRest(*octet5a, "Layer 1 parameters");
            break;
        }
        case 2:
            d.Field("Layer 2 protocol", Coded(kLayer2Protocols, *octet & 0x1F));
            d.GroupRest(*octet, "Layer 2 parameters");
            break;
        case 3:
            d.Field("Layer 3 protocol", Coded(kLayer3Protocols, *octet & 0x1F));
            d.GroupRest(*octet, "Layer 3 parameters");
            break;
        default:
            d.Field("Unexpected octet", Format("%02X", *octet));
            break;
        }
    }
}

void ChannelDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    const bool explicitInterface = (*octet3 & 0x40) != 0;
    const bool basic = (*octet3 & 0x20) == 0;
    d.Field("Interface", explicitInterface ? "identified in the following octets" : "the one the message arrived on");
    d.Field("Interface type", basic ? "basic rate" : "other (primary rate)");
    d.Field("Preferred/exclusive", (*octet3 & 0x08) ? "exclusive: only the channel indicated is acceptable"
                                                     : "preferred: another channel is acceptable");
    d.Field("D-channel indicator", (*octet3 & 0x04) ? "the D-channel" : "not the D-channel");
    d.Field("Channel", Coded(basic ? std::span<const Name>(kBasicChannelSelections)
                                   : std::span<const Name>(kOtherChannelSelections),
                             *octet3 & 0x03));
    if (explicitInterface) {
        const auto first = d.Next();
        if (!first) return;
        d.Field("Interface identifier", Format("%u", *first & 0x7Fu));
        d.GroupRest(*first, "Interface identifier octets");
    }
    if (basic) return d.Further();
    const auto octet32 = d.Next();
    if (!octet32) return;
    CodingStandard(d, *octet32);
    const bool map = (*octet32 & 0x10) != 0;
    d.Field("Channel indicated by", map ? "slot map" : "number");
    d.Field("Channel type", Coded(kChannelTypes, *octet32 & 0x0F));
    if (map) return d.Rest("Slot map", HexOctets);
    while (const auto number = d.Next()) d.Field("Channel number", Format("%u", *number & 0x7Fu));
}

void CauseDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    CodingStandard(d, *octet3);
    d.Field("Location", Coded(kLocations, *octet3 & 0x0F));
    if (HasOctet3a(*octet3)) {
        const auto octet3a = d.Next();
        if (!octet3a) return;
        d.Field("Recommendation", Coded(kRecommendations, *octet3a & 0x7F));
    }
    const auto octet4 = d.Next();
    if (!octet4) return;
    const std::uint8_t value = *octet4 & 0x7F;
    d.Field("Cause class", Coded(kCauseClasses, value >> 4));
    std::string_view name = CauseName(value);
    if (name.empty()) name = "UNDEFINED";
    d.Field("Cause value", Format("(%d) %.*s", value, static_cast<int>(name.size()), name.data()));
    d.Rest("Diagnostics", HexOctets);
}

static void PartyNumber(DetailWriter& d, bool calling) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    d.Field("Type of number", Coded(kNumberTypes, (*octet3 >> 4) & 0x07));
    d.Field("Numbering plan", Coded(kNumberingPlans, *octet3 & 0x0F));
    if (calling && HasOctet3a(*octet3)) {
        const auto octet3a = d.Next();
        if (!octet3a) return;
        d.Field("Presentation", Coded(kPresentations, (*octet3a >> 5) & 0x03));
        d.Field("Screening", Coded(kScreenings, *octet3a & 0x03));
    }
    d.Rest("Digits", Characters);
}

void ProgressDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    CodingStandard(d, *octet3);
    d.Field("Location", Coded(kLocations, *octet3 & 0x0F));
    const auto octet4 = d.Next();
    if (!octet4) return;
    d.Field("Progress description", Coded(ProgressName(*octet4), *octet4 & 0x7Fu));
    d.Further();
}

void SignalDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    d.Field("Signal", Coded(SignalName(*octet3), *octet3));
    d.Further();
}

void NotificationDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    d.Field("Notification", Coded(NotificationName(*octet3), *octet3 & 0x7Fu));
    d.Further();
}

void DateTimeDetails(DetailWriter& d) {
    // The seconds octet is optional; the others are always there.
    static constexpr std::string_view kFields[] = {"Year", "Month", "Day", "Hour", "Minute", "Second"};
    for (const std::string_view field : kFields) {
        const auto octet = d.Next();
        if (!octet) return;
        d.Field(field, Format("%02u", static_cast<unsigned>(*octet)));
    }
    d.Further();
}

void HighLayerDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    CodingStandard(d, *octet3);
    d.Field("Interpretation", Coded(kInterpretations, (*octet3 >> 2) & 0x07));
    d.Field("Presentation method", Coded(kPresentationMethods, *octet3 & 0x03));
    const auto octet4 = d.Next();
    if (!octet4) return;
    d.Field("High layer characteristics", Coded(kHighLayerCharacteristics, *octet4 & 0x7F));
    if (DetailWriter::Continues(*octet4)) {
        const auto octet4a = d.Next();
        if (!octet4a) return;
        d.Field("Extended characteristics", Coded(kHighLayerCharacteristics, *octet4a & 0x7F));
    }
    d.Further();
}

void SubaddressDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    const unsigned type = (*octet3 >> 4) & 0x07;
    d.Field("Type of subaddress", Coded(kSubaddressTypes, type));
    d.Field("Odd/even indicator",
            (*octet3 & 0x08) ? "odd number of address signals" : "even number of address signals");
    const std::span<const std::uint8_t> rest = d.Unread();
    if (type == 0 && !rest.empty() && rest.front() == kIa5Subaddress) {
        d.Next();
        d.Field("Authority and format identifier", Coded("IA5 characters", kIa5Subaddress));
        d.Rest("Digits", Characters);
        return;
    }
    d.Rest("Subaddress information", HexOctets);
}

// Octet 3 names the protocol profile; the rest are components, each a BER
// value: its tag and length, then (one level down) the tags and lengths of
// the values it holds. A value whose length runs past the element is cut
// at the element's end and said to be cut.
void FacilityDetails(DetailWriter& d) {
    const auto octet3 = d.Next();
    if (!octet3) return;
    d.Field("Protocol profile", Coded(kProtocolProfiles, *octet3 & 0x1Fu));
    while (!d.Unread().empty()) {
        const std::span<const std::uint8_t> rest = d.Unread();
        const auto header = ReadBerHeader(rest);
        if (!header) return d.Further();
        const std::size_t present = std::min(header->length, rest.size() - header->size);
        std::string_view name = Lookup(kComponentTags, rest[0]);
        if (name.empty()) name = "component";
        d.Cover("Component",
                Format("%.*s (tag %02X), length %zu%s", static_cast<int>(name.size()), name.data(), rest[0],
                       header->length, present < header->length ? ", cut short" : ""),
                0, header->size + present);
        // The values inside the component.
        std::size_t at = header->size;
        const std::size_t end = header->size + present;
        while (at < end) {
            const auto part = ReadBerHeader(rest.subspan(at, end - at));
            if (!part) break;
            const std::size_t partPresent = std::min(part->length, end - at - part->size);
            std::string value = Format("tag %02X, length %zu", rest[at], part->length);
            if (partPresent > 0) value += ": " + HexOctets(rest.subspan(at + part->size, partPresent));
            if (partPresent < part->length) value += ", cut short";
            d.Cover("Component part", std::move(value), at, part->size + partPresent);
            at += part->size + partPresent;
        }
        d.Skip(end);
    }
}

void BearerDetails(DetailWriter& d) { Capability(d, false); }
void LowLayerDetails(DetailWriter& d) { Capability(d, true); }
void CallingNumberDetails(DetailWriter& d) { PartyNumber(d, true); }
void CalledNumberDetails(DetailWriter& d) { PartyNumber(d, false); }
void DisplayDetails(DetailWriter& d) { d.Rest("Display text", Characters); }
void KeypadDetails(DetailWriter& d) { d.Rest("Keypad digits", Characters); }

}  // namespace ie

std::vector<ElementDetail> DescribeElement(const DecodeItem& item, std::span<const std::uint8_t> frame) {
    // Outside codeset 0 an element has no name; single-octet elements carry no content.
    if (item.singleOctet || item.name.empty()) return {};
    const std::size_t first = item.ContentOffset();
    if (first > frame.size()) return {};
    const std::size_t count = std::min<std::size_t>(item.ContentSize(), frame.size() - first);
    const std::span<const std::uint8_t> content = frame.subspan(first, count);
    const ElementRow* row = FindElement(item.id);
    if (row == nullptr || row->details == nullptr) return {};
    DetailWriter d(content, first);
    row->details(d);
    return d.Take();
}

}  // namespace decode
