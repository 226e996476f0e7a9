// The loader's framing checks: each failing check with its exact message,
// the order in which the checks run, and the boundaries around them.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::Concat;
using testsupport::FileHeader;
using testsupport::MakeRecord;
using testsupport::RecordFields;

Bytes DChannel(std::uint16_t sequence, Bytes frame = {0x00, 0x81, 0x01, 0x01}) {
    RecordFields s;
    s.sequence = sequence;
    s.data = std::move(frame);
    return MakeRecord(s);
}

struct LoadCase {
    const char* name;
    Bytes file;
    int result;
    int records;
    const char* message;  // nullptr: no message box
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class LoadFileTest : public testsupport::TempDirTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadFileTest, ReportsTheFirstFailedCheck) {
    const LoadCase& c = GetParam();
    const auto path = m_dir / "case.log";
    testsupport::WriteFile(path, c.file);

    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    EXPECT_EQ(log.LoadFile(path), c.result);
    EXPECT_EQ(log.GetRecordCount(), c.records);
    if (c.message) {
        EXPECT_EQ(box.Texts(), std::vector<std::string>{c.message});
    } else {
        EXPECT_TRUE(box.Texts().empty());
    }
}

// Read in steps of one or two records, every file gives what a load in one
// go gives: the same answer, the same records in the same order, the same
// message, once.
TEST_P(LoadFileTest, LoadsInStepsAsInOneGo) {
    const LoadCase& c = GetParam();
    const auto path = m_dir / "case.log";
    testsupport::WriteFile(path, c.file);
    for (const int step : {1, 2}) {
        SCOPED_TRACE(step);
        testsupport::RecordingMessageBox box;
        trace::CTraceLog log;
        int answer = log.BeginLoad(path, nullptr, step);
        int steps = 1;
        while (answer == trace::CTraceLog::kLoadGoesOn) {
            EXPECT_TRUE(log.IsLoading());
            EXPECT_EQ(log.GetRecordCount(), std::min(c.records, steps * step));
            answer = log.LoadMore(step);
            ++steps;
        }
        EXPECT_EQ(answer, c.result);
        EXPECT_FALSE(log.IsLoading());
        EXPECT_EQ(log.LoadedFraction(), 1.0);
        EXPECT_EQ(log.GetRecordCount(), c.records);
        if (c.message) {
            EXPECT_EQ(box.Texts(), std::vector<std::string>{c.message});
        } else {
            EXPECT_TRUE(box.Texts().empty());
        }
        EXPECT_EQ(log.LoadMore(step), 0) << "nothing is left to load";
        EXPECT_EQ(log.GetRecordCount(), c.records);
    }
}

Bytes WithBannerByte(std::size_t at, std::uint8_t value) {
    Bytes b = FileHeader();
    b[at] = value;
    return b;
}

Bytes Hex(std::uint32_t length, std::uint32_t n, std::optional<std::uint32_t> trailer = std::nullopt) {
    RecordFields s;
    s.type = 2;
    s.length = length;
    s.dataLength = n;
    s.trailer = trailer;
    s.data.assign(length > 24 ? length - 24 : 0, 0x41);
    return MakeRecord(s);
}

Bytes WithType(Bytes record, std::uint16_t type) {
    testsupport::PutU16(record, 4, type);
    return record;
}

Bytes DChannelWithLength(std::uint32_t n) {
    RecordFields s;
    s.data.assign(n, 0x55);
    return MakeRecord(s);
}

Bytes Truncated(Bytes b, std::size_t drop) {
    b.resize(b.size() - drop);
    return b;
}

