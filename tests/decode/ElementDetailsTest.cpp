// The element details: what each octet of the common elements means, field
// by field, and which octets each detail covers. One SETUP frame per case,
// the element at offset 8 (its first content octet at 10).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/ElementDetails.h"
#include "decode/InfoElements.h"

namespace {

// Each detail as "label@first+count".
std::vector<std::string> Describe(const std::vector<std::uint8_t>& element, std::size_t item = 0) {
    std::vector<std::uint8_t> frame = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05};
    frame.insert(frame.end(), element.begin(), element.end());
    const auto items = decode::DecodeInfoElements(frame, 4);
    if (item >= items.size()) return {"no such element"};
    std::vector<std::string> lines;
    for (const auto& d : decode::DescribeElement(items[item], frame))
        lines.push_back(d.label + "@" + std::to_string(d.firstOctet) + "+" + std::to_string(d.octetCount));
    return lines;
}

struct Case {
    const char* what;
    std::vector<std::uint8_t> element;
    std::vector<std::string> details;
    std::size_t item = 0;
};

TEST(ElementDetails, FieldByFieldWithTheirOctets) {
    const Case cases[] = {
        {"bearer capability, speech, A-law",
         {0x04, 0x03, 0x80, 0x90, 0xA3},
         {"Coding standard: ITU-T (0)@10+1", "Transfer capability: SPEECH (0)@10+1",
          "Transfer mode: circuit mode (0)@11+1", "Transfer rate: 64 kbit/s (16)@11+1",
          "Layer 1 protocol: G.711 A-law (3)@12+1"}},
        {"bearer capability, V.110 at 56 kbit/s, then layer 2 and 3",
         {0x04, 0x06, 0x88, 0x90, 0x21, 0x8F, 0xC2, 0xE2},
         {"Coding standard: ITU-T (0)@10+1", "Transfer capability: UNRESTRICTED DIGITAL (8)@10+1",
          "Transfer mode: circuit mode (0)@11+1", "Transfer rate: 64 kbit/s (16)@11+1",
          "Layer 1 protocol: rate adaption V.110, I.460 and X.30 (1)@12+1",
          "Synchronous/asynchronous: synchronous@13+1", "User rate: 56 kbit/s (15)@13+1",
          "Layer 2 protocol: Q.921 (I.441) (2)@14+1", "Layer 3 protocol: Q.931 (I.451) (2)@15+1"}},
        {"bearer capability, multirate with its multiplier, and 5b 5c in one group",
         {0x04, 0x07, 0x88, 0x18 | 0x80, 0x86, 0x21, 0x48, 0x01, 0x81},
         {"Coding standard: ITU-T (0)@10+1", "Transfer capability: UNRESTRICTED DIGITAL (8)@10+1",
          "Transfer mode: circuit mode (0)@11+1", "Transfer rate: multirate (64 kbit/s base rate) (24)@11+1",
          "Rate multiplier: 6 x 64 kbit/s@12+1", "Layer 1 protocol: rate adaption V.110, I.460 and X.30 (1)@13+1",
          "Synchronous/asynchronous: asynchronous@14+1", "User rate: 9.6 kbit/s (8)@14+1",
          "Layer 1 parameters: 01 81@15+2"}},
        {"bearer capability whose length claims more than the frame holds",
         {0x04, 0x05, 0x88},
         {"Coding standard: ITU-T (0)@10+1", "Transfer capability: UNRESTRICTED DIGITAL (8)@10+1"}},
        {"low layer compatibility with octet 3a",
         {0x7C, 0x03, 0x08, 0xC0, 0x90},
         {"Coding standard: ITU-T (0)@10+1", "Transfer capability: UNRESTRICTED DIGITAL (8)@10+1",
          "Negotiation: out-band negotiation possible@11+1", "Transfer mode: circuit mode (0)@12+1",
          "Transfer rate: 64 kbit/s (16)@12+1"}},
        {"channel identification, basic rate, exclusive B1",
         {0x18, 0x01, 0x89},
         {"Interface: the one the message arrived on@10+1", "Interface type: basic rate@10+1",
          "Preferred/exclusive: exclusive: only the channel indicated is acceptable@10+1",
          "D-channel indicator: not the D-channel@10+1", "Channel: B1 channel (1)@10+1"}},
        {"channel identification, preferred, any channel",
         {0x18, 0x01, 0x83},
         {"Interface: the one the message arrived on@10+1", "Interface type: basic rate@10+1",
          "Preferred/exclusive: preferred: another channel is acceptable@10+1",
          "D-channel indicator: not the D-channel@10+1", "Channel: any channel (3)@10+1"}},
        {"channel identification, primary rate, B-channel 1 by number",
         {0x18, 0x03, 0xA9, 0x83, 0x81},
         {"Interface: the one the message arrived on@10+1", "Interface type: other (primary rate)@10+1",
          "Preferred/exclusive: exclusive: only the channel indicated is acceptable@10+1",
          "D-channel indicator: not the D-channel@10+1", "Channel: as the following octets say (1)@10+1",
          "Coding standard: ITU-T (0)@11+1", "Channel indicated by: number@11+1",
          "Channel type: B-channel units (3)@11+1", "Channel number: 1@12+1"}},
        {"cause with recommendation and diagnostics",
         {0x08, 0x05, 0x00, 0x80, 0x91, 0xAA, 0xBB},
         {"Coding standard: ITU-T (0)@10+1", "Location: user (0)@10+1", "Recommendation: Q.931 (0)@11+1",
          "Cause class: normal event (1)@12+1", "Cause value: (17) USER BUSY@12+1", "Diagnostics: AA BB@13+2"}},
        {"cause from the public network, a value with no name",
         {0x08, 0x02, 0x82, 0xFE},
         {"Coding standard: ITU-T (0)@10+1", "Location: public network serving the local user (2)@10+1",
          "Cause class: interworking (7)@11+1", "Cause value: (126) UNDEFINED@11+1"}},
        {"calling party number with presentation and screening",
         {0x6C, 0x06, 0x21, 0x83, '5', '5', '5', '1'},
         {"Type of number: national number (2)@10+1", "Numbering plan: ISDN/telephony (E.164) (1)@10+1",
          "Presentation: presentation allowed (0)@11+1", "Screening: network provided (3)@11+1",
          "Digits: 5551@12+4"}},
        {"called party number",
         {0x70, 0x04, 0xC1, '1', '2', '3'},
         {"Type of number: subscriber number (4)@10+1", "Numbering plan: ISDN/telephony (E.164) (1)@10+1",
          "Digits: 123@11+3"}},
        {"progress indicator",
         {0x1E, 0x02, 0x82, 0x88},
         {"Coding standard: ITU-T (0)@10+1", "Location: public network serving the local user (2)@10+1",
          "Progress description: INFO/PATTERN NOW AVAILABLE (8)@11+1"}},
        {"signal, with an octet too many",
         {0x34, 0x02, 0x01, 0xFF},
         {"Signal: RING BACK TONE ON (1)@10+1", "Further octets: FF@11+1"}},
        {"date and time without seconds",
         {0x29, 0x05, 0x60, 0x0C, 0x1F, 0x17, 0x3B},
         {"Year: 96@10+1", "Month: 12@11+1", "Day: 31@12+1", "Hour: 23@13+1", "Minute: 59@14+1"}},
        {"display", {0x28, 0x05, 'H', 'e', 'l', 'l', 'o'}, {"Display text: Hello@10+5"}},
        {"keypad facility", {0x2C, 0x02, '1', '2'}, {"Keypad digits: 12@10+2"}},
        {"notification indicator", {0x27, 0x01, 0x81}, {"Notification: USER RESUMED (1)@10+1"}},
        {"high layer compatibility, telephony",
         {0x7D, 0x02, 0x91, 0x81},
         {"Coding standard: ITU-T (0)@10+1",
          "Interpretation: first (primary or only) characteristics to be used in the call (4)@10+1",
          "Presentation method: high layer protocol profile (1)@10+1",
          "High layer characteristics: telephony (1)@11+1"}},
        {"connected number, as a real CONNECT carries it",
         {0x4C, 0x0B, 0x21, 0x83, '2', '0', '5', '5', '5', '1', '2', '1', '2'},
         {"Type of number: national number (2)@10+1", "Numbering plan: ISDN/telephony (E.164) (1)@10+1",
          "Presentation: presentation allowed (0)@11+1", "Screening: network provided (3)@11+1",
          "Digits: 205551212@12+9"}},
        {"connected number without octet 3a",
         {0x4C, 0x03, 0xC1, '4', '2'},
         {"Type of number: subscriber number (4)@10+1", "Numbering plan: ISDN/telephony (E.164) (1)@10+1",
          "Digits: 42@11+2"}},
        {"connected subaddress of IA5 characters",
         {0x4D, 0x04, 0x80, 0x50, '1', '2'},
         {"Type of subaddress: NSAP (X.213/ISO 8348 AD2) (0)@10+1",
          "Odd/even indicator: even number of address signals@10+1",
          "Authority and format identifier: IA5 characters (80)@11+1", "Digits: 12@12+2"}},
        {"connected subaddress, user specified",
         {0x4D, 0x03, 0xA8, 0x12, 0x34},
         {"Type of subaddress: user specified (2)@10+1", "Odd/even indicator: odd number of address signals@10+1",
          "Subaddress information: 12 34@11+2"}},
        {"facility with one invoke component",
         {0x1C, 0x0B, 0x91, 0xA1, 0x08, 0x02, 0x01, 0x01, 0x02, 0x01, 0x22, 0x30, 0x00},
         {"Protocol profile: remote operations protocol (17)@10+1", "Component: invoke (tag A1), length 8@11+10",
          "Component part: tag 02, length 1: 01@13+3", "Component part: tag 02, length 1: 22@16+3",
          "Component part: tag 30, length 0@19+2"}},
        {"facility with a two-octet length and a component cut short",
         {0x1C, 0x09, 0x91, 0xA2, 0x81, 0x03, 0x02, 0x01, 0x05, 0xA3, 0x09},
         {"Protocol profile: remote operations protocol (17)@10+1",
          "Component: return result (tag A2), length 3@11+6", "Component part: tag 02, length 1: 05@14+3",
          "Component: return error (tag A3), length 9, cut short@17+2"}},
        {"facility whose component header is cut",
         {0x1C, 0x02, 0x91, 0xA1},
         {"Protocol profile: remote operations protocol (17)@10+1", "Further octets: A1@11+1"}},
        {"an element the details do not cover (call state)", {0x14, 0x01, 0x0A}, {}},
        {"an element without content", {0x04, 0x00}, {}},
        {"an element in codeset 6 after a non-locking shift", {0x9E, 0x04, 0x02, 0x88, 0x90}, {}, 1},
        {"a single-octet element", {0xA1}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Describe(c.element, c.item), c.details);
    }
}

