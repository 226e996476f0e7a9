// Export of trace logs as pcap and pcapng: what comes back through our own
// reader is the same trace, the time stamps sit on the banner's date in local
// time, the direction fields are what packet analysers read, and an export
// never damages a file it was not asked to replace.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "tests/trace/CaptureFiles.h"
#include "trace/CaptureExport.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

namespace {

using capturefiles::ScopedTimeZone;
using testsupport::Bytes;
using testsupport::MakeRecord;
using testsupport::RecordFields;
using tracefile::CaptureFormat;

constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

Bytes Frame(std::uint8_t flags, std::uint8_t h, std::uint8_t m, std::uint8_t s, std::uint8_t hh, Bytes data) {
    RecordFields r;
    r.flags = flags;
    r.hours = h;
    r.minutes = m;
    r.seconds = s;
    r.hundredths = hh;
    r.data = std::move(data);
    return MakeRecord(r);
}

Bytes Text(std::uint16_t type, Bytes data) {
    RecordFields r;
    r.type = type;
    r.data = std::move(data);
    return MakeRecord(r);
}

// A trace of frames from both sides (flag bits 0 and 2 in every combination),
// an empty frame and one of the full 280 octets, an ASCII and a hex record,
// running past midnight. Banner: 07/03/97 14:05:09.
Bytes SampleTrace() {
    Bytes big(280);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i);
    big[0] = 0x00, big[1] = 0x81, big[2] = 0x00, big[3] = 0x00;
    return testsupport::Concat({
        testsupport::FileHeader(),
        Text(1, {'n', 'o', 't', 'e', 0}),
        Frame(0x00, 14, 5, 10, 0, {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}),
        Frame(0x01, 14, 5, 10, 37, {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x02, 0x81}),
        Frame(0x04, 14, 5, 11, 99, {0x02, 0x81, 0x7F}),
        Frame(0x05, 18, 0, 0, 1, {0x00, 0x81, 0x73}),
        Text(2, {0xDE, 0xAD}),
        Frame(0x00, 23, 59, 59, 99, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA2}),
        Frame(0x01, 0, 0, 1, 50, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x45, 0x08, 0x02, 0x80, 0x90}),
        Frame(0x00, 0, 0, 2, 0, {}),
        Frame(0x01, 0, 0, 3, 0, big),
    });
}

class CaptureRoundTrip : public testsupport::TempDirTest, public ::testing::WithParamInterface<tracefile::CaptureFormat> {};

TEST_P(CaptureRoundTrip, GivesBackTheSameFramesTimesSidesAndDecodes) {
    ScopedTimeZone tz(kCentralEurope);
    const auto logPath = m_dir / "trace.log";
    const auto capturePath = m_dir / "trace.cap";
    testsupport::WriteFile(logPath, SampleTrace());

    trace::ExportOptions options;
    options.format = GetParam();
    const trace::ExportResult result = trace::ExportTrace(logPath, capturePath, options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.framesWritten, 8);
    EXPECT_EQ(result.recordsSkipped, 2);

    trace::CTraceLog original;
    ASSERT_EQ(original.LoadFile(logPath), 1);
    testsupport::RecordingMessageBox box;
    trace::CTraceLog back;
    ASSERT_EQ(back.LoadFile(capturePath), 1);
    EXPECT_TRUE(box.Texts().empty()) << box.Texts().front();

    ASSERT_EQ(back.GetRecordCount(), 8);
    int b = 0;
    for (int i = 0; i < original.GetRecordCount(); ++i) {
        if (original.GetMnemonic(i) != "DCH") continue;
        SCOPED_TRACE("frame " + std::to_string(b + 1));
        const auto o = original.GetRecord(i);
        const auto r = back.GetRecord(b);
        EXPECT_EQ(r->GetSequence(), b + 1);
        EXPECT_EQ(std::vector(r->GetData().begin(), r->GetData().end()),
                  std::vector(o->GetData().begin(), o->GetData().end()));
        EXPECT_EQ(r->IsFromNetworkSide(), o->IsFromNetworkSide());
        EXPECT_EQ(r->GetHours(), o->GetHours());
        EXPECT_EQ(r->GetMinutes(), o->GetMinutes());
        EXPECT_EQ(r->GetSeconds(), o->GetSeconds());
        EXPECT_EQ(r->GetHundredths(), o->GetHundredths());
        EXPECT_EQ(r->GetSource(), o->GetSource());
        EXPECT_EQ(r->GetAddress(), o->GetAddress());
        EXPECT_EQ(r->GetFrameType(), o->GetFrameType());
        EXPECT_EQ(r->GetPollFinal(), o->GetPollFinal());
        EXPECT_EQ(r->GetNS(), o->GetNS());
        EXPECT_EQ(r->GetNR(), o->GetNR());
        EXPECT_EQ(r->GetCallReference(), o->GetCallReference());
        EXPECT_EQ(r->GetMessage(), o->GetMessage());
        EXPECT_EQ(r->HasLayer3(), o->HasLayer3());
        ASSERT_EQ(r->GetItemCount(), o->GetItemCount());
        for (int k = 0; k < r->GetItemCount(); ++k) {
            const auto ri = r->GetItem(k);
            const auto oi = o->GetItem(k);
            ASSERT_TRUE(ri && oi);
            EXPECT_EQ(ri->name, oi->name);
            EXPECT_EQ(ri->mnemonic, oi->mnemonic);
        }
        ++b;
    }
}

