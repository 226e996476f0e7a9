// The live reader against a trace log file written piece by piece, as the
// adapter library writes it: complete records only, each exactly once,
// damaged data skipped, and a stop that never hangs.

#include <gtest/gtest.h>

#include "platform/File.h"
#include "tests/support/QueueTarget.h"
#include "tests/support/TraceFiles.h"
#include "trace/LogFile.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;

Bytes Frame(std::uint16_t sequence, std::size_t frameLength = 4) {
    RecordFields s;
    s.sequence = sequence;
    s.data.assign(frameLength, 0x00);
    s.data[1] = 0x81;
    s.data[2] = 0x01;
    return MakeRecord(s);
}

class TraceReaderTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_EQ(trace::CreateTraceLogFile(m_file, m_log, m_dir), 1);
        m_log.SetTarget(&m_target);
    }

    void Append(const Bytes& bytes) { ASSERT_EQ(platform::WriteAll(m_file->GetFd(), bytes), 0); }

    // Plays the document's handling of one posted record: build, then ack.
    // Returns the sequence number of the record added.
    std::optional<int> DeliverNext() {
        const auto params = m_target.Next();
        if (!params) return std::nullopt;
        const int index = m_log.AddReaderRecord(**params);
        platform::SetEvent(m_log.GetAckEvent());
        return index < 0 ? -1 : m_log.GetSequence(index);
    }

    trace::CTraceLog m_log;
    std::unique_ptr<trace::CLogFile> m_file;
    testsupport::QueueTarget m_target;
};

TEST_F(TraceReaderTest, RecordWrittenInThreePiecesIsDeliveredOnceWhenComplete) {
    ASSERT_EQ(m_log.StartReader(), 1);
    const Bytes record = Frame(1, 7);
    Append(Bytes(record.begin(), record.begin() + 24));
    Append(Bytes(record.begin() + 24, record.end() - 4));
    Append(Bytes(record.end() - 4, record.end()));
    Append(Frame(2));
    EXPECT_EQ(DeliverNext(), 1);
    EXPECT_EQ(DeliverNext(), 2);
    m_log.StopReader();
    EXPECT_EQ(m_log.GetRecordCount(), 2);
    EXPECT_EQ(m_log.GetRecord(0)->GetData().size(), 7u);
    EXPECT_EQ(m_log.IsRunning(), 0);
}

TEST_F(TraceReaderTest, DamagedDataIsSkippedAndTheNextRecordDelivered) {
    Bytes badTrailer = Frame(2);
    badTrailer.back() ^= 0xFF;
    RecordFields inconsistent;
    inconsistent.sequence = 3;
    inconsistent.data = {1, 2, 3};
    inconsistent.dataLength = 2;
    Bytes typeFive = Frame(4);
    testsupport::PutU16(typeFive, 4, 5);

    Append(Frame(1));
    Append(Bytes(16, 0x00));  // a header with type 0: skipped 16 bytes at a time
    Append(badTrailer);
    Append(MakeRecord(inconsistent));
    Append(typeFive);
    Append(Frame(5));
    ASSERT_EQ(m_log.StartReader(), 1);
    EXPECT_EQ(DeliverNext(), 1);
    EXPECT_EQ(DeliverNext(), 5);
    m_log.StopReader();
    EXPECT_EQ(m_log.GetRecordCount(), 2);
}

TEST_F(TraceReaderTest, StopWhileWaitingForTheAcknowledgementEndsAndThePostedRecordIsStillAdded) {
    Append(Frame(1));
    ASSERT_EQ(m_log.StartReader(), 1);
    const auto params = m_target.Next();
    ASSERT_TRUE(params);
    EXPECT_EQ(m_log.StopReader(), 1);  // must not hang: the reader waits for ack or stop
    EXPECT_EQ(m_log.IsRunning(), 0);
    EXPECT_EQ(m_log.AddReaderRecord(**params), 0);
    EXPECT_EQ(m_log.GetSequence(0), 1);
}

TEST_F(TraceReaderTest, EachStartReadsTheWholeFileAgain) {
    Append(Frame(1));
    Append(Frame(2));
    m_log.StartReader();
    EXPECT_EQ(DeliverNext(), 1);
    EXPECT_EQ(DeliverNext(), 2);
    m_log.StopReader();

    m_log.DeleteRecords();
    Append(Frame(3));
    m_log.StartReader();
    EXPECT_EQ(DeliverNext(), 1);
    EXPECT_EQ(DeliverNext(), 2);
    EXPECT_EQ(DeliverNext(), 3);
    m_log.StopReader();
    EXPECT_EQ(m_log.GetRecordCount(), 3);
}

TEST_F(TraceReaderTest, WithoutALogFileTheReaderFindsNothingAndStopsNormally) {
    trace::CTraceLog log;  // never given a log file
    testsupport::QueueTarget target;
    log.SetTarget(&target);
    EXPECT_EQ(log.StartReader(), 1);
    EXPECT_EQ(log.IsRunning(), 1);
    EXPECT_FALSE(target.Next(std::chrono::milliseconds(30)));
    EXPECT_EQ(log.StopReader(), 1);
    EXPECT_EQ(log.IsRunning(), 0);
}

TEST_F(TraceReaderTest, DestroyingTheLogStopsARunningReader) {
    auto log = std::make_unique<trace::CTraceLog>();
    std::unique_ptr<trace::CLogFile> file;
    ASSERT_EQ(trace::CreateTraceLogFile(file, *log, m_dir), 1);
    testsupport::QueueTarget target;
    log->SetTarget(&target);
    ASSERT_EQ(platform::WriteAll(file->GetFd(), Frame(1)), 0);
    log->StartReader();
    ASSERT_TRUE(target.Next());  // the reader now waits for an acknowledgement that never comes
    log.reset();                 // must stop it without hanging
}

}  // namespace