// Whatever an element's octets say, every detail lies inside the element and
// the frame, and the details follow the octets in order.
TEST(ElementDetails, EveryDetailStaysInsideItsElement) {
    for (const std::uint8_t id : {0x04, 0x08, 0x18, 0x1C, 0x1E, 0x27, 0x28, 0x29, 0x2C, 0x34, 0x4C, 0x4D, 0x6C, 0x70,
                                  0x7C, 0x7D}) {
        for (unsigned length = 0; length <= 8; ++length) {
            for (unsigned fill : {0x00u, 0x7Fu, 0x80u, 0xFFu, 0x40u, 0x20u}) {
                std::vector<std::uint8_t> frame = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, id,
                                                   static_cast<std::uint8_t>(length)};
                // Fewer content octets than the length says, when the fill is odd.
                const unsigned present = (fill & 0x01) ? length / 2 : length;
                for (unsigned k = 0; k < present; ++k) frame.push_back(static_cast<std::uint8_t>(fill ^ (k * 0x11)));
                const auto items = decode::DecodeInfoElements(frame, 4);
                ASSERT_EQ(items.size(), 1u);
                std::uint32_t next = items[0].ContentOffset();
                for (const auto& d : decode::DescribeElement(items[0], frame)) {
                    SCOPED_TRACE(d.label);
                    EXPECT_GE(d.firstOctet, next);
                    EXPECT_GE(d.octetCount, 1u);
                    EXPECT_LE(d.firstOctet + d.octetCount, items[0].offset + items[0].size);
                    EXPECT_LE(d.firstOctet + d.octetCount, frame.size());
                    next = d.firstOctet;
                }
            }
        }
    }
}

}  // namespace
