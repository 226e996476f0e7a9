#include "decode/InfoElements.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "decode/ByteReader.h"
#include "decode/ElementWalk.h"
#include "decode/Format.h"
#include "decode/NameTable.h"
#include "decode/ProtocolNames.h"

// Element bodies: every decoder reads the element's content octets (Q.931
// octet 3 on, e[2] on) through a reader bounded by the element's own length
// and by the end of the frame, so an octet that belongs to the next element
// or lies past the frame is never taken for this one's. What a decoder shows
// when an octet it needs is missing:
//  - a mnemonic that is one value (cause, call state, progress, notification,
//    signal, date and time, redirection reason) is empty;
//  - a mnemonic built of parts (bearer capability, channel identification)
//    keeps the parts whose octets are present;
//  - a character string (display, keypad, numbers) shows the characters
//    present.
// An element whose length octet itself is missing (the frame ends after its
// identifier) shows an empty length text.

namespace decode {
namespace {

constexpr Name kTransferCapabilities[] = {
    {0x00, "SPEECH"},        {0x08, "UNRESTRICTED DIGITAL"},    {0x09, "RESTRICTED DIGITAL"},
    {0x10, "3.1KHZ AUDIO"},  {0x11, "UNRESTR DIGITAL W/TONES"}, {0x18, "VIDEO"},
};
static_assert(SortedUnique(kTransferCapabilities));

// Transfer capabilities that are followed by a rate (not speech or audio).
constexpr std::uint8_t kRatedCapabilities[] = {0x08, 0x09, 0x11, 0x18};

constexpr Name kTransferRates[] = {
    {0x10, " 64K"},   {0x11, " 2x64K"},     {0x13, " 384K"},   {0x15, " 1536K"},
    {0x17, " 1920K"}, {0x18, " MULTIRATE"}, {0x40, " PACKET"},
};
static_assert(SortedUnique(kTransferRates));

constexpr Name kCauses[] = {
    {1, "UNALLOCATED NUMBER"},
    {2, "NO ROUTE TO NETWORK"},
    {3, "NO ROUTE TO DESTINATION"},
    {6, "CHANNEL UNACCEPTABLE"},
    {7, "CALL AWARDED"},
    {16, "NORMAL CALL CLEARING"},
    {17, "USER BUSY"},
    {18, "NO USER RESPONDING"},
    {19, "NO ANSWER FROM USER"},
    {21, "CALL REJECTED"},
    {22, "NUMBER CHANGED"},
    {26, "NON-SELECT USER CLR"},
    {27, "DESTINATION OUT OF ORDER"},
    {28, "INVALID NUMBER FORMAT"},
    {29, "FACILITY REJECTED"},
    {30, "RESPONSE TO STATUS ENQUIRY"},
    {31, "NORMAL UNSPECIFIED"},
    {34, "NO CIRCUIT/CHANNEL AVAILABLE"},
    {38, "NETWORK OUT OF ORDER"},
    {41, "TEMPORARY FAILURE"},
    {42, "SWITCH CONGESTION"},
    {43, "ACCESS INFO DISCARD"},
    {44, "REQ CIRCUIT/CHANNEL UNAVAIL"},
    {47, "RESOURCES UNAVAIL"},
    {49, "QUALITY OF SERVICE UNAVAIL"},
    {50, "REQ FACILITY NOT SUBSCRIBED"},
    {54, "INCOMING CALL BARRED"},
    {57, "BEARER CAP NOT AUTHORIZED"},
    {58, "BEARER CAP UNAVAILABLE"},
    {63, "SERVICE/OPTION UNAVAILABLE"},
    {65, "BEARER CAP UNIMPLEMENTED"},
    {66, "CHANNEL TYPE UNIMPLEMENTED"},
    {69, "REQ FACILITY UNIMPLEMENTED"},
    {70, "ONLY RESTRICT AVAILABLE"},
    {79, "SERVICE/OPTION UNIMPLEMENTED"},
    {81, "INVALID CALL REF VALUE"},
    {83, "SUSPEND CALL, NO ID"},
    {84, "CALL ID IN USE"},
    {85, "NO CALL SUSPENDED"},
    {88, "INCOMPATIBLE DESTINATION"},
    {91, "INVALID TRANSIT NET"},
    {95, "INVALID MESSAGE"},
    {96, "MANDITORY IE MISSING"},
    {97, "MESSAGE TYPE UNIMPLEMENTED"},
    {98, "MESS INCOMP/T_ UNIMPLEMENTED"},
    {99, "INFO ELEMENT UNIMPLEMENTED"},
    {100, "INVALID IE CONTENT"},
    {101, "MESSAGE INCOMPATIBLE"},
    {102, "RECOVERY ON TIMER EXPIRY"},
    {111, "PROTOCOL ERROR"},
    {127, "INTERNETWORKING"},
};
static_assert(SortedUnique(kCauses));

constexpr Name kCallStates[] = {
    {0, "NULL"},
    {1, "CALL INITIATED"},
    {2, "OVERLAP SENDING"},
    {3, "OUTGOING CALL PROCEEDING"},
    {4, "CALL DELIVERED"},
    {6, "CALL PRESENT"},
    {7, "CALL RECEIVED"},
    {8, "CONNECT REQUEST"},
    {9, "INCOMING CALL PROCEEDING"},
    {10, "ACTIVE"},
    {11, "DISCONNECT REQUEST"},
    {12, "DISCONNECT INDICATION"},
    {15, "SUSPEND REQUEST"},
    {17, "RESUME REQUEST"},
    {19, "RELEASE REQUEST"},
    {22, "CALL ABORT"},
    {25, "OVERLAP RECEIVING"},
};
static_assert(SortedUnique(kCallStates));

// Channel selection of a basic-rate interface, bits 1..0 of octet 3.
constexpr Name kBasicChannels[] = {{0, ", NO B CHANNEL"}, {1, ", B1"}, {2, ", B2"}, {3, ", ANY"}};
static_assert(SortedUnique(kBasicChannels));

// Channel type of octet 3.2 on other interfaces.
constexpr Name kChannelTypes[] = {{3, ", B-"}, {6, ", H0-"}, {8, ", H11-"}, {9, ", H12-"}};
static_assert(SortedUnique(kChannelTypes));

constexpr Name kProgressDescriptions[] = {
    {1, "NOT END-TO-END ISDN"},          {2, "DESTINATION NON-ISDN"},  {3, "ORIGINATION NON-ISDN"},
    {4, "CALL RETURNED TO ISDN"},        {5, "INTERNETWORKING SERVICE CHARGE"},
    {8, "INFO/PATTERN NOW AVAILABLE"},
};
static_assert(SortedUnique(kProgressDescriptions));

constexpr Name kNotifications[] = {{0, "USER SUSPENDED"}, {1, "USER RESUMED"}, {2, "BEARER SERVICE CHANGE"}};
static_assert(SortedUnique(kNotifications));

constexpr Name kSignals[] = {
    {0x00, "DIAL TONE ON"},
    {0x01, "RING BACK TONE ON"},
    {0x02, "INTERCEPT TONE ON"},
    {0x03, "NETWORK CONGESTION TONE ON"},
    {0x04, "BUSY TONE ON"},
    {0x05, "CONFIRM TONE ON"},
    {0x06, "ANSWER TONE ON"},
    {0x07, "CALL WAITING TONE"},
    {0x08, "OFF HOOK WARNING TONE"},
    {0x09, "PREEMPTION TONE ON"},
    {0x3F, "TONES OFF"},
    {0x40, "ALERTING ON PATTERN 0"},
    {0x41, "ALERTING ON PATTERN 1"},
    {0x42, "ALERTING ON PATTERN 2"},
    {0x43, "ALERTING ON PATTERN 3"},
    {0x44, "ALERTING ON PATTERN 4"},
    {0x45, "ALERTING ON PATTERN 5"},
    {0x46, "ALERTING ON PATTERN 6"},
    {0x47, "ALERTING ON PATTERN 7"},
    {0x4F, "ALERTING OFF"},
};
static_assert(SortedUnique(kSignals));

constexpr Name kRedirectionReasons[] = {
    {0, "UNKNOWN"},      {1, "BUSY"},            {2, "NO REPLY"},   {4, "DEFLECTION"},
    {9, "OUT OF ORDER"}, {10, "CALL FORWARDED"}, {15, "REDIRECTED"},
};
static_assert(SortedUnique(kRedirectionReasons));

// Single-octet elements of codeset 0, by their high four bits; 0xA0 alone is
// MORE DATA, the rest of 0xA_ is SENDING COMPLETE.
constexpr Name kSingleOctetElements[] = {
    {0x9, "SHIFT"}, {0xA, "SENDING COMPLET"}, {0xB, "CONGESTION LVL"}, {0xD, "REPEAT INDICATO"}};
static_assert(SortedUnique(kSingleOctetElements));

constexpr Name kCongestionLevels[] = {{0x0, "RECEIVER READY"}, {0xF, "RECEIVER NOT READY"}};
static_assert(SortedUnique(kCongestionLevels));

// The name of v in the table, or "UNDEFINED [%02X]" of v.
std::string NameOrUndefined(std::span<const Name> table, std::uint8_t v) {
    const std::string_view name = Lookup(table, v);
    if (name.empty()) return Format("UNDEFINED [%02X]", v);
    return std::string(name);
}

// Octets taken as characters: at most 45, ending early at a NUL.
std::string Characters(std::span<const std::uint8_t> octets) {
    const std::size_t limit = std::min<std::size_t>(octets.size(), 45);
    std::string text;
    for (std::size_t i = 0; i < limit && octets[i] != 0; ++i) text.push_back(static_cast<char>(octets[i]));
    return text;
}

}  // namespace

namespace ie {

std::string BearerMnemonic(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return {};
    const int codingStandard = (*octet3 >> 5) & 0x03;
    if (codingStandard != 0) return Format("Unknown coding standard [%d]", codingStandard);
    const std::uint8_t capability = *octet3 & 0x1F;
    std::string text = NameOrUndefined(kTransferCapabilities, capability);
    if (std::find(std::begin(kRatedCapabilities), std::end(kRatedCapabilities), capability) !=
        std::end(kRatedCapabilities)) {
        // Without octet 4 the rate part is left out.
        if (const auto octet4 = body.Peek(1)) text += Lookup(kTransferRates, *octet4 & 0x7F);
    }
    return text;
}

static std::optional<std::uint8_t> CauseOctet(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return std::nullopt;
    // Octet 3a (the recommendation) may come before the value.
    const auto octet4 = body.Peek(HasOctet3a(*octet3) ? 2 : 1);
    if (!octet4) return std::nullopt;
    return static_cast<std::uint8_t>(*octet4 & 0x7F);
}

std::string CauseMnemonic(ByteReader body) {
    const auto cause = CauseOctet(body);
    if (!cause) return {};
    const std::uint8_t value = *cause;
    std::string_view name = Lookup(kCauses, value);
    if (name.empty()) name = "UNDEFINED";
    return Format("(%d) %.*s", value, static_cast<int>(name.size()), name.data());
}

std::string CallStateMnemonic(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return {};
    return NameOrUndefined(kCallStates, *octet3 & 0x3F);
}

std::string ChannelMnemonic(ByteReader body) {
    const auto octet3 = body.U8();
    if (!octet3) return {};
    std::string text = (*octet3 & 0x08) ? "EXCLUSIVE" : "PREFERRED";
    if (*octet3 & 0x04) return text + ", D CHANNEL";
    if (!(*octet3 & 0x20)) return text + std::string(Lookup(kBasicChannels, *octet3 & 0x03));

    // Other interfaces: skip the interface identifier octets, up to and
    // including the first with bit 7 set.
    if (*octet3 & 0x40) {
        for (;;) {
            const auto octet = body.U8();
            if (!octet) return text;
            if (*octet & 0x80) break;
        }
    }
    const auto octet32 = body.U8();
    if (!octet32) return text;
    if ((*octet32 >> 5) & 0x03) return text + ", (not CCITT)";
    const std::string_view type = Lookup(kChannelTypes, *octet32 & 0x0F);
    if (type.empty()) return text;
    text += type;
    if (!(*octet32 & 0x10)) {
        // Channel numbers; running out of octets counts as "more not shown".
        auto octet = body.U8();
        while (octet && !(*octet & 0x80) && text.size() <= 40) {
            text += Format("%d, ", *octet);
            octet = body.U8();
        }
        if (octet && (*octet & 0x80) && text.size() <= 43) {
            text += Format("%d", *octet & 0x7F);
        } else {
            text += "...";
        }
    }
    if (text.size() > 45) text.resize(45);
    return text;
}

std::string ProgressMnemonic(ByteReader body) {
    const auto octet4 = body.Peek(1);
    if (!octet4) return {};
    return NameOrUndefined(kProgressDescriptions, *octet4 & 0x7F);
}

std::string NotificationMnemonic(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return {};
    return NameOrUndefined(kNotifications, *octet3 & 0x7F);
}

std::string TextMnemonic(ByteReader body) { return Characters(body.Rest()); }

std::string DateTimeMnemonic(ByteReader body) {
    const std::span<const std::uint8_t> octets = body.Rest();
    if (octets.size() < 6) return {};  // a time stamp is one value: all six octets or nothing
    return Format("  %.2d:%.2d:%.2d:%.2d:%.2d:%.2d", octets[0], octets[1], octets[2], octets[3], octets[4],
                  octets[5]);
}

std::string SignalMnemonic(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return {};
    return NameOrUndefined(kSignals, *octet3);
}

// The digits of a called number or subaddress: octet 3 (type) skipped.
static std::optional<std::span<const std::uint8_t>> NumberDigits(ByteReader body) {
    if (!body.Skip(1)) return std::nullopt;
    return body.Rest();
}

// The digits of a calling or connected number: octet 3a (presentation and
// screening) follows octet 3 when octet 3's extension bit is 0.
static std::optional<std::span<const std::uint8_t>> CallingDigits(ByteReader body) {
    const auto octet3 = body.U8();
    if (!octet3) return std::nullopt;
    if (HasOctet3a(*octet3) && !body.Skip(1)) return std::nullopt;
    return body.Rest();
}

std::string NumberMnemonic(ByteReader body) {
    return Characters(NumberDigits(body).value_or(std::span<const std::uint8_t>()));
}

std::string CallingNumberMnemonic(ByteReader body) {
    return Characters(CallingDigits(body).value_or(std::span<const std::uint8_t>()));
}

// Only the reason of octet 3b is shown; it is there when octets 3 and 3a
// both have bit 7 clear.
std::string RedirectingMnemonic(ByteReader body) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return {};
    if (!HasOctet3a(*octet3)) return "UNKNOWN";
    const auto octet3a = body.Peek(1);
    if (!octet3a) return {};
    if (*octet3a & 0x80) return "UNKNOWN";
    const auto octet3b = body.Peek(2);
    if (!octet3b) return {};
    return NameOrUndefined(kRedirectionReasons, *octet3b & 0x0F);
}

void BearerValues(ByteReader body, ElementValues& v) {
    const auto octet3 = body.U8();
    if (!octet3) return;
    BearerValue bearer;
    bearer.codingStandard = static_cast<std::uint8_t>((*octet3 >> 5) & 0x03);
    bearer.capability = *octet3 & 0x1F;
    if (const auto octet4 = body.U8()) {
        bearer.mode = static_cast<std::uint8_t>((*octet4 >> 5) & 0x03);
        bearer.rate = *octet4 & 0x1F;
    }
    v.bearer = bearer;
}

void CauseValues(ByteReader body, ElementValues& v) { v.cause = CauseOctet(body); }

void ChannelValues(ByteReader body, ElementValues& v) {
    const auto octet3 = body.Peek(0);
    if (!octet3) return;
    ChannelValue channel;
    channel.otherInterface = (*octet3 & 0x20) != 0;
    channel.exclusive = (*octet3 & 0x08) != 0;
    channel.dChannel = (*octet3 & 0x04) != 0;
    channel.selection = *octet3 & 0x03;
    // Other interfaces: the channel number is in the element's last octet,
    // behind octet 3.2.
    if (channel.otherInterface && body.Remaining() >= 3) channel.number = body.Rest().back() & 0x7F;
    v.channel = channel;
}

void KeypadValues(ByteReader body, ElementValues& v) { v.digits = body.Rest(); }
void CallingNumberValues(ByteReader body, ElementValues& v) { v.digits = CallingDigits(body); }
void CalledNumberValues(ByteReader body, ElementValues& v) { v.digits = NumberDigits(body); }

}  // namespace ie

