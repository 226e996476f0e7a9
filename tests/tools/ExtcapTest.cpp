// trctool as the packet analyser meets it: the real tshark finds it in a
// personal extcap folder, lists one interface per adapter, captures live
// from the emulated card with the right directions, and shows the card's
// refusal at once. Also streaming a capture into a pipe.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <unistd.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::Lines;
using testsupport::RunProgram;

std::optional<std::string> FindTshark() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const auto candidate = std::filesystem::path(dir) / "tshark";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}

// A HOME whose personal extcap folder (tshark 4.0: the personal
// configuration folder's extcap subfolder) holds a link to trctool.
class ExtcapTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const auto tshark = FindTshark();
        if (!tshark) GTEST_SKIP() << "tshark is not installed";
        m_tshark = *tshark;
        const auto folder = m_dir / ".config" / "wireshark" / "extcap";
        std::filesystem::create_directories(folder);
        std::filesystem::create_symlink(TRCTOOL_PATH, folder / "trctool");
    }
    testsupport::ProgramResult Tshark(const std::vector<std::string>& args, const std::string& emulator) {
        return RunProgram(m_tshark, args,
                          "HOME=" + testsupport::ShellQuote(m_dir.string()) + " ORINTPX_EMULATOR=" +
                              testsupport::ShellQuote(emulator) + " ");
    }
    std::string m_tshark;
};

TEST_F(ExtcapTest, AnalyserListsEveryAdapterAsAnInterface) {
    for (const auto& [emulator, adapters] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{{"", {"OrinBri1"}},
                                                                         {"adapters=2", {"OrinBri1", "OrinBri2"}}}) {
        SCOPED_TRACE(emulator);
        const auto listed = Tshark({"-D"}, emulator);
        ASSERT_EQ(listed.status, 0) << listed.err;
        for (const std::string& a : adapters)
            EXPECT_NE(listed.out.find(a + " (ISDN D-channel (" + a + "))"), std::string::npos) << listed.out;
        EXPECT_EQ(listed.out.find("OrinBri" + std::to_string(adapters.size() + 1)), std::string::npos);
    }
}

// The protocol's other questions, and arguments that make no sense.
TEST_F(ExtcapTest, AnswersTheProtocolsQuestionsAndRefusesNonsense) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string output;  // a part of standard output (0) or error (2)
    };
    const std::vector<Case> cases = {
        {{"--extcap-interfaces", "--extcap-version=4.0"}, 0, "interface {value=OrinBri1}{display=ISDN D-channel (OrinBri1)}"},
        {{"--extcap-dlts", "--extcap-interface", "OrinBri1"}, 0, "dlt {number=203}{name=LAPD}"},
        {{"--extcap-config", "--extcap-interface=OrinBri1"}, 0, "{call=--count}"},
        {{"--extcap-dlts"}, 2, "--extcap-interface is missing"},
        {{"--capture", "--extcap-interface", "OrinBri1"}, 2, "--fifo is missing"},
        {{"--extcap-interfaces", "--extcap-dlts"}, 2, "give one of"},
        {{"--capture", "--extcap-interface", "OrinBri1", "--fifo", "f", "--count", "x"}, 2, "--count needs a number"},
    };
    for (const Case& c : cases) {
        const auto result = RunProgram(TRCTOOL_PATH, c.args);
        SCOPED_TRACE(c.args[0]);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_NE((c.status == 0 ? result.out : result.err).find(c.output), std::string::npos)
            << result.out << result.err;
    }
}

// Directions as tshark reads them from the packet flags: 0 user to network,
// 1 network to user. The emulated line's outgoing call: SETUP and the keypad
// INFORMATION from the user, SETUP ACKNOWLEDGE, CALL PROCEEDING, ALERTING and
// CONNECT from the network, CONNECT ACKNOWLEDGE from the user.
TEST_F(ExtcapTest, LiveCaptureShowsTheCallWithItsDirections) {
    const auto captured = Tshark({"-i", "OrinBri2", "-a", "duration:3", "-T", "fields", "-E", "separator=;", "-e",
                                  "lapd.direction", "-e", "lapd.sapi", "-e", "q931.message_type"},
                                 "adapters=2;rate=40");
    ASSERT_EQ(captured.status, 0) << captured.err;
    std::set<std::string> seen;
    int frames = 0;
    for (const std::string& line : Lines(captured.out)) {
        seen.insert(line);
        ++frames;
    }
    EXPECT_GE(frames, 40) << captured.out;
    EXPECT_TRUE(seen.count("0;63;")) << "TEI management from the user";
    for (const char* expected : {"0;0;0x05", "0;0;0x7b", "1;0;0x0d", "1;0;0x02", "1;0;0x01", "1;0;0x07", "0;0;0x0f"})
        EXPECT_TRUE(seen.count(expected)) << expected << " missing in\n" << captured.out;
}

