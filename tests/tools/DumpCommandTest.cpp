// trctool dump as a script sees it: standard output, standard error and the
// exit status, for good files, damaged files and wrong usage.

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"
#include "tests/trace/CaptureFiles.h"

namespace {

using testsupport::Concat;
using testsupport::FileHeader;
using testsupport::Lines;
using testsupport::MakeRecord;
using testsupport::RecordFields;
using testsupport::RunProgram;

const std::string kTrctool = TRCTOOL_PATH;

class DumpCommandTest : public testsupport::TempDirTest {
protected:
    std::string WriteThreeKinds() {
        RecordFields ascii;
        ascii.type = 1;
        ascii.sequence = 7;
        ascii.hours = 1;
        ascii.minutes = 2;
        ascii.seconds = 3;
        ascii.hundredths = 4;
        ascii.b = 2;
        ascii.ln = 11;
        const std::string text = "a\\b\tc\x01";
        ascii.data.assign(text.begin(), text.end());
        RecordFields hex;
        hex.type = 2;
        hex.sequence = 1000;
        hex.data = {0x41, 0x00, 0xFF};
        RecordFields dch;
        dch.sequence = 9;
        dch.data = {0x02, 0x81, 0x01, 0x03};
        const auto path = m_dir / "three.log";
        testsupport::WriteFile(path, Concat({FileHeader(), MakeRecord(ascii), MakeRecord(hex), MakeRecord(dch)}));
        return path.string();
    }
};

TEST_F(DumpCommandTest, PrintsOneEscapedLineOfThirteenCellsPerRecord) {
    const auto result = RunProgram(kTrctool, {"dump", WriteThreeKinds()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "007\t  01:02:03.04\t 2\t11\tASC\t\t\t\t\t\t\t\ta\\\\b   c.\\n");
    EXPECT_EQ(lines[1], "1000\t  12:34:56.78\t 0\t 0\t\t\t\t\t\t\t\t\t");
    EXPECT_EQ(lines[2].substr(0, 28), "009\t  12:34:56.78\t 0\t 0\tDCH\t");
}

TEST_F(DumpCommandTest, HexOptionIndentsTheDumpBelowEachRecord) {
    const auto result = RunProgram(kTrctool, {"dump", "--hex", WriteThreeKinds()});
    ASSERT_EQ(result.status, 0);
    const auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], "  0x0000  61 5C 62 09 63 01" + std::string(32, ' ') + "a\\b.c." + std::string(10, ' '));
    EXPECT_EQ(lines[3], "  0x0000  41 00 FF" + std::string(41, ' ') + "A.." + std::string(13, ' '));
    EXPECT_EQ(RunProgram(kTrctool, {"dump", "--tree", "--hex", WriteThreeKinds()}).status, 0);
}

TEST_F(DumpCommandTest, DamagedFilePrintsTheRecordsBeforeTheDamageAndTheLoadersMessage) {
    RecordFields good;
    good.data = {0x00, 0x81, 0x7F};
    RecordFields bad = good;
    bad.trailer = 1;
    const auto path = m_dir / "damaged.log";
    testsupport::WriteFile(path, Concat({FileHeader(), MakeRecord(good), MakeRecord(bad)}));
    const auto result = RunProgram(kTrctool, {"dump", path.string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(Lines(result.out).size(), 1u);
    EXPECT_EQ(result.err, "Inconsistent record contents!\n");

    testsupport::WriteFile(path, {'n', 'o', 't'});
    const auto invalid = RunProgram(kTrctool, {"dump", path.string()});
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.out, "");
    EXPECT_EQ(invalid.err, "This file is not a valid log file.\n");
}

TEST_F(DumpCommandTest, UnopenableFileAndWrongUsage) {
    const std::string missing = (m_dir / "missing.log").string();
    const auto result = RunProgram(kTrctool, {"dump", missing});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "trctool: cannot open " + missing + ": No such file or directory\n");

    for (const std::vector<std::string>& args : {std::vector<std::string>{"dump"},
                                                 {"dump", "--bogus", "x.log"},
                                                 {"dump", "a.log", "b.log"},
                                                 {"nosuchcommand"},
                                                 {}}) {
        const auto usage = RunProgram(kTrctool, args);
        EXPECT_EQ(usage.status, 2);
        EXPECT_NE(usage.err.find("usage: trctool"), std::string::npos) << usage.err;
        EXPECT_EQ(usage.out, "");
    }
    const auto help = RunProgram(kTrctool, {"dump", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: trctool dump"), std::string::npos);
}

TEST_F(DumpCommandTest, TreeOptionPrintsEveryNodeIndentedByDepthBeforeTheHex) {
    RecordFields connect;
    connect.sequence = 5;
    connect.flags = 0x01;
    // CONNECT with a display whose text holds a tab, escaped like a cell.
    connect.data = {0x02, 0x81, 0x04, 0x02, 0x08, 0x01, 0x81, 0x07, 0x28, 0x03, 'A', '\t', 'B'};
    const auto path = m_dir / "connect.log";
    testsupport::WriteFile(path, Concat({FileHeader(), MakeRecord(connect)}));

    const std::vector<std::string> tree = {
        "  Frame", "    Seq: 005", "    Time:   12:34:56:78", "    B:  0", "    LN:  0",
        "  Layer 2", "    Source: NT", "    Address: 00-064-C", "    FTYP: I", "    P: 0", "    NS: 002",
        "    NR: 001", "    CRV: D00001", "    Message: CONNECT",
        "  Layer 3", "    1- display        ", "      Index: 0008", "      #: 28", "      Ln: 03",
        "      Name: DISPLAY        ", "      Mnemonic: A\\tB"};
    const auto result = RunProgram(kTrctool, {"dump", "--tree", path.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1 + tree.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), tree);

    const auto both = RunProgram(kTrctool, {"dump", "--hex", "--tree", path.string()});
    ASSERT_EQ(both.status, 0) << both.err;
    lines = Lines(both.out);
    ASSERT_EQ(lines.size(), 1 + tree.size() + 1);
    EXPECT_EQ(lines[tree.size()], tree.back());
    EXPECT_EQ(lines.back().substr(0, 10), "  0x0000  ");

    // --detail adds the display's text as a field of its own, escaped too,
    // after the five fields; alone it implies --tree.
    std::vector<std::string> detailed = tree;
    detailed.push_back("      Display text: A\\tB");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dump", "--tree", "--detail", path.string()},
          std::vector<std::string>{"dump", "--detail", path.string()}}) {
        const auto withDetails = RunProgram(kTrctool, args);
        ASSERT_EQ(withDetails.status, 0) << withDetails.err;
        lines = Lines(withDetails.out);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), detailed);
    }
}