std::int64_t Utc(int year, int month, int day, int h, int m, int s) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return ::timegm(&t);
}

std::vector<tracefile::CaptureFrame> ReadBack(const Bytes& file, std::vector<Bytes>* frames = nullptr) {
    std::vector<tracefile::CaptureFrame> out;
    tracefile::MemorySource source(file);
    const auto result = tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame& f) {
        out.push_back(f);
        if (frames) frames->emplace_back(f.lapd.begin(), f.lapd.end());
    });
    EXPECT_EQ(result.status, tracefile::CaptureStatus::Ok) << result.message;
    return out;
}

// The stamps are the banner's local date with each record's time of day; a
// time far earlier than the one before is the next day. Central European time
// is UTC+1 in March and UTC+2 in summer.
TEST_P(CaptureRoundTrip, StampsRecordsOnTheBannerDateInLocalTime) {
    ScopedTimeZone tz(kCentralEurope);
    const auto logPath = m_dir / "trace.log";
    const auto capturePath = m_dir / "trace.cap";
    testsupport::WriteFile(logPath, SampleTrace());
    trace::ExportOptions options;
    options.format = GetParam();
    ASSERT_TRUE(trace::ExportTrace(logPath, capturePath, options).ok);

    const auto frames = ReadBack(testsupport::ReadFile(capturePath));
    ASSERT_EQ(frames.size(), 8u);
    const struct {
        std::size_t frame;
        std::int64_t seconds;
        std::uint32_t nanoseconds;
    } expected[] = {
        {0, Utc(1997, 3, 7, 13, 5, 10), 0},
        {1, Utc(1997, 3, 7, 13, 5, 10), 370000000},
        {2, Utc(1997, 3, 7, 13, 5, 11), 990000000},
        {4, Utc(1997, 3, 7, 22, 59, 59), 990000000},
        {5, Utc(1997, 3, 7, 23, 0, 1), 500000000},  // 00:00:01.50 on the 8th, local
        {7, Utc(1997, 3, 7, 23, 0, 3), 0},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(frames[e.frame].seconds, e.seconds) << "frame " << e.frame;
        EXPECT_EQ(frames[e.frame].nanoseconds, e.nanoseconds) << "frame " << e.frame;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureRoundTrip,
                         ::testing::Values(tracefile::CaptureFormat::Pcap, tracefile::CaptureFormat::PcapNg),
                         [](const auto& p) { return p.param == tracefile::CaptureFormat::Pcap ? "pcap" : "pcapng"; });

// What a packet analyser reads for direction: in pcap the pseudo-header's
// packet type (4 sent by us, the user side; 0 received) with address octet 0
// = 0, in pcapng the packet block's flags (2 outbound, 1 inbound).
TEST(CaptureWriter, MarksUserFramesSentAndNetworkFramesReceived) {
    const trace::RecordClock::Stamp stamp{1000, 250000};
    const Bytes frame = {0x00, 0x81, 0x01, 0x01};
    for (const tracefile::FrameSide side : {tracefile::FrameSide::User, tracefile::FrameSide::Network}) {
        const bool fromNetwork = side == tracefile::FrameSide::Network;
        SCOPED_TRACE(fromNetwork ? "NT" : "TE");
        Bytes pcap;
        trace::CaptureWriter(tracefile::CaptureFormat::Pcap, pcap).AddFrame(stamp, side, frame);
        ASSERT_EQ(pcap.size(), 24u + 16u + 16u + frame.size());
        EXPECT_EQ(pcap[20], 177);  // link type, little-endian
        const Bytes pseudo(pcap.begin() + 40, pcap.begin() + 56);
        const Bytes expected = {0, std::uint8_t(fromNetwork ? 0 : 4), 0x20, 0xFD, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x30};
        EXPECT_EQ(pseudo, expected);

        Bytes ng;
        trace::CaptureWriter(tracefile::CaptureFormat::PcapNg, ng).AddFrame(stamp, side, frame);
        std::vector<Bytes> frames;
        const auto read = ReadBack(ng, &frames);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].side, fromNetwork ? tracefile::FrameSide::Network : tracefile::FrameSide::User);
        EXPECT_EQ(read[0].seconds, 1000);
        EXPECT_EQ(read[0].nanoseconds, 250000000u);
        EXPECT_EQ(frames[0], frame);
        // The flags word sits right before the end-of-options and trailer.
        EXPECT_EQ(ng[ng.size() - 12], fromNetwork ? 1 : 2);
    }
}

