// The live reader against a trace log file written piece by piece, as the
// adapter library writes it: complete records only, each exactly once, in
// batches, damaged data skipped, and a stop that never hangs.

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

    // Plays the document's handling of posted batches until the log holds
    // `count` records: build, then ack. Returns the sequence numbers of all
    // the log's records.
    std::vector<int> DeliverUntil(int count) {
        while (m_log.GetRecordCount() < count) {
            const auto params = m_target.Next();
            if (!params) break;
            m_log.AddReaderRecords(**params);
            ++m_batches;
            platform::SetEvent(m_log.GetAckEvent());
        }
        return Sequences();
    }
    std::vector<int> Sequences() const {
        std::vector<int> sequences;
        for (int i = 0; i < m_log.GetRecordCount(); ++i) sequences.push_back(m_log.GetSequence(i));
        return sequences;
    }

    trace::CTraceLog m_log;
    std::unique_ptr<trace::CLogFile> m_file;
    testsupport::QueueTarget m_target;
    int m_batches = 0;
};

TEST_F(TraceReaderTest, RecordWrittenInThreePiecesIsDeliveredOnceWhenComplete) {
    ASSERT_EQ(m_log.StartReader(), 1);
    const Bytes record = Frame(1, 7);
    Append(Bytes(record.begin(), record.begin() + 24));
    Append(Bytes(record.begin() + 24, record.end() - 4));
    Append(Bytes(record.end() - 4, record.end()));
    Append(Frame(2));
    EXPECT_EQ(DeliverUntil(2), (std::vector<int>{1, 2}));
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
    EXPECT_EQ(DeliverUntil(2), (std::vector<int>{1, 5}));
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
    EXPECT_EQ(m_log.AddReaderRecords(**params), 1);
    EXPECT_EQ(m_log.GetSequence(0), 1);
}

TEST_F(TraceReaderTest, EachStartReadsTheWholeFileAgain) {
    Append(Frame(1));
    Append(Frame(2));
    m_log.StartReader();
    EXPECT_EQ(DeliverUntil(2), (std::vector<int>{1, 2}));
    m_log.StopReader();

    m_log.DeleteRecords();
    Append(Frame(3));
    m_log.StartReader();
    EXPECT_EQ(DeliverUntil(3), (std::vector<int>{1, 2, 3}));
    m_log.StopReader();
    EXPECT_EQ(m_log.GetRecordCount(), 3);
}

// More than one chunk's worth: records that lie across a chunk's end come
// whole in the next batch, none twice, none skipped.
TEST_F(TraceReaderTest, AFileLargerThanOneChunkComesInBatchesInOrderEachRecordOnce) {
    Bytes many;
    int count = 0;
    for (; many.size() < 2 * trace::kReaderChunkBytes + 1000; ++count)
        for (const std::uint8_t b : Frame(static_cast<std::uint16_t>(count), 3 + count % 29)) many.push_back(b);
    Append(many);
    m_log.StartReader();
    const std::vector<int> sequences = DeliverUntil(count);
    m_log.StopReader();
    ASSERT_EQ(sequences.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) ASSERT_EQ(sequences[static_cast<std::size_t>(i)], i % 65536) << i;
    EXPECT_GE(m_batches, 3);
    EXPECT_EQ(m_log.GetReaderRecordEnd(), static_cast<std::int64_t>(tracefile::kFileHeaderSize + many.size()));
}

// The stop's drain takes what the file holds, batch by batch, until it is
// told to stop taking them: then the reader ends at once, the rest stays in
// the file, and what was taken is whole.
TEST_F(TraceReaderTest, ADrainThatIsToldToStopEndsBetweenTwoBatches) {
    for (const bool goOn : {true, false}) {
        SCOPED_TRACE(goOn ? "drain to the end" : "stop after the first batch");
        trace::CTraceLog log;
        std::unique_ptr<trace::CLogFile> file;
        ASSERT_EQ(trace::CreateTraceLogFile(file, log, m_dir), 1);
        testsupport::QueueTarget target;
        log.SetTarget(&target);
        Bytes many;
        int count = 0;
        for (; many.size() < 3 * trace::kReaderChunkBytes; ++count)
            for (const std::uint8_t b : Frame(static_cast<std::uint16_t>(count))) many.push_back(b);
        ASSERT_EQ(platform::WriteAll(file->GetFd(), many), 0);
        log.StartReader();
        int drained = 0;
        log.StopReader([&](trace::TraceReaderParams& params) {
            if (trace::HasDelivered(params)) log.AddReaderRecords(params);
            trace::ReleaseDelivered(params);
            ++drained;
            return goOn;
        });
        EXPECT_EQ(log.IsRunning(), 0);
        if (goOn) {
            EXPECT_EQ(log.GetRecordCount(), count);
        } else {
            EXPECT_EQ(drained, 1);
            EXPECT_GT(log.GetRecordCount(), 0);
            EXPECT_LT(log.GetRecordCount(), count);
        }
        for (int i = 0; i < log.GetRecordCount(); ++i) ASSERT_EQ(log.GetSequence(i), i % 65536) << i;
    }
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