namespace {

// "%-15s": padded with blanks to 15 characters, never cut.
std::string PaddedName(std::string_view name) {
    std::string text(name);
    if (text.size() < 15) text.resize(15, ' ');
    return text;
}

std::string NameOf(const Element& element) {
    if (element.codeset != 0) return {};
    if (element.singleOctet) {
        const std::uint8_t o = element.id;
        if (o == 0xA0) return PaddedName("MORE DATA");
        const std::string_view name = Lookup(kSingleOctetElements, o >> 4);
        return PaddedName(name.empty() ? std::string_view("RESERVED") : name);
    }
    if (const ElementRow* row = FindElement(element.id); row && !row->name.empty()) return PaddedName(row->name);
    return PaddedName(Format("UNDEFINED [%02X]", element.id));
}

DecodeItem MakeItem(const Element& element) {
    DecodeItem item;
    item.offset = static_cast<std::uint32_t>(element.offset);
    item.id = element.id;
    item.singleOctet = element.singleOctet;
    item.length = element.length;
    item.size = static_cast<std::uint32_t>(element.Size());
    item.name = NameOf(element);
    if (element.codeset != 0) {
        item.mnemonic = Format("UNKNOWN CODESET %d", element.codeset);
        return item;
    }
    if (element.singleOctet) {
        if ((element.id & 0xF0) == 0xB0) item.mnemonic = NameOrUndefined(kCongestionLevels, element.id & 0x0F);
        return item;
    }
    if (const ElementRow* row = FindElement(element.id); row && row->mnemonic) item.mnemonic = row->mnemonic(element.body);
    return item;
}

}  // namespace