TEST(BannerDate, TwoDigitYearsMapToTheRightCentury) {
    const struct {
        const char* when;
        std::optional<int> year;
    } cases[] = {
        {"07/03/97 14:05:09", 1997}, {"01/01/70 00:00:00", 1970}, {"31/12/69 23:59:59", 2069},
        {"15/06/00 12:00:00", 2000}, {"32/01/97 14:05:09", {}},   {"07/13/97 14:05:09", {}},
        {"07/03/9x 14:05:09", {}},   {"07-03-97 14:05:09", {}},   {"07/03/97 24:00:00", {}},
    };
    for (const auto& c : cases) {
        const std::string banner = std::string("Orin Intl Binary Trace File ") + c.when + "\n";
        const auto date = trace::ParseBannerDate({reinterpret_cast<const std::uint8_t*>(banner.data()), banner.size()});
        EXPECT_EQ(date.has_value(), c.year.has_value()) << c.when;
        if (date && c.year) {
            EXPECT_EQ(date->year, *c.year) << c.when;
        }
    }
    const std::string shortBanner = "Orin Intl Binary Trace File 07/03/97";
    EXPECT_FALSE(trace::ParseBannerDate({reinterpret_cast<const std::uint8_t*>(shortBanner.data()), shortBanner.size()}));
}

class CaptureExportFile : public testsupport::TempDirTest {};

// Today's date as an export note writes it.
struct TraceDateToday {
    TraceDateToday() {
        const trace::TraceDate d = trace::LocalTraceDate(std::time(nullptr));
        char t[16];
        std::snprintf(t, sizeof t, "%04d-%02d-%02d", d.year, d.month, d.day);
        text = t;
    }
    std::string text;
};

// An existing output file is kept unless replacing was asked for, a failed
// export leaves nothing behind, and no temporary file outlives an export.
TEST_F(CaptureExportFile, ReplacesOnlyWhenAskedAndLeavesNoTemporaryFile) {
    const auto logPath = m_dir / "trace.log";
    const auto out = m_dir / "out.pcapng";
    testsupport::WriteFile(logPath, SampleTrace());
    testsupport::WriteFile(out, {'k', 'e', 'e', 'p'});

    trace::ExportOptions options;
    trace::ExportResult result = trace::ExportTrace(logPath, out, options);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, out.string() + " already exists");
    EXPECT_EQ(testsupport::ReadFile(out), (Bytes{'k', 'e', 'e', 'p'}));

    options.replaceExisting = true;
    result = trace::ExportTrace(logPath, out, options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadBack(testsupport::ReadFile(out)).size(), 8u);

    result = trace::ExportTrace(logPath, m_dir / "no-such-dir" / "out.pcap", options);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());

    {
        testsupport::RecordingMessageBox box;  // the loader's message for the bad input
        testsupport::WriteFile(m_dir / "bad.log", {'x'});
        result = trace::ExportTrace(m_dir / "bad.log", m_dir / "bad.pcap", options);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(box.Texts(), std::vector<std::string>{"This file is not a valid log file."});
    }

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad.log", "out.pcapng", "trace.log"}));
}

