// Opening pcap and pcapng files of LAPD frames: every byte order and time
// resolution gives the same records (side, local time of day, octets), and
// every kind of bad file gets its one clear message without reading past
// what the file holds.

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "tests/trace/CaptureFiles.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

namespace {

using capturefiles::Bytes;
using capturefiles::LinuxLapd;
using capturefiles::Pcap;
using capturefiles::PcapNg;
using capturefiles::PcapPacket;
using capturefiles::ScopedTimeZone;

// 2023-11-14 22:13:20 UTC is 23:13:20 in central Europe (UTC+1 in November).
constexpr std::uint32_t kWhen = 1700000000;
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

const Bytes kSabme = {0x00, 0x81, 0x7F};
const Bytes kUa = {0x00, 0x81, 0x73};
const Bytes kRr = {0x02, 0x81, 0x01, 0x03};

constexpr const char* kNoSide =
    "This capture file does not say which side sent each frame; its frames are shown as from the user side (TE), "
    "and the side is unknown.";
constexpr const char* kCut = "Frames longer than 280 octets were cut to their first 280 octets.";
constexpr const char* kTruncated = "The capture file ends in the middle of a packet; the frames before it are shown.";

struct Expected {
    Expected(const char* s, Bytes f, int h, int after = 0) : source(s), frame(std::move(f)), hundredths(h), secondsAfter(after) {}
    const char* source;  // "TE" or "NT"
    Bytes frame;
    int hundredths;    // of the frame's second
    int secondsAfter;  // after kWhen
};

struct ImportCase {
    const char* name;
    Bytes file;
    int result;
    std::vector<Expected> frames;
    std::vector<std::string> messages;
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.name; }

std::uint64_t Micro(std::uint64_t seconds, std::uint64_t micro) { return seconds * 1000000 + micro; }

Bytes Big(std::size_t n) {
    Bytes b(n, 0x55);
    b[0] = 0x00, b[1] = 0x81, b[2] = 0x00, b[3] = 0x00;
    return b;
}
Bytes First280(const Bytes& b) { return Bytes(b.begin(), b.begin() + 280); }

Bytes Cut(Bytes b, std::size_t drop) {
    b.resize(b.size() - drop);
    return b;
}

std::vector<ImportCase> Cases() {
    std::vector<ImportCase> cases;
    // Link type 177 in all four pcap flavours: the side from the pseudo-header.
    for (const bool big : {false, true}) {
        for (const bool nano : {false, true}) {
            const std::uint32_t frac = nano ? 250000000 : 250000;
            cases.push_back({big ? (nano ? "pcap177BigNano" : "pcap177BigMicro") : (nano ? "pcap177LittleNano" : "pcap177LittleMicro"),
                             Pcap(big, nano, 177,
                                  {{kWhen, frac, LinuxLapd(4, 0, kSabme)},    // sent by a TE host
                                   {kWhen, frac, LinuxLapd(0, 0, kUa)},       // received by a TE host
                                   {kWhen + 1, 0, LinuxLapd(4, 1, kRr)},      // sent by an NT host
                                   {kWhen + 1, 0, LinuxLapd(0, 1, kRr)}}),    // received by an NT host
                             1,
                             {{"TE", kSabme, 25}, {"NT", kUa, 25}, {"NT", kRr, 0, 1}, {"TE", kRr, 0, 1}},
                             {}});
        }
    }
    // Every packet type from a host on either side: sent frames are the
    // host's side, overheard ones (type 3) another terminal's, the rest the
    // other side's.
    cases.push_back({"pcap177EveryPacketTypeOnBothHostSides",
                     Pcap(false, false, 177,
                          {{kWhen, 0, LinuxLapd(0, 0, kUa)},  {kWhen, 0, LinuxLapd(1, 0, kUa)},
                           {kWhen, 0, LinuxLapd(2, 0, kUa)},  {kWhen, 0, LinuxLapd(3, 0, kRr)},
                           {kWhen, 0, LinuxLapd(4, 0, kRr)},  {kWhen, 0, LinuxLapd(0, 1, kRr)},
                           {kWhen, 0, LinuxLapd(1, 1, kRr)},  {kWhen, 0, LinuxLapd(3, 1, kRr)},
                           {kWhen, 0, LinuxLapd(4, 1, kUa)}}),
                     1,
                     {{"NT", kUa, 0}, {"NT", kUa, 0}, {"NT", kUa, 0}, {"TE", kRr, 0}, {"TE", kRr, 0},
                      {"TE", kRr, 0}, {"TE", kRr, 0}, {"TE", kRr, 0}, {"NT", kUa, 0}},
                     {}});
    cases.push_back({"pcap203HasNoSide", Pcap(false, false, 203, {{kWhen, 999999, kSabme}, {kWhen, 0, kUa}}), 1,
                     {{"TE", kSabme, 99}, {"TE", kUa, 0}}, {kNoSide}});
    cases.push_back({"pcapSnapLengthZeroReadsAsUnlimited", Pcap(true, false, 203, {{kWhen, 0, kRr}}, 0), 1,
                     {{"TE", kRr, 0}}, {kNoSide}});
    cases.push_back({"pcapLongFramesCutAndToldOnce",
                     Pcap(false, false, 203, {{kWhen, 0, Big(281)}, {kWhen, 0, Big(1000)}, {kWhen, 0, Big(280)}}), 1,
                     {{"TE", First280(Big(281)), 0}, {"TE", First280(Big(1000)), 0}, {"TE", Big(280), 0}},
                     {kCut, kNoSide}});
    cases.push_back({"pcapTruncatedLastPacketKeepsTheOthers",
                     Cut(Pcap(false, false, 177, {{kWhen, 0, LinuxLapd(0, 0, kUa)}, {kWhen, 0, LinuxLapd(4, 0, kRr)}}), 1),
                     2, {{"NT", kUa, 0}}, {kTruncated}});
    cases.push_back({"pcapTruncatedPacketHeader",
                     Cut(Pcap(false, false, 177, {{kWhen, 0, LinuxLapd(0, 0, kUa)}, {kWhen, 0, LinuxLapd(4, 0, {})}}), 20),
                     2, {{"NT", kUa, 0}}, {kTruncated}});
    cases.push_back({"pcapOfAnotherLinkTypeSaysWhatItHolds",
                     Pcap(false, false, 1, {{kWhen, 0, Bytes(60, 0xEE)}, {kWhen, 0, Bytes(60, 0xEE)}}), 0, {},
                     {"This capture file (pcap) holds 2 frames of Ethernet, none of them LAPD."}});
    cases.push_back({"pcapOfAnUnknownLinkTypeWithoutPackets", Pcap(false, false, 4000, {}), 0, {},
                     {"This capture file (pcap) holds no frames, and its link type, link type 4000, is not LAPD."}});
    cases.push_back({"pcapShortFileHeader", Cut(Pcap(false, false, 177, {}), 4), 0, {},
                     {"The capture file is damaged: it is too short to hold its file header."}});
    cases.push_back({"pcapVersion1", [] {
                         Bytes b = Pcap(false, false, 177, {});
                         b[4] = 1;
                         return b;
                     }(),
                     0, {}, {"The capture file's format version 1.4 is not supported."}});
    cases.push_back({"pcapHugeCapturedLength", Pcap(false, false, 203, {{kWhen, 0, kUa, 0x7FFFFFFF}}), 0, {},
                     {"The capture file is damaged: packet 1 claims 2147483647 octets."}});
    cases.push_back({"pcap177ShorterThanPseudoHeader",
                     Pcap(false, false, 177, {{kWhen, 0, LinuxLapd(0, 0, kUa)}, {kWhen, 0, Bytes(15, 0)}}), 0,
                     {{"NT", kUa, 0}},
                     {"The capture file is damaged: packet 2 is shorter than its 16-octet LAPD header."}});

    // pcapng: the side from the packet flags (inbound: from the network).
    for (const bool big : {false, true}) {
        cases.push_back({big ? "pcapngBig" : "pcapngLittle",
                         PcapNg(big)
                             .Section()
                             .Interface(203)
                             .Packet(0, Micro(kWhen, 120000), kSabme, 2)
                             .Other()
                             .Packet(0, Micro(kWhen, 130000), kUa, 1)
                             .Out(),
                         1, {{"TE", kSabme, 12}, {"NT", kUa, 13}}, {}});
    }
    cases.push_back({"pcapngResolutionsAndOffsets",
                     PcapNg(false)
                         .Section()
                         .Interface(203, 9)                        // nanoseconds
                         .Interface(203, 0x80 | 20, -3600)         // 2^-20 s, stamps an hour ahead
                         .Interface(177, 2, 0)                     // hundredths, side from the pseudo-header
                         .Packet(0, std::uint64_t{kWhen} * 1000000000 + 990000000, kSabme, 2)
                         .Packet(1, (std::uint64_t{kWhen + 3600} << 20) + (1u << 19), kUa, 1)
                         .Packet(2, std::uint64_t{kWhen} * 100 + 7, LinuxLapd(0, 0, kRr), 2)
                         .Out(),
                     1, {{"TE", kSabme, 99}, {"NT", kUa, 50}, {"NT", kRr, 7}}, {}});
    cases.push_back({"pcapngWithoutFlagsHasNoSide",
                     PcapNg(true).Section().Interface(203).Packet(0, Micro(kWhen, 0), kSabme).Out(), 1,
                     {{"TE", kSabme, 0}}, {kNoSide}});
    cases.push_back({"pcapngObsoleteAndSimplePackets",
                     PcapNg(false)
                         .Section()
                         .Interface(203)
                         .ObsoletePacket(0, Micro(kWhen, 500000), kUa, 1)
                         .SimplePacket(kRr)
                         .Out(),
                     1, {{"NT", kUa, 50}, {"TE", kRr, 0, -static_cast<int>(kWhen)}}, {kNoSide}});
    cases.push_back({"pcapngSecondSectionStartsItsOwnInterfaces",
                     [] {
                         Bytes b = PcapNg(false).Section().Interface(203).Packet(0, Micro(kWhen, 0), kSabme, 2).Out();
                         Bytes c = PcapNg(true).Section().Interface(177).Packet(0, Micro(kWhen, 0), LinuxLapd(4, 0, kRr)).Out();
                         b.insert(b.end(), c.begin(), c.end());
                         return b;
                     }(),
                     1, {{"TE", kSabme, 0}, {"TE", kRr, 0}}, {}});
    cases.push_back({"pcapngOfAnotherLinkTypeSaysWhatItHolds",
                     PcapNg(false).Section().Interface(1).Packet(0, Micro(kWhen, 0), kSabme, 2).Out(), 0, {},
                     {"This capture file (pcapng) holds 1 frame of Ethernet, which is not LAPD."}});
    cases.push_back({"pcapngOtherLinkTypesBesideLapdAreSkippedAndCounted",
                     PcapNg(false)
                         .Section()
                         .Interface(1)
                         .Interface(203)
                         .Packet(0, Micro(kWhen, 0), Bytes(60, 0xEE))
                         .Packet(1, Micro(kWhen, 0), kSabme, 2)
                         .Packet(0, Micro(kWhen, 0), Bytes(60, 0xEE))
                         .Packet(1, Micro(kWhen, 0), kUa, 1)
                         .Out(),
                     1, {{"TE", kSabme, 0}, {"NT", kUa, 0}},
                     {"2 packets that are not D-channel LAPD (the first of them Ethernet) were skipped; the LAPD "
                      "frames are shown."}});
    cases.push_back({"pcapngPacketOptionsRunPastTheBlock",
                     [] {
                         Bytes b = PcapNg(false).Section().Interface(203).Packet(0, Micro(kWhen, 0), kSabme, 2).Out();
                         b[b.size() - 14] = 0x40;  // the flags option's length
                         return b;
                     }(),
                     0, {}, {"The capture file is damaged: the options of packet 1 run past the end of its block."}});
    cases.push_back({"pcapngInterfaceOptionsRunPastTheBlock",
                     [] {
                         Bytes b = PcapNg(false).Section().Interface(203, 9).Packet(0, 1, kSabme, 2).Out();
                         b[28 + 16 + 2] = 0x20;  // the resolution option's length
                         return b;
                     }(),
                     0, {},
                     {"The capture file is damaged: the options of the interface block at offset 28 run past its "
                      "end."}});
    cases.push_back({"pcapngShortInterfaceBlock",
                     [] {
                         Bytes b = PcapNg(false).Section().Out();
                         const Bytes idb = {1, 0, 0, 0, 12, 0, 0, 0, 12, 0, 0, 0};
                         b.insert(b.end(), idb.begin(), idb.end());
                         return b;
                     }(),
                     0, {}, {"The capture file is damaged: the interface block at offset 28 is too short."}});
    cases.push_back({"pcapngPacketOnUndescribedInterface",
                     PcapNg(false).Section().Interface(203).Packet(1, Micro(kWhen, 0), kSabme, 2).Out(), 0, {},
                     {"The capture file is damaged: packet 1 names interface 1, which the file does not describe."}});
    cases.push_back({"pcapngTruncatedLastBlock",
                     Cut(PcapNg(false).Section().Interface(203).Packet(0, Micro(kWhen, 0), kSabme, 2)
                             .Packet(0, Micro(kWhen, 0), kUa, 1).Out(), 6),
                     2, {{"TE", kSabme, 0}}, {kTruncated}});
    cases.push_back({"pcapngCapturedLengthBeyondBlock",
                     PcapNg(false).Section().Interface(203).Packet(0, Micro(kWhen, 0), kSabme, 2, 400).Out(), 0, {},
                     {"The capture file is damaged: packet 1 claims more octets than its block holds."}});
    cases.push_back({"pcapngBlockLengthNotAMultipleOfFour",
                     [] {
                         Bytes b = PcapNg(false).Section().Interface(203).Out();
                         b[28 + 4] = 21;  // the interface block's length
                         return b;
                     }(),
                     0, {}, {"The capture file is damaged: the block at offset 28 gives the length 21."}});
    cases.push_back({"pcapngTrailerDisagrees",
                     [] {
                         Bytes b = PcapNg(false).Section().Interface(203).Out();
                         b.back() = 0x7F;
                         return b;
                     }(),
                     0, {}, {"The capture file is damaged: the block at offset 28 ends with the wrong length."}});
    cases.push_back({"pcapngNoByteOrderMark",
                     [] {
                         Bytes b = PcapNg(false).Section().Out();
                         b[8] = 0;
                         return b;
                     }(),
                     0, {}, {"The capture file is damaged: the section header at offset 0 has no byte-order mark."}});
    cases.push_back({"pcapngVersion2", PcapNg(false).Section(2).Out(), 0, {},
                     {"The capture file's format version 2.0 is not supported."}});
    cases.push_back({"pcapngOnlyItsMagic", Bytes{0x0A, 0x0D, 0x0D, 0x0A}, 0, {},
                     {"The capture file is damaged: it is too short to hold its section header."}});
    cases.push_back({"wrongMagicIsNoLogFile", Bytes{0xA1, 0xB2, 0xC3, 0xD5, 0, 0, 0, 0}, 0, {},
                     {"This file is not a valid log file."}});
    return cases;
}

class CaptureImport : public testsupport::TempDirTest, public ::testing::WithParamInterface<ImportCase> {};

TEST_P(CaptureImport, ShowsTheFramesAndSaysWhatIsWrongOnce) {
    const ImportCase& c = GetParam();
    ScopedTimeZone tz(kCentralEurope);
    const auto path = m_dir / "capture.bin";
    testsupport::WriteFile(path, c.file);
    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    EXPECT_EQ(log.LoadFile(path), c.result);
    EXPECT_EQ(box.Texts(), c.messages);
    ASSERT_EQ(log.GetRecordCount(), static_cast<int>(c.frames.size()));
    for (int i = 0; i < log.GetRecordCount(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const Expected& e = c.frames[static_cast<std::size_t>(i)];
        const auto r = log.GetRecord(i);
        EXPECT_EQ(log.GetMnemonic(i), "DCH");
        EXPECT_EQ(r->GetSequence(), i + 1);
        EXPECT_EQ(log.GetSource(i), e.source);
        EXPECT_EQ(Bytes(r->GetData().begin(), r->GetData().end()), e.frame);
        std::tm local{};
        const std::time_t when = kWhen + e.secondsAfter;
        localtime_r(&when, &local);
        EXPECT_EQ(r->GetHours(), local.tm_hour);
        EXPECT_EQ(r->GetMinutes(), local.tm_min);
        EXPECT_EQ(r->GetSeconds(), local.tm_sec);
        EXPECT_EQ(r->GetHundredths(), e.hundredths);
    }
    if (!c.frames.empty() && c.frames[0].secondsAfter == 0) {
        ASSERT_TRUE(log.GetTraceDate());
        EXPECT_EQ(log.GetTraceDate()->year, 2023);
        EXPECT_EQ(log.GetTraceDate()->day, 14);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CaptureImport, ::testing::ValuesIn(Cases()),
                         [](const auto& p) { return std::string(p.param.name); });

// A capture cut short at any length either reads or reports, and never reads
// a byte beyond the cut (the sanitizers check the reads).
TEST(CaptureReader, EveryPrefixOfAFileReadsOrReportsAProblem) {
    const std::vector<Bytes> files = {
        Pcap(true, true, 177, {{kWhen, 1, LinuxLapd(4, 0, kSabme)}, {kWhen, 2, LinuxLapd(0, 1, Big(300))}}),
        PcapNg(false)
            .Section()
            .Interface(203, 9, 5)
            .Packet(0, 1, kSabme, 2)
            .ObsoletePacket(0, 2, kUa, 1)
            .SimplePacket(kRr)
            .Other()
            .Out(),
    };
    for (const Bytes& file : files) {
        for (std::size_t n = 0; n <= file.size(); ++n) {
            const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n));
            tracefile::MemorySource source(cut);
            int frames = 0;
            const auto result = tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame&) { ++frames; });
            EXPECT_EQ(result.frames, frames);
            // A cut between packets is a shorter capture, any other cut a problem.
            if (n == file.size()) {
                EXPECT_EQ(result.status, tracefile::CaptureStatus::Ok) << result.message;
                EXPECT_EQ(frames, &file == &files[0] ? 2 : 3);
            } else if (result.status == tracefile::CaptureStatus::Ok) {
                EXPECT_TRUE(result.message.empty());
            } else {
                EXPECT_FALSE(result.message.empty()) << "cut at " << n;
            }
        }
    }
}

