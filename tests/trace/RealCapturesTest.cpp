// Captures recorded on real lines by others, in the formats packet analysers
// read, open as D-channel records: as many frames as tshark shows with
// `-Y lapd`, each from the side tshark gives (lapd.direction), compressed
// copies the same as the originals, in steps the same as in one go. A file
// without LAPD says what it holds. The expected figures were taken from
// tshark 4.0 (`tshark -r FILE -Y lapd -T fields -e lapd.direction -e
// lapd.address`).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TraceFiles.h"
#include "tests/support/RunProgram.h"
#include "trace/TraceLog.h"

namespace {

struct RealCapture {
    const char* name;
    const char* file;      // in tests/data/realcaps
    const char* compress;  // nullptr, or the program that compresses a copy (gzip, zstd, lz4)
    int result;
    // One letter per LAPD frame: T user to network, N network to user.
    const char* sides;
    std::uint16_t firstAddress;  // the first frame's two address octets
    std::vector<std::string> messages;
};

void PrintTo(const RealCapture& c, std::ostream* os) { *os << c.name; }

const std::string kAbisSides =
    "NTNTNTNTNNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNTNNNNNTTNNTTNNTTTNNNTTTNT";
const std::string kI4bSides = "TNTNTNNNNTNTNTNNNNNTNNNTNN";
const std::string kI4bSkipped =
    "68 packets that are not D-channel LAPD (the first of them ISDN B channel) were skipped; the LAPD frames are "
    "shown.";

std::vector<RealCapture> Captures() {
    return {
        {"PcapOfLinuxLapd", "abis-accept-network.pcap", nullptr, 1, kAbisSides.c_str(), 0xFA33, {}},
        {"GzipPcap", "abis-accept-network.pcap", "gzip", 1, kAbisSides.c_str(), 0xFA33, {}},
        {"ZstdPcap", "abis-accept-network.pcap", "zstd", 1, kAbisSides.c_str(), 0xFA33, {}},
        {"Lz4Pcap", "abis-accept-network.pcap", "lz4", 1, kAbisSides.c_str(), 0xFA33, {}},
        {"I4bTrace", "i4b.trace", nullptr, 1, kI4bSides.c_str(), 0xFCFF, {kI4bSkipped}},
        {"GzipI4bTrace", "i4b.trace", "gzip", 1, kI4bSides.c_str(), 0xFCFF, {kI4bSkipped}},
        {"ToshibaGzip", "toshiba.general.gz", nullptr, 1, "NN", 0x0283,
         {"160 packets that are not D-channel LAPD (the first of them Ethernet) were skipped; the LAPD frames are "
          "shown."}},
        {"Dct2000", "dct2000_test.out", nullptr, 1, "N", 0x0303,
         {"9 packets that are not D-channel LAPD (the first of them DCT2000 ppp) were skipped; the LAPD frames are "
          "shown."}},
        {"EyeSdnWithoutLapd", "eyesdn-dpnss.trc", nullptr, 0, "", 0,
         {"This capture file (EyeSDN USB S0/E1 ISDN trace format) holds 100 frames of DPNSS (92) and EyeSDN Layer 1 "
          "event (8), none of them LAPD."}},
    };
}

class RealCaptures : public testsupport::TempDirTest, public ::testing::WithParamInterface<RealCapture> {
protected:
    // The capture, or a copy compressed by the case's program.
    std::filesystem::path Input() {
        const RealCapture& c = GetParam();
        const auto original = testsupport::RealCapturesFolder() / c.file;
        if (c.compress == nullptr) return original;
        const auto copy = m_dir / (std::string(c.file) + "." + c.compress);
        const std::string command = std::string(c.compress) + " -c " + testsupport::ShellQuote(original.string()) +
                                    " > " + testsupport::ShellQuote(copy.string());
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return copy;
    }
};

TEST_P(RealCaptures, OpenWithTsharksFramesAndSidesInOneGoAndInSteps) {
    const RealCapture& c = GetParam();
    const auto path = Input();
    const std::string sides = c.sides;
    for (const int step : {1 << 20, 7}) {
        SCOPED_TRACE("step " + std::to_string(step));
        testsupport::RecordingMessageBox box;
        trace::CTraceLog log;
        int answer = log.BeginLoad(path, nullptr, step);
        int steps = 1;
        while (answer == trace::CTraceLog::kLoadGoesOn) {
            // Frames arrive a step at a time, never more.
            EXPECT_EQ(log.GetRecordCount(), steps * step);
            EXPECT_LE(log.LoadedFraction(), 1.0);
            answer = log.LoadMore(step);
            ++steps;
        }
        EXPECT_EQ(answer, c.result);
        EXPECT_FALSE(log.IsLoading());
        EXPECT_EQ(box.Texts(), c.messages);
        ASSERT_EQ(log.GetRecordCount(), static_cast<int>(sides.size()));
        std::string seen;
        for (int i = 0; i < log.GetRecordCount(); ++i) {
            EXPECT_EQ(log.GetMnemonic(i), "DCH");
            EXPECT_EQ(log.GetSequence(i), i + 1);
            seen += log.GetSource(i) == "TE" ? 'T' : 'N';
        }
        EXPECT_EQ(seen, sides);
        if (!sides.empty()) {
            const auto data = log.GetRecord(0)->GetData();
            ASSERT_GE(data.size(), 2u);
            EXPECT_EQ(data[0] << 8 | data[1], c.firstAddress);
            EXPECT_TRUE(log.GetTraceDate());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RealCaptures, ::testing::ValuesIn(Captures()),
                         [](const auto& p) { return std::string(p.param.name); });

// A capture cut short keeps the frames before the cut and says so.
class RealCapturesCut : public testsupport::TempDirTest {};

TEST_F(RealCapturesCut, FramesBeforeTheCutStayAndTheCutIsSaid) {
    const auto whole = testsupport::ReadFile(testsupport::RealCapturesFolder() / "i4b.trace");
    ASSERT_GT(whole.size(), 2000u) << "no capture in " << testsupport::RealCapturesFolder();
    const auto cut = m_dir / "i4b-cut.trace";
    testsupport::WriteFile(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 2000));
    testsupport::RecordingMessageBox box;
    trace::CTraceLog log;
    EXPECT_EQ(log.LoadFile(cut), 2);
    EXPECT_EQ(log.GetRecordCount(), 16);
    ASSERT_FALSE(box.Texts().empty());
    EXPECT_EQ(box.Texts().back(), "The capture file ends in the middle of a packet; the frames before it are shown.");
}

}  // namespace