const LoadCase kCases[] = {
    {"HeaderOnly", FileHeader(), 1, 0, nullptr},
    {"PrefixOnly40Bytes", Truncated(FileHeader(), 12), 1, 0, nullptr},
    {"TwentyEighthCharacterChanged", WithBannerByte(27, 'X'), 0, 0, "This file is not a valid log file."},
    {"ShorterThanThePrefix", Truncated(FileHeader(), 25), 0, 0, "This file is not a valid log file."},
    {"EmptyFile", Bytes{}, 0, 0, "This file is not a valid log file."},
    {"DateAndValuesBehindTheBannerNotChecked", WithBannerByte(30, 'z'), 1, 0, nullptr},
    {"TypeSeven", Concat({FileHeader(), DChannel(1), WithType(DChannel(2), 7)}), 0, 1, "Unknown Data Record Type"},
    {"TypeZero", Concat({FileHeader(), WithType(DChannel(1), 0)}), 0, 0, "Unknown Data Record Type"},
    {"TypeCheckedBeforeLength", Concat({FileHeader(), WithType(Hex(19, 0), 9)}), 0, 0, "Unknown Data Record Type"},
    {"Length19", Concat({FileHeader(), Hex(19, 0)}), 0, 0, "Unuseable Data Record length"},
    {"Length5001", Concat({FileHeader(), Hex(5001, 4977)}), 0, 0, "Unuseable Data Record length"},
    {"Length20HexTrailerOverlapsDataLength", Concat({FileHeader(), Hex(20, 20)}), 0, 0, "Inconsistent Hex Record!"},
    {"Length24HexWithoutData", Concat({FileHeader(), Hex(24, 0)}), 1, 1, nullptr},
    {"Length5000Hex", Concat({FileHeader(), Hex(5000, 4976)}), 1, 1, nullptr},
    {"HexDataLengthDisagrees", Concat({FileHeader(), Hex(30, 5)}), 0, 0, "Inconsistent Hex Record!"},
    {"PartialBody", Truncated(Concat({FileHeader(), DChannel(1)}), 1), 0, 0, "Could not read data portion of record!"},
    {"PartialHeaderAtTheEndIgnored", Concat({FileHeader(), DChannel(1), Bytes(15, 0x11)}), 1, 1, nullptr},
    {"WrongTrailer", Concat({FileHeader(), Hex(30, 6, 31)}), 0, 0, "Inconsistent record contents!"},
    {"TrailerCheckedBeforeBody", Concat({FileHeader(), Hex(30, 5, 31)}), 0, 0, "Inconsistent record contents!"},
    {"DChannel280", Concat({FileHeader(), DChannelWithLength(280)}), 1, 1, nullptr},
    {"DChannel281", Concat({FileHeader(), DChannelWithLength(281)}), 0, 0, "Inconsistent D-Channel Record!"},
    {"DChannelLength20", [] {
         RecordFields s;
         s.length = 20;
         return Concat({FileHeader(), MakeRecord(s)});
     }(), 0, 0, "Inconsistent D-Channel Record!"},
    {"TypesFourToSixSkipped", Concat({FileHeader(), WithType(Hex(26, 2), 4), WithType(Hex(24, 0), 6), DChannel(3)}),
     1, 1, nullptr},
    {"RecordsBeforeAFailureStay", Concat({FileHeader(), DChannel(1), DChannel(2), Hex(19, 0)}), 0, 2,
     "Unuseable Data Record length"},
};

