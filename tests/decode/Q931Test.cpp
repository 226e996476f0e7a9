// The Q.931 header: protocol discriminator, call reference and message type,
// in I and UI frames, including headers cut short by the end of the frame.

#include <gtest/gtest.h>

#include "decode/Frame.h"
#include "tests/decode/Frames.h"

namespace decode {
namespace {

using test::Bytes;

struct HeaderCase {
    const char* what;
    Bytes layer3;
    const char* callRef;
    const char* message;
};

void ExpectHeader(const Bytes& frame, const HeaderCase& c) {
    const FrameSummary s = DecodeFrame(frame, 0);
    EXPECT_TRUE(s.HasLayer3());
    EXPECT_EQ(s.CallReference(), c.callRef);
    EXPECT_EQ(s.Message(), c.message);
}

const HeaderCase kHeaders[] = {
    {"SETUP, call reference 1", {0x08, 0x01, 0x01, 0x05}, "O00001", "SETUP"},
    {"CONNECT with the flag", {0x08, 0x01, 0x81, 0x07}, "D00001", "CONNECT"},
    {"dummy call reference", {0x08, 0x00, 0x7B}, "O00000", "INFORMATION"},
    {"two-octet call reference", {0x08, 0x02, 0x80, 0x05, 0x4D}, "D00005", "RELEASE"},
    {"flag with value 127", {0x08, 0x01, 0xFF, 0x5A}, "D00127", "RELEASE COMPLETE"},
    {"high bits of the length octet ignored", {0x08, 0xF1, 0x01, 0x02}, "O00001", "CALL PROCEEDING"},
    {"message type bit 7 ignored", {0x08, 0x01, 0x01, 0x85}, "O00001", "SETUP"},
    {"national message", {0x08, 0x01, 0x01, 0x00, 0x3A}, "O00001", "NATIONAL MSG 3A"},
    {"escape with bit 7", {0x08, 0x01, 0x01, 0x80, 0xC4}, "O00001", "NATIONAL MSG C4"},
    {"reserved type", {0x08, 0x01, 0x01, 0x63}, "O00001", "Reserved L3 msg 63"},
    {"status", {0x08, 0x01, 0x81, 0x7D}, "D00001", "STATUS"},
    {"four-octet value", {0x08, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, "D83647", "ALERTING"},
    // Longer than four octets: the last five digits of the true value.
    {"six-octet value", {0x08, 0x06, 0x81, 0x02, 0x03, 0x04, 0x05, 0x06, 0x05}, "D57446", "SETUP"},
    {"foreign protocol", {0x41, 0x01, 0x01, 0x05}, "", " ****UNKNOWN PROTOCOL (41H)\n"},
    {"foreign protocol alone", {0x00}, "", " ****UNKNOWN PROTOCOL (00H)\n"},
    // Cut short: a text whose octets are missing is empty.
    {"discriminator only", {0x08}, "", ""},
    {"call reference past the end", {0x08, 0x03, 0x01}, "", ""},
    {"fifteen-octet call reference past the end", {0x08, 0x0F, 0x01, 0x02, 0x03, 0x04, 0x05}, "", ""},
    {"no message type", {0x08, 0x01, 0x01}, "O00001", ""},
    {"national without its octet", {0x08, 0x01, 0x01, 0x00}, "O00001", ""},
};

TEST(Q931, HeaderInIFrame) {
    for (const HeaderCase& c : kHeaders) {
        SCOPED_TRACE(c.what);
        ExpectHeader(test::IFrame(c.layer3), c);
    }
}

TEST(Q931, HeaderInUiFrame) {
    for (const HeaderCase& c : kHeaders) {
        SCOPED_TRACE(c.what);
        ExpectHeader(test::UiFrame(c.layer3), c);
    }
}

TEST(Q931, ForeignProtocolMakesNoItems) {
    const Bytes frame = test::IFrame({0x41, 0x01, 0x01, 0x05, 0xA1, 0x04, 0x02, 0x88, 0x90});
    const FrameSummary s = DecodeFrame(frame, 0);
    EXPECT_EQ(s.ItemCount(), 0u);
    EXPECT_TRUE(s.Items(frame).empty());
}

}  // namespace
}  // namespace decode
