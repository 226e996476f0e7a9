// Records streamed as they arrive: every record is on the other end of a
// pipe as soon as Add returns (whole, in exactly the octets SizeOf said),
// and what arrives reads back as the same trace in each of the three formats.

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "trace/CaptureExport.h"
#include "trace/CaptureImport.h"
#include "trace/RecordStream.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;
using trace::StreamFormat;

// Two frames of each side, an ASCII record between them, and one frame whose
// side a capture did not say.
void FillSample(trace::CTraceLog& log) {
    const std::vector<std::pair<std::uint8_t, Bytes>> frames = {
        {0x00, {0x00, 0x81, 0x7F}}, {0x01, {0x00, 0x81, 0x73}}, {0x00, {0x02, 0x81, 0x01, 0x03, 0x08, 0x01, 0x05}}};
    std::uint16_t sequence = 1;
    for (const auto& [flags, data] : frames) {
        RecordFields r;
        r.sequence = sequence++;
        r.flags = flags;
        r.hours = 10;
        r.seconds = static_cast<std::uint8_t>(sequence);
        r.data = data;
        log.AddRawRecord(MakeRecord(r));
    }
    RecordFields ascii;
    ascii.type = 1;
    ascii.sequence = sequence++;
    ascii.data = {'h', 'i', 0};
    log.AddRawRecord(MakeRecord(ascii));
    RecordFields unknown;
    unknown.sequence = sequence++;
    unknown.data = {0x00, 0x81, 0x01, 0x01};
    Bytes raw = MakeRecord(unknown);
    raw[wire::kRecFrameFlags] = wire::kSideUnknownBit;
    log.AddRawRecord(raw);
}

class RecordStreamTest : public ::testing::TestWithParam<StreamFormat> {};

TEST_P(RecordStreamTest, EachRecordArrivesWholeAtOnceAndReadsBackTheSame) {
    trace::CTraceLog log;
    FillSample(log);
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_NONBLOCK), 0);
    auto readAll = [&] {
        Bytes got;
        std::uint8_t chunk[4096];
        for (ssize_t n; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;) got.insert(got.end(), chunk, chunk + n);
        return got;
    };
    trace::RecordStream stream(pipeFds[1], GetParam(), trace::TraceDate{2024, 2, 29, 10, 0, 0});
    ASSERT_EQ(stream.Begin(), 0);
    Bytes all = readAll();
    EXPECT_EQ(all.size(), stream.BytesWritten());
    for (int i = 0; i < log.GetRecordCount(); ++i) {
        ASSERT_EQ(stream.Add(*log.GetRecord(i)), 0);
        const Bytes arrived = readAll();
        EXPECT_EQ(arrived.size(), stream.SizeOf(*log.GetRecord(i))) << "record " << i;
        all.insert(all.end(), arrived.begin(), arrived.end());
    }
    ::close(pipeFds[1]);
    ::close(pipeFds[0]);
    const bool capture = GetParam() != StreamFormat::Log;
    EXPECT_EQ(stream.RecordsSkipped(), capture ? 1 : 0);

    if (!capture) {
        trace::CTraceLog back;
        const auto path = std::filesystem::path(::testing::TempDir()) / "stream.log";
        testsupport::WriteFile(path, all);
        testsupport::RecordingMessageBox box;
        ASSERT_EQ(back.LoadFile(path), 1);
        EXPECT_TRUE(box.Texts().empty());
        ASSERT_EQ(back.GetRecordCount(), log.GetRecordCount());
        for (int i = 0; i < log.GetRecordCount(); ++i)
            EXPECT_EQ(trace::RawRecordBytes(*back.GetRecord(i)), trace::RawRecordBytes(*log.GetRecord(i)));
        ASSERT_TRUE(back.GetTraceDate());
        EXPECT_EQ(back.GetTraceDate()->day, 29);
        std::filesystem::remove(path);
        return;
    }
    tracefile::MemorySource source(all);
    std::vector<tracefile::FrameSide> sides;
    std::vector<Bytes> frames;
    const auto result = tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame& f) {
        sides.push_back(f.side);
        frames.emplace_back(f.lapd.begin(), f.lapd.end());
    });
    ASSERT_EQ(result.status, tracefile::CaptureStatus::Ok) << result.message;
    using S = tracefile::FrameSide;
    // pcap's pseudo-header must name a side: an unknown one goes as the user's.
    const S last = GetParam() == StreamFormat::PcapNg ? S::Unknown : S::User;
    EXPECT_EQ(sides, (std::vector<S>{S::User, S::Network, S::User, last}));
    EXPECT_EQ(frames[3], (Bytes{0x00, 0x81, 0x01, 0x01}));
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordStreamTest,
                         ::testing::Values(StreamFormat::Log, StreamFormat::PcapNg, StreamFormat::Pcap),
                         [](const auto& p) { return std::string(trace::StreamExtension(p.param).substr(1)); });

TEST(RecordStream, ClosedReaderIsReportedNotIgnored) {
    std::signal(SIGPIPE, SIG_IGN);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);
    trace::RecordStream stream(pipeFds[1], StreamFormat::PcapNg, trace::TraceDate{});
    EXPECT_EQ(stream.Begin(), EPIPE);
    ::close(pipeFds[1]);
}

}  // namespace
