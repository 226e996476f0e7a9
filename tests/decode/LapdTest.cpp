// Layer 2 of the frame decoder: source, address, frame type, P/F, sequence
// numbers, TEI management and which frames carry layer 3.

#include <gtest/gtest.h>

#include "decode/Frame.h"
#include "tests/decode/Frames.h"

namespace decode {
namespace {

using test::Bytes;

struct Layer2Case {
    const char* what;
    Bytes frame;
    std::uint8_t flags;  // octet 17 of the raw record
    const char* source;
    const char* address;
    const char* frameType;
    const char* pollFinal;
    const char* ns;
    const char* nr;
    bool layer3;
};

TEST(Lapd, Layer2Fields) {
    const Layer2Case cases[] = {
        {"I frame from the user side", {0x00, 0x81, 0x0A, 0x07}, 0x00, "TE", "00-064-C", "I", "1", "005", "003", true},
        {"same octets from the network", {0x00, 0x81, 0x0A, 0x07}, 0x01, "NT", "00-064-R", "I", "1", "005", "003", true},
        {"flag bit 2 alone is network", {0x00, 0x81, 0x0A, 0x07}, 0x04, "NT", "00-064-R", "I", "1", "005", "003", true},
        {"both flag bits cancel", {0x02, 0x81, 0x0A, 0x07}, 0x05, "TE", "00-064-R", "I", "1", "005", "003", true},
        {"other flag bits ignored", {0x02, 0x81, 0x0A, 0x07}, 0xFA, "TE", "00-064-R", "I", "1", "005", "003", true},
        {"N(S) and N(R) modulo 128", {0x00, 0x81, 0xFE, 0xFE}, 0x00, "TE", "00-064-C", "I", "0", "127", "127", true},
        {"RR", {0x00, 0x81, 0x01, 0x01}, 0x00, "TE", "00-064-C", "RR", "1", "", "000", false},
        {"RNR", {0x00, 0x81, 0x05, 0x10}, 0x00, "TE", "00-064-C", "RNR", "0", "", "008", false},
        {"REJ", {0x00, 0x81, 0x09, 0x11}, 0x00, "TE", "00-064-C", "REJ", "1", "", "008", false},
        {"S function 3 has no name", {0x00, 0x81, 0x0D, 0x00}, 0x00, "TE", "00-064-C", "", "0", "", "000", false},
        {"SABME with P", {0x00, 0x81, 0x7F}, 0x00, "TE", "00-064-C", "SABE", "1", "", "", false},
        {"UA with F", {0x00, 0x81, 0x73}, 0x01, "NT", "00-064-R", "UA", "1", "", "", false},
        {"DM", {0x00, 0x81, 0x0F}, 0x00, "TE", "00-064-C", "DM", "0", "", "", false},
        {"DISC", {0x00, 0x81, 0x43}, 0x00, "TE", "00-064-C", "DISC", "0", "", "", false},
        {"FRMR", {0x00, 0x81, 0x87}, 0x00, "TE", "00-064-C", "FRMR", "0", "", "", false},
        {"XID", {0x00, 0x81, 0xAF}, 0x00, "TE", "00-064-C", "XID", "0", "", "", false},
        {"unknown U modifier", {0x00, 0x81, 0x27}, 0x00, "TE", "00-064-C", "", "0", "", "", false},
        {"highest SAPI and TEI", {0xFE, 0xFF, 0x0F}, 0x00, "TE", "63-127-R", "DM", "0", "", "", false},
        {"broadcast UI on SAPI 0", {0x00, 0xFF, 0x03, 0x08, 0x01, 0x01, 0x05}, 0x01, "NT", "00-127-R", "UI", "0", "", "", true},
        {"UI with P", {0x00, 0xFF, 0x13, 0x08, 0x00, 0x7B}, 0x00, "TE", "00-127-C", "UI", "1", "", "", true},
        {"UI on SAPI 63 that is not TEI management", {0xFC, 0xFF, 0x03, 0x08, 0x00, 0x7B}, 0x00, "TE", "63-127-C", "UI", "0", "", "", true},
    };
    for (const Layer2Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FrameSummary s = DecodeFrame(c.frame, c.flags);
        EXPECT_EQ(s.Source(), c.source);
        EXPECT_EQ(s.Address(), c.address);
        EXPECT_EQ(s.FrameType(), c.frameType);
        EXPECT_EQ(s.PollFinal(), c.pollFinal);
        EXPECT_EQ(s.NS(), c.ns);
        EXPECT_EQ(s.NR(), c.nr);
        EXPECT_EQ(s.HasLayer3(), c.layer3);
        if (!c.layer3) {
            EXPECT_EQ(s.CallReference(), "");
            EXPECT_EQ(s.Message(), "");
            EXPECT_EQ(s.ItemCount(), 0u);
        }
    }
}

struct TeiCase {
    const char* what;
    Bytes frame;
    const char* message;
};

TEST(Lapd, TeiManagement) {
    const TeiCase cases[] = {
        {"identity request", {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}, "ID_REQ R:04660 A:127"},
        {"identity assigned", {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x67, 0x02, 0x83}, "ID_ASN R:04711 A:065"},
        {"denied", {0xFC, 0xFF, 0x03, 0x0F, 0x00, 0x00, 0x03, 0x00}, "ID_DEN R:00000 A:000"},
        {"check request", {0xFC, 0xFF, 0x03, 0x0F, 0xFF, 0xFF, 0x04, 0x81}, "ID_CRQ R:65535 A:064"},
        {"check response", {0xFC, 0xFF, 0x03, 0x0F, 0x00, 0x01, 0x05, 0x81}, "ID_CRS R:00001 A:064"},
        {"remove, UI with P", {0xFC, 0xFF, 0x13, 0x0F, 0x00, 0x01, 0x06, 0x81}, "ID_REM R:00001 A:064"},
        {"verify, with trailing octets", {0xFC, 0xFF, 0x03, 0x0F, 0x00, 0x01, 0x07, 0x81, 0x55}, "ID_VER R:00001 A:064"},
        {"message type 9", {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x09, 0xFF}, ""},
        {"message type 0", {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x00, 0xFF}, ""},
        {"shorter than 8 octets", {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01}, ""},
        {"only the entity identifier", {0xFC, 0xFF, 0x03, 0x0F}, ""},
    };
    for (const TeiCase& c : cases) {
        SCOPED_TRACE(c.what);
        const FrameSummary s = DecodeFrame(c.frame, 0x01);
        EXPECT_EQ(s.Message(), c.message);
        EXPECT_EQ(s.FrameType(), "UI");
        EXPECT_FALSE(s.HasLayer3());
        EXPECT_EQ(s.CallReference(), "");
        EXPECT_EQ(s.ItemCount(), 0u);
    }
}

// The decoder never rejects a frame: whatever the length, the texts it can
// make from the octets present are there and the others are empty.
TEST(Lapd, ShortFrames) {
    const Layer2Case cases[] = {
        {"empty frame", {}, 0x01, "NT", "", "", "", "", "", false},
        {"one octet", {0x00}, 0x00, "TE", "", "", "", "", "", false},
        {"address only", {0x00, 0x81}, 0x00, "TE", "00-064-C", "", "", "", "", false},
        {"I frame without octet 3", {0x00, 0x81, 0x0A}, 0x00, "TE", "00-064-C", "I", "", "005", "", true},
        {"RR without octet 3", {0x00, 0x81, 0x01}, 0x00, "TE", "00-064-C", "RR", "", "", "", false},
        {"UI without layer 3", {0x00, 0xFF, 0x03}, 0x00, "TE", "00-127-C", "UI", "0", "", "", true},
        {"I frame without layer 3", {0x00, 0x81, 0x0A, 0x07}, 0x00, "TE", "00-064-C", "I", "1", "005", "003", true},
    };
    for (const Layer2Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FrameSummary s = DecodeFrame(c.frame, c.flags);
        EXPECT_EQ(s.Source(), c.source);
        EXPECT_EQ(s.Address(), c.address);
        EXPECT_EQ(s.FrameType(), c.frameType);
        EXPECT_EQ(s.PollFinal(), c.pollFinal);
        EXPECT_EQ(s.NS(), c.ns);
        EXPECT_EQ(s.NR(), c.nr);
        EXPECT_EQ(s.HasLayer3(), c.layer3);
        EXPECT_EQ(s.CallReference(), "");
        EXPECT_EQ(s.Message(), "");
        EXPECT_EQ(s.ItemCount(), 0u);
        EXPECT_TRUE(s.Items(c.frame).empty());
    }
}

TEST(Lapd, MaskWithoutElementBitMakesNoItems) {
    const Bytes frame = test::IFrame(test::Join({test::kSetupHeader, {0xA1}}));
    EXPECT_EQ(DecodeFrame(frame, 0, kDecodeMask).ItemCount(), 1u);
    const FrameSummary s = DecodeFrame(frame, 0, kDecodeMask & ~kDecodeInfoElements);
    EXPECT_EQ(s.ItemCount(), 0u);
    EXPECT_TRUE(s.Items(frame).empty());
    EXPECT_EQ(s.Message(), "SETUP");
}

}  // namespace
}  // namespace decode