TEST_F(DumpCommandTest, DisplayFilterPrintsOnlyMatchingRecordsAndRefusesABadOne) {
    const std::string path = WriteThreeKinds();
    const auto dch = RunProgram(kTrctool, {"dump", "-Y", "mod == DCH", path});
    EXPECT_EQ(dch.status, 0) << dch.err;
    ASSERT_EQ(Lines(dch.out).size(), 1u);
    EXPECT_EQ(Lines(dch.out)[0].substr(0, 4), "009\t");

    const auto none = RunProgram(kTrctool, {"dump", "--tree", "-Y", "msg == SETUP", path});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");

    const auto bad = RunProgram(kTrctool, {"dump", "-Y", "tei ==", path});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(Lines(bad.err)[0],
              "trctool dump: bad display filter: expected a value after \"==\", found the end (at character 7)");
    EXPECT_EQ(RunProgram(kTrctool, {"dump", path, "-Y"}).status, 2);
}

TEST_F(DumpCommandTest, SampleFileReadsBackWithEveryRecord) {
    const std::string path = (m_dir / "sample.log").string();
    ASSERT_EQ(RunProgram(kTrctool, {"sample", path}).status, 0);
    const auto result = RunProgram(kTrctool, {"dump", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(Lines(result.out).size(), 16u);
}

// Captures as dump meets them: one cut inside a packet prints the frames
// before the cut and fails; one without sides says so once and still succeeds.
TEST_F(DumpCommandTest, CapturesCutShortFailAfterTheirFramesAndSidelessOnesSaySoOnce) {
    const testsupport::Bytes ua = {0x00, 0x81, 0x73};
    testsupport::Bytes cut = capturefiles::Pcap(false, false, 177,
                                                {{1700000000, 0, capturefiles::LinuxLapd(0, 0, ua)},
                                                 {1700000001, 0, capturefiles::LinuxLapd(4, 0, ua)}});
    cut.resize(cut.size() - 2);
    const auto cutPath = m_dir / "cut.pcap";
    testsupport::WriteFile(cutPath, cut);
    const auto truncated = RunProgram(kTrctool, {"dump", cutPath.string()});
    EXPECT_EQ(truncated.status, 1);
    EXPECT_EQ(Lines(truncated.out).size(), 1u);
    EXPECT_EQ(truncated.err, "The capture file ends in the middle of a packet; the frames before it are shown.\n");

    const auto sidelessPath = m_dir / "sideless.pcap";
    testsupport::WriteFile(sidelessPath, capturefiles::Pcap(false, false, 203, {{1700000000, 0, ua}, {1700000001, 0, ua}}));
    const auto sideless = RunProgram(kTrctool, {"dump", sidelessPath.string()});
    EXPECT_EQ(sideless.status, 0);
    EXPECT_EQ(Lines(sideless.out).size(), 2u);
    EXPECT_EQ(sideless.err,
              "This capture file does not say which side sent each frame; its frames are shown as from the user side "
              "(TE), and the side is unknown.\n");
}

}  // namespace
