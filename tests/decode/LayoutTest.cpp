// Where the decoded parts of a frame lie: the octet ranges a view marks for
// the address, control, layer 3, call reference and message type, in whole
// frames and in frames cut short at every part.

#include <gtest/gtest.h>

#include "decode/Frame.h"
#include "decode/ProtocolNames.h"
#include "tests/decode/Frames.h"

namespace decode {
namespace {

using test::Bytes;

struct LayoutCase {
    const char* what;
    Bytes frame;
    FrameLayout layout;
};

const LayoutCase kLayouts[] = {
    {"I frame with SETUP", test::IFrame(test::kSetupHeader), {{0, 2}, {2, 2}, {4, 4}, {5, 2}, {7, 1}}},
    {"UI frame with SETUP", test::UiFrame(test::kSetupHeader), {{0, 2}, {2, 1}, {3, 4}, {4, 2}, {6, 1}}},
    {"two-octet call reference", test::IFrame({0x08, 0x02, 0x80, 0x05, 0x4D}),
     {{0, 2}, {2, 2}, {4, 5}, {5, 3}, {8, 1}}},
    {"nationally specific type and its octet", test::IFrame({0x08, 0x01, 0x01, 0x00, 0x3A}),
     {{0, 2}, {2, 2}, {4, 5}, {5, 2}, {7, 2}}},
    {"escape with bit 7 takes the octet behind it", test::IFrame({0x08, 0x01, 0x01, 0x80, 0xC4}),
     {{0, 2}, {2, 2}, {4, 5}, {5, 2}, {7, 2}}},
    {"national type at the frame's end", test::IFrame({0x08, 0x01, 0x01, 0x00}),
     {{0, 2}, {2, 2}, {4, 4}, {5, 2}, {7, 1}}},
    {"call reference cut by the frame's end", test::IFrame({0x08, 0x03, 0x01}),
     {{0, 2}, {2, 2}, {4, 3}, {5, 2}, {}}},
    {"no message type", test::IFrame({0x08, 0x01, 0x01}), {{0, 2}, {2, 2}, {4, 3}, {5, 2}, {}}},
    {"discriminator alone", test::IFrame({0x08}), {{0, 2}, {2, 2}, {4, 1}, {}, {}}},
    {"another protocol", test::IFrame({0x41, 0x01, 0x01, 0x05}), {{0, 2}, {2, 2}, {4, 4}, {}, {}}},
    {"I frame without layer 3", test::IFrame({}), {{0, 2}, {2, 2}, {}, {}, {}}},
    {"TEI management", {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, TeiMessage("REQ"), 0xFF},
     {{0, 2}, {2, 1}, {3, 5}, {}, {4, 4}}},
    {"TEI management cut short", {0xFC, 0xFF, 0x03, 0x0F, 0x12}, {{0, 2}, {2, 1}, {3, 2}, {}, {4, 1}}},
    {"supervisory frame", {0x00, 0x81, 0x01, 0x03}, {{0, 2}, {2, 2}, {}, {}, {}}},
    {"SABME", {0x00, 0x81, 0x7F}, {{0, 2}, {2, 1}, {}, {}, {}}},
    {"address only", {0x00, 0x81}, {{0, 2}, {}, {}, {}, {}}},
    {"one octet", {0x00}, {{0, 1}, {}, {}, {}, {}}},
    {"empty", {}, {}},
};

TEST(FrameLayout, PartsLieWhereTheDecoderReadsThem) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.what);
        const FrameLayout got = LayoutOf(c.frame);
        EXPECT_EQ(got.address, c.layout.address);
        EXPECT_EQ(got.control, c.layout.control);
        EXPECT_EQ(got.layer3, c.layout.layer3);
        EXPECT_EQ(got.callReference, c.layout.callReference);
        EXPECT_EQ(got.messageType, c.layout.messageType);
    }
}

// The names the message builders use find the values the decoder names.
TEST(ProtocolNames, ValuesByNameAreTheDecodersRows) {
    static_assert(MessageType("SETUP") == 0x05);
    static_assert(MessageType("RELEASE COMPLETE") == 0x5A);
    static_assert(ElementId("CAUSE") == 0x08);
    static_assert(ElementId("CALLED NUMBER") == 0x70);
    static_assert(TeiMessage("REM") == 6);
    for (const Name& row : kMessageTypes) EXPECT_EQ(MessageTypeName(row.value), row.text);
}

}  // namespace
}  // namespace decode
