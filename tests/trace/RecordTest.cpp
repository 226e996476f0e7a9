// Record kinds, the hex dump, the ASCII rendering and the out-of-range
// answers of the record list.

#include <gtest/gtest.h>

#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;

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
    RecordFields s;
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
    RecordFields s;
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

namespace {

// Records of many sizes, enough of them to fill several storage blocks of
// both kinds (record bytes and positions): each reads back exactly, in order,
// and after DeleteRecords the log fills again from nothing.
TEST(TraceLog, ManyRecordsOfEverySizeReadBackExactly) {
    trace::CTraceLog log;
    std::vector<Bytes> datas;
    for (int round = 0; round < 2; ++round) {
        datas.clear();
        for (int i = 0; i < 200'000; ++i) {
            RecordFields s;
            s.type = static_cast<std::uint16_t>(i % 3 + 1);
            s.sequence = static_cast<std::uint16_t>(i);
            s.hundredths = static_cast<std::uint8_t>(i % 100);
            // Mostly short frames, now and then the longest a type allows.
            const std::size_t size = i % 1000 == 0 ? (s.type == 3 ? 280u : 4976u) : static_cast<std::size_t>(i % 37);
            s.data.resize(size);
            for (std::size_t k = 0; k < size; ++k) s.data[k] = static_cast<std::uint8_t>(i + k * 7 + 1);
            if (s.type == 1 && !s.data.empty() && s.data.back() == 0) s.data.back() = 1;
            ASSERT_EQ(log.AddRawRecord(MakeRecord(s)), i);
            datas.push_back(s.data);
        }
        ASSERT_EQ(log.GetRecordCount(), 200'000);
        for (int i = 0; i < 200'000; i += 997) {
            const auto r = log.GetRecord(i);
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->GetSequence(), static_cast<std::uint16_t>(i));
            EXPECT_EQ(r->GetHundredths(), i % 100);
            EXPECT_EQ(Bytes(r->GetData().begin(), r->GetData().end()), datas[static_cast<std::size_t>(i)]) << i;
        }
        log.DeleteRecords();
        EXPECT_EQ(log.GetRecordCount(), 0);
        EXPECT_FALSE(log.GetRecord(0).has_value());
    }
}

// Raw records whose length fields claim more than the bytes given, or that
// are too short for a header, never make the log read past them.
TEST(TraceLog, RawRecordsShorterThanTheirLengthFieldsAreCutToTheirBytes) {
    trace::CTraceLog log;
    RecordFields s;
    s.data = {0x02, 0x81, 0x01, 0x03};
    Bytes raw = MakeRecord(s);
    testsupport::PutU32(raw, 20, 4000);  // frame length far beyond the record
    ASSERT_EQ(log.AddRawRecord(raw), 0);
    EXPECT_EQ(log.GetRecord(0)->GetData().size(), raw.size() - 24);
    EXPECT_EQ(log.GetAddress(0), "00-064-R");

    Bytes shortRaw(21, 0);
    testsupport::PutU16(shortRaw, 4, 3);
    ASSERT_EQ(log.AddRawRecord(shortRaw), 1);
    EXPECT_TRUE(log.GetRecord(1)->GetData().empty());
    EXPECT_EQ(log.GetSource(1), "TE");

    for (std::uint16_t type : {0, 4, 6, 7}) {
        testsupport::PutU16(raw, 4, type);
        EXPECT_EQ(log.AddRawRecord(raw), -1) << type;
    }
    EXPECT_EQ(log.AddRawRecord(Bytes(10, 0)), -1);
    EXPECT_EQ(log.GetRecordCount(), 2);
}

}  // namespace
