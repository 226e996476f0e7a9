// The element walk and the element decoders: every element sits behind the
// SETUP header of an I frame, so the first one starts at offset 0008.

#include <gtest/gtest.h>

#include <string>

#include "decode/Frame.h"
#include "decode/InfoElements.h"
#include "tests/decode/Frames.h"
#include "tests/support/ItemTexts.h"

namespace decode {
namespace {

using test::Bytes;

using testsupport::ItemTexts;

struct ElementCase {
    const char* what;
    Bytes elements;
    std::vector<ItemTexts> items;
};

std::vector<ItemTexts> ItemsOf(const Bytes& frame) {
    const FrameSummary s = DecodeFrame(frame, 0);
    std::vector<DecodeItem> items = s.Items(frame);
    EXPECT_EQ(items.size(), s.ItemCount());
    for (std::uint32_t k = 0; k < items.size(); ++k) EXPECT_EQ(s.Item(frame, k), items[k]);
    EXPECT_EQ(s.Item(frame, static_cast<std::uint32_t>(items.size())), std::nullopt);
    for (const DecodeItem& item : items) EXPECT_LE(item.offset + item.size, frame.size());
    return testsupport::TextsOf(items);
}

void RunCases(std::initializer_list<ElementCase> cases) {
    for (const ElementCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ItemsOf(test::IFrame(test::Join({test::kSetupHeader, c.elements}))), c.items);
    }
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(InfoElements, Walk) {
    RunCases({
        {"no elements", {}, {}},
        {"sending complete",
         {0xA1},
         {{"0008", "A1", "01", "SENDING COMPLET", ""}}},
        {"single-octet names",
         {0xA0, 0xAF, 0xD1, 0x85, 0xC0, 0xE7, 0xFF},
         {{"0008", "A0", "01", "MORE DATA      ", ""},
          {"0009", "AF", "01", "SENDING COMPLET", ""},
          {"000A", "D1", "01", "REPEAT INDICATO", ""},
          {"000B", "85", "01", "RESERVED       ", ""},
          {"000C", "C0", "01", "RESERVED       ", ""},
          {"000D", "E7", "01", "RESERVED       ", ""},
          {"000E", "FF", "01", "RESERVED       ", ""}}},
        {"congestion levels",
         {0xB0, 0xBF, 0xB3},
         {{"0008", "B0", "01", "CONGESTION LVL ", "RECEIVER READY"},
          {"0009", "BF", "01", "CONGESTION LVL ", "RECEIVER NOT READY"},
          {"000A", "B3", "01", "CONGESTION LVL ", "UNDEFINED [03]"}}},
        {"names without mnemonic; a long name is not cut",
         {0x20, 0x01, 0x00, 0x10, 0x01, 0x00, 0x7E, 0x02, 0x04, 0x41, 0x00, 0x00},
         {{"0008", "20", "01", "NETWORK SPECIFIC", ""},
          {"000B", "10", "01", "CALL IDENTITY  ", ""},
          {"000E", "7E", "02", "USER-USER      ", ""},
          {"0012", "00", "00", "SEGMENTED MESSA", ""}}},
        {"identifier outside the table",
         {0x50, 0x01, 0x00, 0x3F, 0x00},
         {{"0008", "50", "01", "UNDEFINED [50] ", ""}, {"000B", "3F", "00", "UNDEFINED [3F] ", ""}}},
    });
}

TEST(InfoElements, Shifts) {
    RunCases({
        {"non-locking shift affects the next element only",
         {0x9E, 0x04, 0x02, 0x88, 0x90, 0x04, 0x02, 0x88, 0x90},
         {{"0008", "9E", "01", "SHIFT          ", ""},
          {"0009", "04", "02", "", "UNKNOWN CODESET 6"},
          {"000D", "04", "02", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL 64K"}}},
        {"non-locking shift before a single-octet element",
         {0x9F, 0xA1, 0xA1},
         {{"0008", "9F", "01", "SHIFT          ", ""},
          {"0009", "A1", "01", "", "UNKNOWN CODESET 7"},
          {"000A", "A1", "01", "SENDING COMPLET", ""}}},
        {"locking shift: every later element, shifts too",
         {0x95, 0x04, 0x01, 0x00, 0x90, 0xA1, 0x9E, 0x08, 0x02, 0x80, 0x90},
         {{"0008", "95", "01", "SHIFT          ", ""},
          {"0009", "04", "01", "", "UNKNOWN CODESET 5"},
          {"000C", "90", "01", "", "UNKNOWN CODESET 5"},
          {"000D", "A1", "01", "", "UNKNOWN CODESET 5"},
          {"000E", "9E", "01", "", "UNKNOWN CODESET 5"},
          {"000F", "08", "02", "", "UNKNOWN CODESET 5"}}},
        {"locking shift to codeset 0 changes nothing",
         {0x90, 0x08, 0x02, 0x80, 0x90},
         {{"0008", "90", "01", "SHIFT          ", ""}, {"0009", "08", "02", "CAUSE          ", "(16) NORMAL CALL CLEARING"}}},
        {"non-locking shift to codeset 0",
         {0x98, 0xA1},
         {{"0008", "98", "01", "SHIFT          ", ""}, {"0009", "A1", "01", "SENDING COMPLET", ""}}},
        {"shift as the last octet",
         {0x9E},
         {{"0008", "9E", "01", "SHIFT          ", ""}}},
    });
}

TEST(InfoElements, BearerCapability) {
    RunCases({
        {"64K data", {0x04, 0x02, 0x88, 0x90}, {{"0008", "04", "02", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL 64K"}}},
        {"speech has no rate", {0x04, 0x03, 0x80, 0x90, 0xA3}, {{"0008", "04", "03", "BEARER CAPABIL ", "SPEECH"}}},
        {"audio has no rate", {0x04, 0x03, 0x90, 0x90, 0xA3}, {{"0008", "04", "03", "BEARER CAPABIL ", "3.1KHZ AUDIO"}}},
        {"restricted 2x64K", {0x04, 0x02, 0x89, 0x91}, {{"0008", "04", "02", "BEARER CAPABIL ", "RESTRICTED DIGITAL 2x64K"}}},
        {"tones 384K", {0x04, 0x02, 0x91, 0x93}, {{"0008", "04", "02", "BEARER CAPABIL ", "UNRESTR DIGITAL W/TONES 384K"}}},
        {"video packet", {0x04, 0x02, 0x98, 0xC0}, {{"0008", "04", "02", "BEARER CAPABIL ", "VIDEO PACKET"}}},
        {"multirate", {0x04, 0x02, 0x88, 0x98}, {{"0008", "04", "02", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL MULTIRATE"}}},
        {"unknown rate shows nothing", {0x04, 0x02, 0x88, 0x99}, {{"0008", "04", "02", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL"}}},
        {"undefined capability", {0x04, 0x02, 0x8A, 0x90}, {{"0008", "04", "02", "BEARER CAPABIL ", "UNDEFINED [0A]"}}},
        {"coding standard 1", {0x04, 0x02, 0xA8, 0x90}, {{"0008", "04", "02", "BEARER CAPABIL ", "Unknown coding standard [1]"}}},
        {"coding standard 3", {0x04, 0x02, 0xE0, 0x90}, {{"0008", "04", "02", "BEARER CAPABIL ", "Unknown coding standard [3]"}}},
    });
}

TEST(InfoElements, CauseAndStates) {
    RunCases({
        {"cause", {0x08, 0x02, 0x80, 0x90}, {{"0008", "08", "02", "CAUSE          ", "(16) NORMAL CALL CLEARING"}}},
        {"cause after the recommendation", {0x08, 0x03, 0x00, 0x80, 0x91}, {{"0008", "08", "03", "CAUSE          ", "(17) USER BUSY"}}},
        {"cause 0", {0x08, 0x02, 0x80, 0x80}, {{"0008", "08", "02", "CAUSE          ", "(0) UNDEFINED"}}},
        {"cause 127", {0x08, 0x02, 0x80, 0xFF}, {{"0008", "08", "02", "CAUSE          ", "(127) INTERNETWORKING"}}},
        {"cause without a name", {0x08, 0x02, 0x80, 0xA0}, {{"0008", "08", "02", "CAUSE          ", "(32) UNDEFINED"}}},
        {"call state", {0x14, 0x01, 0x0A}, {{"0008", "14", "01", "CALL STATE     ", "ACTIVE"}}},
        {"call state ignores the coding standard", {0x14, 0x01, 0xD9}, {{"0008", "14", "01", "CALL STATE     ", "OVERLAP RECEIVING"}}},
        {"undefined call state", {0x14, 0x01, 0x05}, {{"0008", "14", "01", "CALL STATE     ", "UNDEFINED [05]"}}},
        {"progress", {0x1E, 0x02, 0x80, 0x88}, {{"0008", "1E", "02", "PROGRESS INDICA", "INFO/PATTERN NOW AVAILABLE"}}},
        {"progress 5", {0x1E, 0x02, 0x80, 0x85}, {{"0008", "1E", "02", "PROGRESS INDICA", "INTERNETWORKING SERVICE CHARGE"}}},
        {"undefined progress", {0x1E, 0x02, 0x80, 0x86}, {{"0008", "1E", "02", "PROGRESS INDICA", "UNDEFINED [06]"}}},
        {"notification", {0x27, 0x01, 0x81}, {{"0008", "27", "01", "NOTIFICATION IN", "USER RESUMED"}}},
        {"undefined notification", {0x27, 0x01, 0x85}, {{"0008", "27", "01", "NOTIFICATION IN", "UNDEFINED [05]"}}},
        {"signal", {0x34, 0x01, 0x3F}, {{"0008", "34", "01", "SIGNAL         ", "TONES OFF"}}},
        {"signal pattern", {0x34, 0x01, 0x47}, {{"0008", "34", "01", "SIGNAL         ", "ALERTING ON PATTERN 7"}}},
        {"signal uses all eight bits", {0x34, 0x01, 0x81}, {{"0008", "34", "01", "SIGNAL         ", "UNDEFINED [81]"}}},
        {"date and time", {0x29, 0x06, 0x60, 0x0C, 0x1F, 0x17, 0x3B, 0x00}, {{"0008", "29", "06", "DATE/TIME      ", "  96:12:31:23:59:00"}}},
    });
}

TEST(InfoElements, ChannelIdentification) {
    RunCases({
        {"exclusive B1", {0x18, 0x01, 0x89}, {{"0008", "18", "01", "CHANNEL ID     ", "EXCLUSIVE, B1"}}},
        {"preferred B1", {0x18, 0x01, 0x81}, {{"0008", "18", "01", "CHANNEL ID     ", "PREFERRED, B1"}}},
        {"preferred B2", {0x18, 0x01, 0x82}, {{"0008", "18", "01", "CHANNEL ID     ", "PREFERRED, B2"}}},
        {"any", {0x18, 0x01, 0x83}, {{"0008", "18", "01", "CHANNEL ID     ", "PREFERRED, ANY"}}},
        {"no B channel", {0x18, 0x01, 0x80}, {{"0008", "18", "01", "CHANNEL ID     ", "PREFERRED, NO B CHANNEL"}}},
        {"D channel", {0x18, 0x01, 0x8C}, {{"0008", "18", "01", "CHANNEL ID     ", "EXCLUSIVE, D CHANNEL"}}},
        {"other interface, B-1", {0x18, 0x03, 0xA9, 0x83, 0x81}, {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, B-1"}}},
        {"interface identifier skipped",
         {0x18, 0x05, 0xE9, 0x01, 0x81, 0x83, 0x82},
         {{"0008", "18", "05", "CHANNEL ID     ", "EXCLUSIVE, B-2"}}},
        {"not CCITT", {0x18, 0x03, 0xA9, 0xA3, 0x81}, {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, (not CCITT)"}}},
        {"unknown channel type", {0x18, 0x03, 0xA1, 0x84, 0x81}, {{"0008", "18", "03", "CHANNEL ID     ", "PREFERRED"}}},
        {"slot map", {0x18, 0x03, 0xA9, 0x93, 0xFF}, {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, B-"}}},
        {"H0", {0x18, 0x03, 0xA9, 0x86, 0x82}, {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, H0-2"}}},
        {"H11 and H12", {0x18, 0x03, 0xA9, 0x88, 0x81, 0x18, 0x03, 0xA9, 0x89, 0x81},
         {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, H11-1"},
          {"000D", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, H12-1"}}},
        {"several channels", {0x18, 0x05, 0xA9, 0x83, 0x01, 0x02, 0x83}, {{"0008", "18", "05", "CHANNEL ID     ", "EXCLUSIVE, B-1, 2, 3"}}},
        {"list stops beyond 40 characters",
         {0x18, 0x0B, 0xA9, 0x83, 10, 11, 12, 13, 14, 15, 16, 17, 0x92},
         {{"0008", "18", "0B", "CHANNEL ID     ", "EXCLUSIVE, B-10, 11, 12, 13, 14, 15, 16, ..."}}},
        {"cut at 45 characters",
         {0x18, 0x0D, 0xA9, 0x83, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0xFF},
         {{"0008", "18", "0D", "CHANNEL ID     ", "EXCLUSIVE, B-1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 12"}}},
        {"list without its last octet", {0x18, 0x03, 0xA9, 0x83, 0x01}, {{"0008", "18", "03", "CHANNEL ID     ", "EXCLUSIVE, B-1, ..."}}},
    });
}

TEST(InfoElements, TextsAndNumbers) {
    const Bytes long50 = Text(std::string(50, 'x'));
    RunCases({
        {"display", test::Join({{0x28, 0x05}, Text("Hello")}), {{"0008", "28", "05", "DISPLAY        ", "Hello"}}},
        {"display of 50 shows 45", test::Join({{0x28, 50}, long50}), {{"0008", "28", "32", "DISPLAY        ", std::string(45, 'x')}}},
        {"display ends at NUL", {0x28, 0x04, 'A', 'B', 0x00, 'C'}, {{"0008", "28", "04", "DISPLAY        ", "AB"}}},
        {"keypad", {0x2C, 0x02, '1', '2'}, {{"0008", "2C", "02", "KEYPAD FACILITY", "12"}}},
        {"called number", {0x70, 0x04, 0x81, '1', '2', '3'}, {{"0008", "70", "04", "CALLED NUMBER  ", "123"}}},
        {"called subaddress", {0x71, 0x03, 0x80, '5', '0'}, {{"0008", "71", "03", "CALLED SUBADDR ", "50"}}},
        {"calling subaddress", {0x6D, 0x02, 0x80, '7'}, {{"0008", "6D", "02", "CALLING SUBADDR", "7"}}},
        {"calling number", {0x6C, 0x04, 0x81, '1', '2', '3'}, {{"0008", "6C", "04", "CALLING NUMBER ", "123"}}},
        {"calling number with octet 3a", {0x6C, 0x05, 0x01, 0x80, '4', '5', '6'}, {{"0008", "6C", "05", "CALLING NUMBER ", "456"}}},
        {"number of length 0", {0x70, 0x00, 0xA1}, {{"0008", "70", "00", "CALLED NUMBER  ", ""}, {"000A", "A1", "01", "SENDING COMPLET", ""}}},
        {"redirection reason", {0x74, 0x04, 0x00, 0x00, 0x81, '1'}, {{"0008", "74", "04", "REDIRECTING NUM", "BUSY"}}},
        {"redirected", {0x74, 0x04, 0x00, 0x00, 0x8F, '1'}, {{"0008", "74", "04", "REDIRECTING NUM", "REDIRECTED"}}},
        {"undefined reason", {0x74, 0x04, 0x00, 0x00, 0x83, '1'}, {{"0008", "74", "04", "REDIRECTING NUM", "UNDEFINED [03]"}}},
        {"no octet 3a", {0x74, 0x03, 0x80, '1', '2'}, {{"0008", "74", "03", "REDIRECTING NUM", "UNKNOWN"}}},
        {"no octet 3b", {0x74, 0x04, 0x00, 0x80, '1', '2'}, {{"0008", "74", "04", "REDIRECTING NUM", "UNKNOWN"}}},
    });
}

TEST(InfoElements, NationalTypeSkipsOneOctet) {
    // Type 0x00: the octet after it is the national type, not an element.
    const Bytes escape = test::IFrame({0x08, 0x01, 0x01, 0x00, 0x3A, 0xA1});
    EXPECT_EQ(ItemsOf(escape), (std::vector<ItemTexts>{{"0009", "A1", "01", "SENDING COMPLET", ""}}));
    // Type 0x80 is named as national too, but the walk compares the whole
    // octet, so the octet after it is read as an element.
    const Bytes high = test::IFrame({0x08, 0x01, 0x01, 0x80, 0x3A, 0x00, 0xA1});
    EXPECT_EQ(ItemsOf(high), (std::vector<ItemTexts>{{"0008", "3A", "00", "UNDEFINED [3A] ", ""},
                                                      {"000A", "A1", "01", "SENDING COMPLET", ""}}));
}

TEST(InfoElements, UiFrameAndLongCallReference) {
    // A UI frame has a 3-octet layer-2 header; a 2-octet call reference
    // moves the first element one octet on.
    const Bytes frame = test::UiFrame({0x08, 0x02, 0x00, 0x01, 0x05, 0xA1});
    EXPECT_EQ(ItemsOf(frame), (std::vector<ItemTexts>{{"0008", "A1", "01", "SENDING COMPLET", ""}}));
}

}  // namespace
}  // namespace decode