INSTANTIATE_TEST_SUITE_P(Cases, LoadFileTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

using LoadFileOtherTest = testsupport::TempDirTest;

TEST_F(LoadFileOtherTest, InconsistentAsciiRecordGoesToStandardErrorNotAMessageBox) {
    RecordFields s;
    s.type = 1;
    s.data = {'a', 'b'};
    s.dataLength = 3;
    const auto path = m_dir / "ascii.log";
    testsupport::WriteFile(path, Concat({FileHeader(), MakeRecord(s)}));

    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(log.LoadFile(path), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Inconsistent ASCII Record!\n");
    EXPECT_TRUE(box.Texts().empty());
}

TEST_F(LoadFileOtherTest, MissingFileFailsWithoutAMessageAndTellsWhy) {
    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    int error = 0;
    EXPECT_EQ(log.LoadFile(m_dir / "absent.log", &error), 0);
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(box.Texts().empty());
}

TEST_F(LoadFileOtherTest, RecordsKeepTheirStoredNumbersAndTimes) {
    RecordFields s;
    s.sequence = 65535;
    s.hours = 23;
    s.minutes = 59;
    s.seconds = 58;
    s.hundredths = 99;
    s.b = 5;
    s.ln = 7;
    s.data = {0x00, 0x81, 0x01, 0x01};
    const auto path = m_dir / "numbers.log";
    testsupport::WriteFile(path, Concat({FileHeader(), MakeRecord(s)}));
    trace::CTraceLog log;
    ASSERT_EQ(log.LoadFile(path), 1);
    EXPECT_EQ(log.GetSequence(0), 65535);
    EXPECT_EQ(log.GetHours(0), 23);
    EXPECT_EQ(log.GetMinutes(0), 59);
    EXPECT_EQ(log.GetSeconds(0), 58);
    EXPECT_EQ(log.GetHundredths(0), 99);
    EXPECT_EQ(log.GetBNumber(0), 5);
    EXPECT_EQ(log.GetLNNumber(0), 7);
    EXPECT_EQ(log.GetMnemonic(0), "DCH");
}

// Large files are read in chunks and records are checked where they lie in
// a chunk: every record, including those that straddle two chunks, must
// arrive whole and in order, and a file cut inside its last record keeps all
// before it. Record lengths vary so that the cuts fall at every offset.
TEST_F(LoadFileOtherTest, RecordsAcrossChunkBoundariesArriveWhole) {
    constexpr int kRecords = 30000;  // about 4.5 MB: many chunk boundaries
    Bytes file = FileHeader();
    for (int i = 0; i < kRecords; ++i) {
        RecordFields s;
        s.sequence = static_cast<std::uint16_t>(i);
        s.data.assign(static_cast<std::size_t>(3 + i % 278), static_cast<std::uint8_t>(i * 7));
        s.data[0] = 0x00;
        s.data[1] = 0x81;
        const Bytes r = MakeRecord(s);
        file.insert(file.end(), r.begin(), r.end());
    }
    struct Case {
        const char* name;
        std::size_t cut;  // bytes removed from the end
        int result;
        int records;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"whole", 0, 1, kRecords, {}},
        {"cut inside the last record", 1, 0, kRecords - 1, {"Could not read data portion of record!"}},
    };
    for (const Case& c : cases)
    for (const int step : {0, 997, 4096}) {  // 0: in one go
        SCOPED_TRACE(c.name + std::string(" in steps of ") + std::to_string(step));
        const auto path = m_dir / "large.log";
        testsupport::WriteFile(path, Bytes(file.begin(), file.end() - static_cast<std::ptrdiff_t>(c.cut)));
        testsupport::RecordingMessageBox box;
        trace::CTraceLog log;
        if (step == 0) {
            EXPECT_EQ(log.LoadFile(path), c.result);
        } else {
            int answer = log.BeginLoad(path, nullptr, step);
            double fraction = 0;
            while (answer == trace::CTraceLog::kLoadGoesOn) {
                EXPECT_GT(log.LoadedFraction(), fraction);
                fraction = log.LoadedFraction();
                EXPECT_LT(fraction, 1.0);
                answer = log.LoadMore(step);
            }
            EXPECT_EQ(answer, c.result);
        }
        ASSERT_EQ(log.GetRecordCount(), c.records);
        EXPECT_EQ(box.Texts(), c.messages);
        for (int i = 0; i < c.records; ++i) {
            const auto r = log.GetRecord(i);
            ASSERT_TRUE(r);
            ASSERT_EQ(r->GetSequence(), static_cast<std::uint16_t>(i)) << i;
            const auto data = r->GetData();
            ASSERT_EQ(data.size(), static_cast<std::size_t>(3 + i % 278)) << i;
            ASSERT_EQ(data.back(), static_cast<std::uint8_t>(i * 7)) << i;
        }
    }

    // A load stopped half way keeps what it read and reads no more.
    const auto path = m_dir / "large.log";
    testsupport::WriteFile(path, file);
    trace::CTraceLog log;
    ASSERT_EQ(log.BeginLoad(path, nullptr, 1000), trace::CTraceLog::kLoadGoesOn);
    ASSERT_EQ(log.LoadMore(1000), trace::CTraceLog::kLoadGoesOn);
    log.CancelLoad();
    EXPECT_FALSE(log.IsLoading());
    EXPECT_EQ(log.LoadMore(1000), 0);
    EXPECT_EQ(log.GetRecordCount(), 2000);
    EXPECT_EQ(log.GetRecord(1999)->GetSequence(), 1999);
}

}  // namespace
