// The records' text that File > Export... writes: CSV quoted as RFC 4180
// asks, the dump text with trees and hex, only the records asked for, in
// their order, and the error of a write that failed.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/TraceFiles.h"
#include "trace/RecordPrinter.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::MakeRecord;
using testsupport::RecordFields;

class RecordTextTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        RecordFields ascii;
        ascii.type = 1;
        ascii.sequence = 1;
        const std::string text = "say \"hi\", then\r\ngo";
        ascii.data.assign(text.begin(), text.end());
        RecordFields frame;
        frame.sequence = 2;
        frame.data = {0x00, 0x81, 0x01, 0x01};
        RecordFields plain;
        plain.type = 1;
        plain.sequence = 3;
        plain.data = {'o', 'k'};
        for (const auto& r : {ascii, frame, plain}) m_log.AddRawRecord(MakeRecord(r));
    }
    // What WriteRecordsText puts in a file, and its answer.
    std::pair<std::string, int> Written(const std::vector<int>& records, bool csv) {
        const auto path = m_dir / "out";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int error = trace::WriteRecordsText(fd, m_log, records, csv);
        ::close(fd);
        const auto bytes = testsupport::ReadFile(path);
        return {std::string(bytes.begin(), bytes.end()), error};
    }
    trace::CTraceLog m_log;
};

TEST_F(RecordTextTest, CsvHasAHeaderRowAndQuotesOnlyCellsThatNeedIt) {
    const auto [csv, error] = Written({2, 0}, true);
    ASSERT_EQ(error, 0);
    const std::string header = "Seq #,Timestamp,B,LN,MOD,Source,Address,FTYP,P,NS,NR,CRV,Message\r\n";
    ASSERT_EQ(csv.rfind(header, 0), 0u) << csv;
    const std::string rows = csv.substr(header.size());
    // Record 3 first (the order asked for), then record 1 with its quotes
    // doubled; the line break that ends a text record's cell stays inside
    // the quotes, empty cells stay empty.
    EXPECT_EQ(rows.rfind("003,", 0), 0u) << rows;
    EXPECT_NE(rows.find(",ASC,,,,,,,,\"ok\n\"\r\n001,"), std::string::npos) << rows;
    EXPECT_NE(rows.find(",\"say \"\"hi\"\", then..go\n\"\r\n"), std::string::npos) << rows;
    EXPECT_EQ(rows.size(), rows.rfind("\r\n") + 2);
    EXPECT_EQ(rows.find("002"), std::string::npos) << "only the records asked for";
}

TEST_F(RecordTextTest, TextIsTheDumpWithTreeAndHexOfTheRecordsAskedFor) {
    const auto [text, error] = Written({1, 2}, false);
    ASSERT_EQ(error, 0);
    std::string expected;
    for (const int index : {1, 2}) trace::AppendRecord(expected, m_log, index, {.tree = true, .hex = true});
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.find("\n  Frame\n"), std::string::npos) << text;  // the tree is there
}

TEST_F(RecordTextTest, AFailedWriteAnswersItsError) {
    const int full = ::open("/dev/full", O_WRONLY);
    if (full < 0) GTEST_SKIP() << "no /dev/full";
    for (const bool csv : {false, true}) {
        EXPECT_EQ(trace::WriteRecordsText(full, m_log, std::vector<int>{0, 1, 2}, csv), ENOSPC) << csv;
    }
    ::close(full);
}

}  // namespace