std::string_view CauseName(std::uint8_t value) { return Lookup(kCauses, value & 0x7F); }
std::string_view TransferCapabilityName(std::uint8_t capability) {
    return Lookup(kTransferCapabilities, capability & 0x1F);
}
std::string_view ProgressName(std::uint8_t description) { return Lookup(kProgressDescriptions, description & 0x7F); }
std::string_view NotificationName(std::uint8_t description) { return Lookup(kNotifications, description & 0x7F); }
std::string_view SignalName(std::uint8_t value) { return Lookup(kSignals, value); }
std::string DecodeItem::IndexText() const {
    if (offset > 0xFFFF) return Format("%04X", static_cast<unsigned>(offset));
    char text[4];
    WriteHexOctet(WriteHexOctet(text, offset >> 8), offset & 0xFF);
    return std::string(text, sizeof text);
}
std::string DecodeItem::IdText() const {
    char text[2];
    WriteHexOctet(text, id);
    return std::string(text, sizeof text);
}
std::string DecodeItem::LengthText() const {
    if (singleOctet) return "01";
    if (!length) return {};
    char text[2];
    WriteHexOctet(text, *length);
    return std::string(text, sizeof text);
}

std::string ElementName(const Element& element) { return NameOf(element); }

const ElementRow* FindElement(std::uint8_t id) {
    const auto it = std::lower_bound(std::begin(kElements), std::end(kElements), id,
                                     [](const ElementRow& row, std::uint8_t key) { return row.id < key; });
    if (it == std::end(kElements) || it->id != id) return nullptr;
    return &*it;
}

