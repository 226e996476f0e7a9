#pragma once
// One row per codeset-0 information element of variable length: its
// identifier, the name its item shows, and the decoders of its content -
// the mnemonic the record list and tree show, the Element Details, and the
// values other parts of the program read (cause value, digits, channel,
// bearer). Every reader of an element goes through its row, so a field is
// decoded in one place. The decoders are stateless functions over the
// element's content octets (bounded by its length and the frame's end); any
// thread.
//
// Example:
//     WalkElements(frame, header, [](const Element& e) {
//         const ElementValues v = ValuesOf(e);
//         if (v.cause) ...          // a cause element's value
//         if (v.digits) ...         // the digit octets of a number or of keypad facility
//         return true;
//     });

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "decode/ByteReader.h"

namespace decode {

struct Element;
class DetailWriter;  // collects an element's details (ElementDetails.cpp)

// Channel identification, octet 3 and the channel number.
struct ChannelValue {
    bool otherInterface = false;  // not a basic-rate interface
    bool exclusive = false;       // only the channel indicated is acceptable
    bool dChannel = false;        // the D-channel is indicated
    std::uint8_t selection = 0;   // bits 2..1 of octet 3: on a basic-rate interface none, B1, B2, any
    std::optional<std::uint8_t> number;  // other interfaces: the channel number of the element's last octet
};

// Bearer capability, octets 3 and 4.
struct BearerValue {
    std::uint8_t codingStandard = 0;
    std::uint8_t capability = 0;         // information transfer capability, 5 bits
    std::optional<std::uint8_t> mode;    // transfer mode, 2 bits
    std::optional<std::uint8_t> rate;    // information transfer rate, 5 bits
};

// What other parts read from an element; each value is there only for the
// elements that carry it, and only when its octets are in the frame.
struct ElementValues {
    std::optional<std::uint8_t> cause;                     // cause: the cause value, 7 bits
    std::optional<std::span<const std::uint8_t>> digits;  // party numbers and keypad: the digit octets
    std::optional<ChannelValue> channel;                   // channel identification
    std::optional<BearerValue> bearer;                     // bearer capability
};

// The decoders the rows point to.
namespace ie {
using Mnemonic = std::string (*)(ByteReader body);
using Details = void (*)(DetailWriter& writer);
using Values = void (*)(ByteReader body, ElementValues& values);

std::string BearerMnemonic(ByteReader body);
std::string CauseMnemonic(ByteReader body);
std::string CallStateMnemonic(ByteReader body);
std::string ChannelMnemonic(ByteReader body);
std::string ProgressMnemonic(ByteReader body);
std::string NotificationMnemonic(ByteReader body);
std::string TextMnemonic(ByteReader body);
std::string DateTimeMnemonic(ByteReader body);
std::string SignalMnemonic(ByteReader body);
std::string CallingNumberMnemonic(ByteReader body);
std::string NumberMnemonic(ByteReader body);
std::string RedirectingMnemonic(ByteReader body);

void BearerDetails(DetailWriter& d);
void CauseDetails(DetailWriter& d);
void ChannelDetails(DetailWriter& d);
void FacilityDetails(DetailWriter& d);
void ProgressDetails(DetailWriter& d);
void NotificationDetails(DetailWriter& d);
void DisplayDetails(DetailWriter& d);
void DateTimeDetails(DetailWriter& d);
void KeypadDetails(DetailWriter& d);
void SignalDetails(DetailWriter& d);
void CallingNumberDetails(DetailWriter& d);  // calling and connected numbers: octet 3a is there
void CalledNumberDetails(DetailWriter& d);
void SubaddressDetails(DetailWriter& d);
void LowLayerDetails(DetailWriter& d);
void HighLayerDetails(DetailWriter& d);

void BearerValues(ByteReader body, ElementValues& v);
void CauseValues(ByteReader body, ElementValues& v);
void ChannelValues(ByteReader body, ElementValues& v);
void KeypadValues(ByteReader body, ElementValues& v);
void CallingNumberValues(ByteReader body, ElementValues& v);
void CalledNumberValues(ByteReader body, ElementValues& v);
}  // namespace ie

struct ElementRow {
    std::uint8_t id;
    std::string_view name;   // as its item shows it (at most 15 characters, so some are cut);
                             // empty: the item shows "UNDEFINED [id]"
    std::string_view title;  // the element's full name
    ie::Mnemonic mnemonic;   // null: the item has no mnemonic
    ie::Details details;     // null: no Element Details
    ie::Values values;       // null: no values
};

inline constexpr ElementRow kElements[] = {
    {0x00, "SEGMENTED MESSA", "segmented message", nullptr, nullptr, nullptr},
    {0x04, "BEARER CAPABIL", "bearer capability", ie::BearerMnemonic, ie::BearerDetails, ie::BearerValues},
    {0x08, "CAUSE", "cause", ie::CauseMnemonic, ie::CauseDetails, ie::CauseValues},
    {0x10, "CALL IDENTITY", "call identity", nullptr, nullptr, nullptr},
    {0x14, "CALL STATE", "call state", ie::CallStateMnemonic, nullptr, nullptr},
    {0x18, "CHANNEL ID", "channel identification", ie::ChannelMnemonic, ie::ChannelDetails, ie::ChannelValues},
    {0x1C, "", "facility", nullptr, ie::FacilityDetails, nullptr},
    {0x1E, "PROGRESS INDICA", "progress indicator", ie::ProgressMnemonic, ie::ProgressDetails, nullptr},
    {0x20, "NETWORK SPECIFIC", "network-specific facilities", nullptr, nullptr, nullptr},
    {0x27, "NOTIFICATION IN", "notification indicator", ie::NotificationMnemonic, ie::NotificationDetails, nullptr},
    {0x28, "DISPLAY", "display", ie::TextMnemonic, ie::DisplayDetails, nullptr},
    {0x29, "DATE/TIME", "date/time", ie::DateTimeMnemonic, ie::DateTimeDetails, nullptr},
    {0x2C, "KEYPAD FACILITY", "keypad facility", ie::TextMnemonic, ie::KeypadDetails, ie::KeypadValues},
    {0x34, "SIGNAL", "signal", ie::SignalMnemonic, ie::SignalDetails, nullptr},
    {0x40, "INFORMATION RAT", "information rate", nullptr, nullptr, nullptr},
    {0x42, "END-END DELAY", "end-to-end transit delay", nullptr, nullptr, nullptr},
    {0x43, "DELAY SEL/IND", "transit delay selection and indication", nullptr, nullptr, nullptr},
    {0x44, "BINARY PARAMETE", "packet layer binary parameters", nullptr, nullptr, nullptr},
    {0x45, "WINDOW SIZE", "packet layer window size", nullptr, nullptr, nullptr},
    {0x46, "PACKET SIZE", "packet size", nullptr, nullptr, nullptr},
    {0x47, "CLOSED USER GRO", "closed user group", nullptr, nullptr, nullptr},
    {0x4A, "REVERSE CHARGE", "reverse charging indication", nullptr, nullptr, nullptr},
    {0x4C, "", "connected number", nullptr, ie::CallingNumberDetails, ie::CallingNumberValues},  // laid out as a calling number
    {0x4D, "", "connected subaddress", nullptr, ie::SubaddressDetails, nullptr},
    {0x6C, "CALLING NUMBER", "calling party number", ie::CallingNumberMnemonic, ie::CallingNumberDetails,
     ie::CallingNumberValues},
    {0x6D, "CALLING SUBADDR", "calling party subaddress", ie::NumberMnemonic, nullptr, nullptr},
    {0x70, "CALLED NUMBER", "called party number", ie::NumberMnemonic, ie::CalledNumberDetails,
     ie::CalledNumberValues},
    {0x71, "CALLED SUBADDR", "called party subaddress", ie::NumberMnemonic, nullptr, nullptr},
    {0x74, "REDIRECTING NUM", "redirecting number", ie::RedirectingMnemonic, nullptr, nullptr},
    {0x78, "TRANSIT NET SEL", "transit network selection", nullptr, nullptr, nullptr},
    {0x79, "RESTART INDICAT", "restart indicator", nullptr, nullptr, nullptr},
    {0x7C, "LOW LAYER COMP", "low layer compatibility", nullptr, ie::LowLayerDetails, nullptr},
    {0x7D, "HIGH LAYER COMP", "high layer compatibility", nullptr, ie::HighLayerDetails, nullptr},
    {0x7E, "USER-USER", "user-user", nullptr, nullptr, nullptr},
    {0x7F, "ESCAPE EXTENTIO", "escape for extension", nullptr, nullptr, nullptr},
};

constexpr bool ElementsSorted() {
    for (std::size_t i = 1; i < std::size(kElements); ++i)
        if (kElements[i - 1].id >= kElements[i].id) return false;
    return true;
}
static_assert(ElementsSorted());

// Octet 3 of a calling or connected number (and of a cause, with its
// recommendation) is followed by octet 3a when its extension bit is 0.
constexpr bool HasOctet3a(std::uint8_t octet3) { return (octet3 & 0x80) == 0; }

// The row of a codeset-0 element of variable length, or null.
const ElementRow* FindElement(std::uint8_t id);

// The values of an element (none outside codeset 0 and for single-octet elements).
ElementValues ValuesOf(const Element& element);

}  // namespace decode