TEST_F(ExtcapTest, CardRefusingTheTraceIsShownAtOnce) {
    const auto refused = Tshark({"-i", "OrinBri1", "-a", "duration:30"}, "refuse=9900:5");
    EXPECT_NE(refused.err.find("Could not start trace."), std::string::npos) << refused.err;
    // A capture of 30 seconds ended at once: tshark did not wait on the fifo.
    EXPECT_NE(refused.err.find("0 packets captured"), std::string::npos) << refused.err;
}

// -w -: the capture on standard output, read by tshark from a pipe and by
// our own reader, complete up to the count; pcapng unless --format says.
TEST_F(ExtcapTest, StreamedCaptureReadsBackInEveryFormat) {
    for (const std::string format : {"", "pcapng", "pcap", "log"}) {
        SCOPED_TRACE(format);
        const auto out = m_dir / ("stream." + format);
        const auto streamed = RunProgram(
            "sh", {"-c", testsupport::ShellQuote(TRCTOOL_PATH) + " capture --count 25 -q -w - " +
                             (format.empty() ? "" : "--format " + format) + " > " +
                             testsupport::ShellQuote(out.string())},
            "ORINTPX_EMULATOR='rate=0' TMPDIR=" + testsupport::ShellQuote(m_dir.string()) + " ");
        ASSERT_EQ(streamed.status, 0) << streamed.err;
        trace::CTraceLog log;
        ASSERT_EQ(log.LoadFile(out), 1);
        EXPECT_EQ(log.GetRecordCount(), 25);
        for (int i = 0; i < log.GetRecordCount(); ++i) EXPECT_EQ(log.GetMnemonic(i), "DCH");
        if (format.empty()) {
            const auto bytes = testsupport::ReadFile(out);
            ASSERT_GE(bytes.size(), 4u);
            EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
                      (std::vector<std::uint8_t>{0x0A, 0x0D, 0x0D, 0x0A}));
        }
        if (format != "log") {
            const auto read = RunProgram(m_tshark, {"-r", out.string(), "-T", "fields", "-e", "lapd.direction"});
            EXPECT_EQ(read.status, 0) << read.err;
            EXPECT_EQ(Lines(read.out).size(), 25u);
        }
    }
    // -Y narrows the stream to what the filter lets through.
    const auto filtered = m_dir / "setups.log";
    const auto narrowed = RunProgram(
        "sh", {"-c", testsupport::ShellQuote(TRCTOOL_PATH) + " capture --count 40 -q -w - -Y 'msg == \"SETUP\"' > " +
                         testsupport::ShellQuote(filtered.string())},
        "ORINTPX_EMULATOR='rate=0' TMPDIR=" + testsupport::ShellQuote(m_dir.string()) + " ");
    ASSERT_EQ(narrowed.status, 0) << narrowed.err;
    trace::CTraceLog setups;
    ASSERT_EQ(setups.LoadFile(filtered), 1);
    ASSERT_GT(setups.GetRecordCount(), 0);
    EXPECT_LT(setups.GetRecordCount(), 40);
    for (int i = 0; i < setups.GetRecordCount(); ++i) EXPECT_EQ(setups.GetMessage(i), "SETUP");
    // A reader that goes away ends the capture cleanly.
    const auto piped = RunProgram(
        "bash", {"-o", "pipefail", "-c", testsupport::ShellQuote(TRCTOOL_PATH) + " capture -w - --format pcapng | head -c 100 > /dev/null"},
        "ORINTPX_EMULATOR='rate=0' TMPDIR=" + testsupport::ShellQuote(m_dir.string()) + " ");
    EXPECT_EQ(piped.status, 0) << piped.err;
    const auto terminal = RunProgram(TRCTOOL_PATH, {"capture", "--format", "pcap"});
    EXPECT_EQ(terminal.status, 2);
}

}  // namespace
