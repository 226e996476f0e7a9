// trctool dump, calls and check on captures recorded on real lines by
// others, compared with what tshark shows of the same files in the same
// run: one dump line per frame tshark's `-Y lapd` keeps, with its side, SAPI
// and TEI. Files without LAPD, and folders, say what they are and exit 1.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"

namespace {

using testsupport::Lines;
using testsupport::RunProgram;

const std::string kTrctool = TRCTOOL_PATH;

// Splits a tab-separated line into its cells.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells(1);
    for (const char c : line) {
        if (c == '\t') cells.emplace_back();
        else cells.back() += c;
    }
    return cells;
}

class RealCaptureCommands : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCaptureCommands, DumpShowsTsharksLapdFramesAndCallsAndCheckOpenThem) {
    const std::string path = (testsupport::RealCapturesFolder() / GetParam()).string();
    const auto shark = RunProgram("tshark", {"-r", path, "-Y", "lapd", "-T", "fields", "-e", "lapd.direction", "-e",
                                             "lapd.sapi", "-e", "lapd.tei"});
    if (shark.status == 127) GTEST_SKIP() << "tshark is not installed";
    ASSERT_EQ(shark.status, 0) << shark.err;
    const auto expected = Lines(shark.out);
    ASSERT_FALSE(expected.empty());

    const auto dump = RunProgram(kTrctool, {"dump", path});
    EXPECT_EQ(dump.status, 0) << dump.err;
    const auto lines = Lines(dump.out);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i + 1));
        const auto ours = Cells(lines[i]);
        const auto theirs = Cells(expected[i]);
        ASSERT_EQ(ours.size(), 13u);
        ASSERT_EQ(theirs.size(), 3u);
        EXPECT_EQ(ours[5], theirs[0] == "0" ? "TE" : "NT");
        // The Address cell: SAPI-TEI-C/R, zero-padded.
        EXPECT_EQ(std::stoi(ours[6].substr(0, 2)), std::stoi(theirs[1]));
        EXPECT_EQ(std::stoi(ours[6].substr(3, 3)), std::stoi(theirs[2]));
    }
    for (const char* command : {"calls", "check"}) {
        SCOPED_TRACE(command);
        const auto result = RunProgram(kTrctool, {command, path});
        EXPECT_NE(result.status, 2) << result.err;
        EXPECT_EQ(result.err.find("could not be read"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("not a valid log file"), std::string::npos) << result.err;
        EXPECT_FALSE(result.out.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RealCaptureCommands,
                         ::testing::Values("abis-accept-network.pcap", "i4b.trace", "toshiba.general.gz",
                                           "dct2000_test.out"),
                         [](const auto& p) {
                             std::string name = p.param;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// What is no trace of LAPD is said, and every command exits 1 without output.
TEST(RealCaptureCommandsRefuse, ACaptureWithoutLapdAndAFolderSayWhatTheyAre) {
    const std::string eyesdn = (testsupport::RealCapturesFolder() / "eyesdn-dpnss.trc").string();
    const std::string folder = testsupport::RealCapturesFolder().string();
    const struct {
        std::string path;
        std::string err;
    } cases[] = {
        {eyesdn,
         "This capture file (EyeSDN USB S0/E1 ISDN trace format) holds 100 frames of DPNSS (92) and EyeSDN Layer 1 "
         "event (8), none of them LAPD.\n"},
        {folder, "trctool: " + folder + " is a folder; give a trace log or capture file\n"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"dump", "calls", "check"}) {
            SCOPED_TRACE(std::string(command) + " " + c.path);
            const auto result = RunProgram(kTrctool, {command, c.path});
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, c.err);
        }
    }
}

}  // namespace
