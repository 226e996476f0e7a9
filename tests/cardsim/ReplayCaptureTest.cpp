// traffic=replay of pcap and pcapng captures: the frames and their sides as
// the capture holds them, and a clear reason when it cannot be replayed.

#include <gtest/gtest.h>

#include "cardsim/Settings.h"
#include "tests/support/TraceFiles.h"
#include "tests/trace/CaptureFiles.h"

namespace {

using capturefiles::Bytes;
using capturefiles::LinuxLapd;
using capturefiles::Pcap;
using capturefiles::PcapNg;
using capturefiles::PcapPacket;

const Bytes kSabme = {0x00, 0x81, 0x7F};
const Bytes kUa = {0x00, 0x81, 0x73};

class ReplayCapture : public testsupport::TempDirTest {};

TEST_F(ReplayCapture, ReplaysFramesWithTheirSidesFromPcapAndPcapng) {
    Bytes longFrame(300, 0x11);
    const struct {
        const char* name;
        Bytes file;
        std::vector<std::pair<Bytes, std::uint8_t>> frames;  // data, flags
    } cases[] = {
        {"177.pcap",
         Pcap(true, false, 177, {{1, 0, LinuxLapd(4, 0, kSabme)}, {2, 0, LinuxLapd(0, 0, kUa)}, {3, 0, LinuxLapd(0, 0, longFrame)}}),
         {{kSabme, 0x00}, {kUa, 0x01}, {Bytes(280, 0x11), 0x01}}},
        {"203.pcap", Pcap(false, true, 203, {{1, 0, kSabme}}), {{kSabme, 0x00}}},
        {"flags.pcapng", PcapNg(false).Section().Interface(203).Packet(0, 1, kSabme, 2).Packet(0, 2, kUa, 1).Out(),
         {{kSabme, 0x00}, {kUa, 0x01}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = m_dir / c.name;
        testsupport::WriteFile(path, c.file);
        std::string error;
        const auto settings = cardsim::ParseSettings("traffic=replay:" + path.string(), &error);
        ASSERT_TRUE(settings) << error;
        EXPECT_EQ(settings->traffic, cardsim::Traffic::Replay);
        ASSERT_EQ(settings->replay.size(), c.frames.size());
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(settings->replay[i].data, c.frames[i].first) << i;
            EXPECT_EQ(settings->replay[i].flags, c.frames[i].second) << i;
        }
    }
}

TEST_F(ReplayCapture, RefusesCapturesItCannotReplayWithTheReason) {
    const struct {
        const char* name;
        Bytes file;
        const char* reason;
    } cases[] = {
        {"ethernet.pcap", Pcap(false, false, 1, {{1, 0, kSabme}}), "1 frame of Ethernet, which is not LAPD"},
        {"empty.pcapng", PcapNg(false).Section().Interface(203).Out(), "no frames in the capture file"},
        {"damaged.pcap", Pcap(false, false, 203, {{1, 0, kSabme, 0x10000000}}), "damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = m_dir / c.name;
        testsupport::WriteFile(path, c.file);
        std::string error;
        EXPECT_FALSE(cardsim::LoadReplayFrames(path.string(), &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    }
}

}  // namespace
