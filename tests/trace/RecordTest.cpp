// Record kinds, the hex dump, the ASCII rendering and the out-of-range
// answers of the record list.

#include <gtest/gtest.h>

#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordSpec;

TEST(HexDump, SeventeenBytesMakeTwoFullWidthLines) {
    Bytes data(17);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0x30 + i);
    data[16] = 0x3F;
    const std::string dump = trace::FormatHexDump(data);
    ASSERT_EQ(dump.size(), 150u);
    EXPECT_EQ(dump.substr(0, 75),
              "0x0000  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?\r\n");
    EXPECT_EQ(dump.substr(75), "0x0010  3F " + std::string(46, ' ') + "?" + std::string(15, ' ') + "\r\n");
}

TEST(HexDump, NonPrintableBytesShowAsFullStops) {
    const std::string dump = trace::FormatHexDump(Bytes{0x09, 0x7F, 0x80, 0xFF, 0x20});
    EXPECT_EQ(dump.substr(57, 16), "....            ");
    EXPECT_TRUE(trace::FormatHexDump({}).empty());
}

struct AsciiCase {
    const char* name;
    std::string data;
    std::string text;
    std::size_t dataLength;
};

void PrintTo(const AsciiCase& c, std::ostream* os) { *os << c.name; }

class AsciiRendering : public ::testing::TestWithParam<AsciiCase> {};

TEST_P(AsciiRendering, RendersAsTheListShowsIt) {
    const AsciiCase& c = GetParam();
    RecordSpec s;
    s.type = 1;
    s.data.assign(c.data.begin(), c.data.end());
    trace::CTraceLog log;
    ASSERT_EQ(log.AddRawRecord(MakeRecord(s)), 0);
    EXPECT_EQ(log.GetMessage(0), c.text);
    EXPECT_EQ(log.GetRecord(0)->GetData().size(), c.dataLength);
    EXPECT_EQ(log.GetMnemonic(0), "ASC");
}

const AsciiCase kAsciiCases[] = {
    {"TabAfterFiveLettersIsOneBlank", std::string("abcde\tfghij\x01", 12) + '\0', "abcde fghij.\n", 12},
    {"SixtyLetters", std::string(60, 'x'), std::string(54, 'x') + "\n" + std::string(6, 'x') + "\n", 60},
    {"TwoHundredLetters", std::string(200, 'y'), std::string(54, 'y') + "\n" + std::string(25, 'y') + "\n", 200},
    {"ExactlyOneLine", std::string(54, 'z'), std::string(54, 'z') + "\n", 54},
    {"NoData", "", "", 0},
    {"OnlyTheTerminator", std::string(1, '\0'), "", 0},
    {"TabAtAMultipleOfEightGivesEightBlanks", std::string(6, 'a') + "\tb", "aaaaaa" + std::string(8, ' ') + "b\n", 8},
};

INSTANTIATE_TEST_SUITE_P(Cases, AsciiRendering, ::testing::ValuesIn(kAsciiCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TraceLog, HexRecordShowsOnlyNumbersAndIndexesOutOfRangeAnswerNeutrally) {
    RecordSpec s;
    s.type = 2;
    s.data = {1, 2, 3};
    trace::CTraceLog log;
    for (int i = 0; i < 5; ++i) log.AddRawRecord(MakeRecord(s));
    EXPECT_EQ(log.GetMnemonic(0), "");
    EXPECT_EQ(log.GetSource(0), "");
    EXPECT_EQ(log.GetMessage(0), "");

    for (int index : {5, -1, 1000}) {
        EXPECT_EQ(log.GetMessage(index), "");
        EXPECT_EQ(log.GetSequence(index), 0);
        EXPECT_EQ(log.GetHours(index), 0);
        EXPECT_EQ(log.HasLayer3(index), 0);
        EXPECT_EQ(log.GetItemCount(index), 0);
        EXPECT_FALSE(log.GetItem(index, 0).has_value());
        std::string untouched = "keep";
        EXPECT_EQ(log.FormatHexDump(untouched, index), 0);
        EXPECT_EQ(untouched, "keep");
    }
    std::string dump;
    EXPECT_EQ(log.FormatHexDump(dump, 4), 1);
    EXPECT_EQ(dump.size(), 75u);
    log.DeleteRecords();
    EXPECT_EQ(log.GetRecordCount(), 0);
}

}  // namespace