ElementValues ValuesOf(const Element& element) {
    ElementValues values;
    if (element.codeset != 0 || element.singleOctet) return values;
    if (const ElementRow* row = FindElement(element.id); row && row->values) row->values(element.body, values);
    return values;
}

std::optional<std::uint8_t> CauseValue(const Element& element) { return ValuesOf(element).cause; }

std::optional<std::string> PartyDigits(const Element& element) {
    if (element.codeset != 0 || element.singleOctet) return std::nullopt;
    if (element.id != kCalledNumberId && element.id != kCallingNumberId && element.id != kConnectedNumberId)
        return std::nullopt;
    return Characters(ValuesOf(element).digits.value_or(std::span<const std::uint8_t>()));
}

std::vector<DecodeItem> DecodeInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength) {
    std::vector<DecodeItem> items;
    WalkElements(frame, headerLength, [&](const Element& element) {
        items.push_back(MakeItem(element));
        return true;
    });
    return items;
}

std::uint32_t CountInfoElements(std::span<const std::uint8_t> frame, std::size_t headerLength) {
    std::uint32_t count = 0;
    WalkElements(frame, headerLength, [&](const Element&) {
        ++count;
        return true;
    });
    return count;
}

std::optional<DecodeItem> DecodeInfoElement(std::span<const std::uint8_t> frame, std::size_t headerLength,
                                            std::uint32_t position) {
    std::optional<DecodeItem> item;
    std::uint32_t k = 0;
    WalkElements(frame, headerLength, [&](const Element& element) {
        if (k++ != position) return true;
        item = MakeItem(element);
        return false;
    });
    return item;
}

}  // namespace decode