// A pcapng block of the given type around a body of fixed fields, with no
// options: little-endian type, length, body, length again.
Bytes Block(std::uint32_t type, Bytes body) {
    capturefiles::Writer w(false);
    const auto length = static_cast<std::uint32_t>(body.size() + 12);
    w.U32(type).U32(length).Raw(body).U32(length);
    return w.Out();
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Every block kind at the smallest length its fixed fields allow reads, and
// one octet-group shorter is damaged, never read past its end (the
// sanitizers and library assertions check the reads).
TEST(CaptureReader, TheSmallestBlockOfEachKindReadsAndAShorterOneIsDamaged) {
    const Bytes section = Block(0x0A0D0D0A, {0x4D, 0x3C, 0x2B, 0x1A, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0xFF});                // 28 octets
    const Bytes interface = Block(1, {203, 0, 0, 0, 0, 0, 0, 0});                    // 20
    const Bytes enhanced = Block(6, Bytes(20, 0));                                   // 32
    const Bytes obsolete = Block(2, Bytes(20, 0));                                   // 32
    const Bytes simple = Block(3, Bytes(4, 0));                                      // 16
    const Bytes other = Block(4, {});                                                // 12
    struct Case {
        const char* name;
        Bytes file;
        tracefile::CaptureStatus status;
        int frames;
        std::string message;
    };
    const std::string damaged = "The capture file is damaged: ";
    const Case cases[] = {
        {"smallest of each kind", Join({section, interface, enhanced, obsolete, simple, other}),
         tracefile::CaptureStatus::Ok, 3, ""},
        {"interface of 12", Join({section, Block(1, {})}), tracefile::CaptureStatus::Damaged, 0,
         damaged + "the interface block at offset 28 is too short."},
        {"interface of 16", Join({section, Block(1, {203, 0, 0, 0})}), tracefile::CaptureStatus::Damaged, 0,
         damaged + "the interface block at offset 28 is too short."},
        {"section header of 24", Block(0x0A0D0D0A, {0x4D, 0x3C, 0x2B, 0x1A, 1, 0, 0, 0, 0, 0, 0, 0}),
         tracefile::CaptureStatus::Damaged, 0, damaged + "the block at offset 0 gives the length 24."},
        {"enhanced packet of 28", Join({section, interface, Block(6, Bytes(16, 0))}), tracefile::CaptureStatus::Damaged,
         0, damaged + "packet 1 has a short block."},
        {"obsolete packet of 28", Join({section, interface, Block(2, Bytes(16, 0))}), tracefile::CaptureStatus::Damaged,
         0, damaged + "packet 1 has a short block."},
        {"simple packet of 12", Join({section, interface, Block(3, {})}), tracefile::CaptureStatus::Damaged, 0,
         damaged + "packet 1 has a short block."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tracefile::MemorySource source(c.file);
        int frames = 0;
        const auto result = tracefile::ReadCapture(source, [&](const tracefile::CaptureFrame& frame) {
            EXPECT_TRUE(frame.lapd.empty());
            ++frames;
        });
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(result.message, c.message);
    }
}

}  // namespace

namespace {

// A long capture across a change of summer time: every record shows its
// frame's local time of day (the loader converts once a minute), and the
// trace stays dated by its first frame after the 16-bit sequence numbers
// wrap at 65536 frames.
TEST(CaptureImportLong, LocalTimesAcrossSummerTimeAndTheDateOfTheFirstFrame) {
    ScopedTimeZone zone(kCentralEurope);
    // 2023-10-29 00:30:00 UTC: 02:30 summer time, half an hour before the clocks go back.
    constexpr std::uint32_t kStart = 1698539400;
    constexpr int kFrames = 65540;
    std::vector<PcapPacket> packets;
    packets.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        // One frame a second for the first hour, then one every 7 seconds.
        const std::uint32_t at = i < 3600 ? kStart + i : kStart + 3600 + (i - 3600) * 7;
        packets.emplace_back(at, 0, LinuxLapd(4, 0, kRr));
    }
    const Bytes file = Pcap(false, false, 177, packets);
    tracefile::MemorySource source(file);
    trace::CTraceLog log;
    ASSERT_EQ(trace::LoadCapture(log, source), 1);
    ASSERT_EQ(log.GetRecordCount(), kFrames);
    for (int i = 0; i < kFrames; ++i) {
        std::tm local{};
        const auto when = static_cast<std::time_t>(packets[static_cast<std::size_t>(i)].seconds);
        localtime_r(&when, &local);
        const auto r = log.GetRecord(i);
        ASSERT_EQ(r->GetHours(), local.tm_hour) << i;
        ASSERT_EQ(r->GetMinutes(), local.tm_min) << i;
        ASSERT_EQ(r->GetSeconds(), local.tm_sec) << i;
    }
    EXPECT_EQ(log.GetSequence(65535), 0);
    ASSERT_TRUE(log.GetTraceDate());
    EXPECT_EQ(log.GetTraceDate()->year, 2023);
    EXPECT_EQ(log.GetTraceDate()->month, 10);
    EXPECT_EQ(log.GetTraceDate()->day, 29);
    EXPECT_EQ(log.GetTraceDate()->hour, 2);
}

}  // namespace
