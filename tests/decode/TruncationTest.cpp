// Frames whose length octets claim more than the frame (or the element)
// holds. No decoder reads past the frame's last octet, and none takes the
// octets of the next element for its own; the address sanitizer build checks
// the first, the expected texts the second.

#include <gtest/gtest.h>

#include "decode/Frame.h"
#include "tests/decode/Frames.h"
#include "tests/support/ItemTexts.h"

namespace decode {
namespace {

using test::Bytes;

struct TruncatedElement {
    const char* what;
    Bytes elements;
    std::vector<testsupport::ItemTexts> items;
};

TEST(Truncation, ElementsCutShort) {
    const TruncatedElement cases[] = {
        {"length runs past the frame: the characters present",
         {0x70, 0x09, 0x81, '1', '2'},
         {{"0008", "70", "09", "CALLED NUMBER  ", "12"}}},
        {"frame ends after the identifier", {0x70}, {{"0008", "70", "", "CALLED NUMBER  ", ""}}},
        {"frame ends after the length", {0x08, 0x02}, {{"0008", "08", "02", "CAUSE          ", ""}}},
        {"shifted element without its length", {0x9E, 0x04}, {{"0008", "9E", "01", "SHIFT          ", ""}, {"0009", "04", "", "", "UNKNOWN CODESET 6"}}},
        {"date/time with three octets at the end", {0x29, 0x03, 0x60, 0x0C, 0x1F}, {{"0008", "29", "03", "DATE/TIME      ", ""}}},
        {"date/time with five octets, length past the frame", {0x29, 0x06, 0x60, 0x0C, 0x1F, 0x17, 0x3B}, {{"0008", "29", "06", "DATE/TIME      ", ""}}},
        {"date/time never borrows the next element",
         {0x29, 0x03, 0x60, 0x0C, 0x1F, 0x28, 0x01, 'A'},
         {{"0008", "29", "03", "DATE/TIME      ", ""}, {"000D", "28", "01", "DISPLAY        ", "A"}}},
        {"bearer capability without its rate octet", {0x04, 0x01, 0x88}, {{"0008", "04", "01", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL"}}},
        {"bearer rate not taken from the next element",
         {0x04, 0x01, 0x88, 0x18, 0x01, 0x89},
         {{"0008", "04", "01", "BEARER CAPABIL ", "UNRESTRICTED DIGITAL"}, {"000B", "18", "01", "CHANNEL ID     ", "EXCLUSIVE, B1"}}},
        {"bearer capability of length 0", {0x04, 0x00}, {{"0008", "04", "00", "BEARER CAPABIL ", ""}}},
        {"cause without its value", {0x08, 0x01, 0x80}, {{"0008", "08", "01", "CAUSE          ", ""}}},
        {"cause with recommendation but no value", {0x08, 0x02, 0x00, 0x80}, {{"0008", "08", "02", "CAUSE          ", ""}}},
        {"call state of length 0", {0x14, 0x00}, {{"0008", "14", "00", "CALL STATE     ", ""}}},
        {"progress without its description", {0x1E, 0x01, 0x80}, {{"0008", "1E", "01", "PROGRESS INDICA", ""}}},
        {"notification of length 0", {0x27, 0x00}, {{"0008", "27", "00", "NOTIFICATION IN", ""}}},
        {"signal of length 0", {0x34, 0x00}, {{"0008", "34", "00", "SIGNAL         ", ""}}},
        {"channel id of length 0", {0x18, 0x00}, {{"0008", "18", "00", "CHANNEL ID     ", ""}}},
        {"channel id without octet 3.2", {0x18, 0x01, 0xA9}, {{"0008", "18", "01", "CHANNEL ID     ", "EXCLUSIVE"}}},
        {"channel id inside its interface identifier", {0x18, 0x02, 0xE9, 0x01}, {{"0008", "18", "02", "CHANNEL ID     ", "EXCLUSIVE"}}},
        {"calling number without octet 3a", {0x6C, 0x01, 0x01}, {{"0008", "6C", "01", "CALLING NUMBER ", ""}}},
        {"called number of length 1", {0x70, 0x01, 0x81, 0xA1}, {{"0008", "70", "01", "CALLED NUMBER  ", ""}, {"000B", "A1", "01", "SENDING COMPLET", ""}}},
        {"redirection without octet 3a", {0x74, 0x01, 0x00}, {{"0008", "74", "01", "REDIRECTING NUM", ""}}},
        {"redirection without octet 3b", {0x74, 0x02, 0x00, 0x00}, {{"0008", "74", "02", "REDIRECTING NUM", ""}}},
        {"display with length past the frame", {0x28, 0x20, 'H', 'i'}, {{"0008", "28", "20", "DISPLAY        ", "Hi"}}},
    };
    for (const TruncatedElement& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes frame = test::IFrame(test::Join({test::kSetupHeader, c.elements}));
        const FrameSummary s = DecodeFrame(frame, 0);
        EXPECT_EQ(testsupport::TextsOf(s.Items(frame)), c.items);
        EXPECT_EQ(s.ItemCount(), c.items.size());
    }
}

// Realistic frames of a call, cut at every length.
const Bytes kFrames[] = {
    test::IFrame({0x08, 0x01, 0x01, 0x05, 0xA1, 0x04, 0x02, 0x88, 0x90, 0x18, 0x01, 0x89, 0x6C, 0x05, 0x01, 0x80,
                  '4', '5', '6', 0x70, 0x04, 0x81, '1', '2', '3'}),
    test::IFrame({0x08, 0x01, 0x81, 0x07, 0x29, 0x06, 0x60, 0x0C, 0x1F, 0x17, 0x3B, 0x00, 0x28, 0x03, 'A', 'B', 'C'}),
    test::IFrame({0x08, 0x02, 0x80, 0x05, 0x45, 0x08, 0x03, 0x00, 0x80, 0x91, 0x1E, 0x02, 0x80, 0x88}),
    test::IFrame({0x08, 0x01, 0x01, 0x05, 0x9E, 0x04, 0x02, 0x88, 0x90, 0x95, 0x70, 0x02, 0x81, '1'}),
    test::IFrame({0x08, 0x01, 0x01, 0x00, 0x3A, 0x18, 0x05, 0xE9, 0x01, 0x81, 0x83, 0x82, 0x74, 0x04, 0x00, 0x00,
                  0x81, '1'}),
    test::UiFrame({0x08, 0x0F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0x05, 0xA1}),
    {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF},
    {0x00, 0x81, 0x01, 0x01},
};

struct Texts {
    std::string source, address, frameType, pollFinal, ns, nr, callRef, message;
    bool operator==(const Texts&) const = default;
};

Texts TextsOf(const FrameSummary& s) {
    return {s.Source(), s.Address(), s.FrameType(), s.PollFinal(), s.NS(), s.NR(), s.CallReference(), s.Message()};
}

TEST(Truncation, EveryPrefixDecodesWithinItsBounds) {
    for (const Bytes& full : kFrames) {
        const FrameSummary whole = DecodeFrame(full, 0x01);
        const std::vector<DecodeItem> wholeItems = whole.Items(full);
        for (std::size_t n = 0; n <= full.size(); ++n) {
            SCOPED_TRACE(n);
            // An exactly sized copy, so a read past n is a heap overflow.
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            const FrameSummary s = DecodeFrame(cut, 0x01);
            const Texts texts = TextsOf(s);
            const std::vector<DecodeItem> items = s.Items(cut);
            ASSERT_EQ(items.size(), s.ItemCount());
            for (std::uint32_t k = 0; k < items.size(); ++k) {
                EXPECT_LT(items[k].offset, n);
                EXPECT_LE(items[k].offset + items[k].size, n);
                EXPECT_EQ(s.Item(cut, k), items[k]);
                // Elements that lie wholly inside the cut decode as in the whole frame.
                EXPECT_EQ(items[k].offset, wholeItems[k].offset);
                EXPECT_EQ(items[k].id, wholeItems[k].id);
            }
            if (n >= 4) {
                // Layer 2 needs at most four octets.
                const Texts all = TextsOf(whole);
                EXPECT_EQ(texts.address, all.address);
                EXPECT_EQ(texts.frameType, all.frameType);
                EXPECT_EQ(texts.pollFinal, all.pollFinal);
                EXPECT_EQ(texts.ns, all.ns);
                EXPECT_EQ(texts.nr, all.nr);
            }
        }
        EXPECT_EQ(TextsOf(DecodeFrame(full, 0x01)), TextsOf(whole));
    }
}

}  // namespace
}  // namespace decode