// A trace without a known date (a live trace whose file is gone) is put on
// today's date rather than failing; one without frames still makes a file
// that opens.
TEST_F(CaptureExportFile, ExportsAnEmptyTraceAsAValidEmptyCapture) {
    for (const tracefile::CaptureFormat format : {tracefile::CaptureFormat::Pcap, tracefile::CaptureFormat::PcapNg}) {
        trace::CTraceLog empty;
        trace::ExportOptions options;
        options.format = format;
        options.replaceExisting = true;
        const auto out = m_dir / "empty.cap";
        const trace::ExportResult result = trace::ExportTrace(empty, out, options);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.framesWritten, 0);
        testsupport::RecordingMessageBox box;
        trace::CTraceLog back;
        EXPECT_EQ(back.LoadFile(out), 1);
        EXPECT_EQ(back.GetRecordCount(), 0);
        EXPECT_TRUE(box.Texts().empty());
    }
}

// A capture that never said who sent its frames stays without sides on the
// way out: pcapng gets no direction flags, pcap (which must name a side)
// counts the frames it put on the user side.
TEST_F(CaptureExportFile, FramesOfUnknownSideLeaveWithoutADirection) {
    const auto in = m_dir / "sideless.pcap";
    testsupport::WriteFile(in, capturefiles::Pcap(false, false, 203,
                                                  {{1700000000, 0, {0x00, 0x81, 0x7F}}, {1700000001, 0, {0x02, 0x81, 0x01, 0x03}}}));
    testsupport::RecordingMessageBox box;
    trace::ExportOptions options;
    options.format = tracefile::CaptureFormat::PcapNg;
    const trace::ExportResult ng = trace::ExportTrace(in, m_dir / "out.pcapng", options);
    ASSERT_TRUE(ng.ok) << ng.error;
    EXPECT_EQ(ng.sidelessInPcap, 0);
    const Bytes written = testsupport::ReadFile(m_dir / "out.pcapng");
    tracefile::MemorySource source(written);
    std::vector<tracefile::FrameSide> sides;
    tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame& f) { sides.push_back(f.side); });
    EXPECT_EQ(sides, (std::vector{tracefile::FrameSide::Unknown, tracefile::FrameSide::Unknown}));

    options.format = tracefile::CaptureFormat::Pcap;
    const trace::ExportResult pcap = trace::ExportTrace(in, m_dir / "out.pcap", options);
    ASSERT_TRUE(pcap.ok) << pcap.error;
    EXPECT_EQ(pcap.sidelessInPcap, 2);
}

// When the trace has no usable date the export says which date it used and
// why; a capture cut short is not exported as if it were whole.
TEST_F(CaptureExportFile, SaysWhenItDatesFramesTodayAndRefusesACutCapture) {
    Bytes header = testsupport::FileHeader();
    header[28] = 'x';  // "x7/03/97": not a date
    RecordFields r;
    r.data = {0x00, 0x81, 0x7F};
    testsupport::WriteFile(m_dir / "nodate.log", testsupport::Concat({header, MakeRecord(r)}));
    const TraceDateToday today;
    trace::ExportOptions options;
    trace::ExportResult result = trace::ExportTrace(m_dir / "nodate.log", m_dir / "a.pcapng", options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.dateNote, "the trace log's banner has no valid date; its frames are dated today, " + today.text);

    trace::CTraceLog undated;
    result = trace::ExportTrace(undated, m_dir / "b.pcapng", options);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.dateNote, "the trace has no date; its frames are dated today, " + today.text);

    testsupport::WriteFile(m_dir / "dated.log", SampleTrace());
    result = trace::ExportTrace(m_dir / "dated.log", m_dir / "c.pcapng", options);
    EXPECT_EQ(result.dateNote, "");

    Bytes cut = capturefiles::Pcap(false, false, 203, {{1700000000, 0, {0x00, 0x81, 0x7F}}, {1700000001, 0, {0x02, 0x81, 0x01}}});
    cut.pop_back();
    testsupport::WriteFile(m_dir / "cut.pcap", cut);
    testsupport::RecordingMessageBox box;
    result = trace::ExportTrace(m_dir / "cut.pcap", m_dir / "d.pcapng", options);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("ends in the middle of a packet"), std::string::npos) << result.error;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "d.pcapng"));
}

}  // namespace
