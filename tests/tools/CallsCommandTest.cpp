// trctool calls and trctool check as scripts use them: the call table, a
// ladder, the problem list and the exit status, from trace logs and captures.

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"

namespace {

using testsupport::Bytes;
using testsupport::Lines;
using testsupport::RecordFields;
using testsupport::RunProgram;

const std::string kTrctool = TRCTOOL_PATH;

struct Frame {
    bool network;
    Bytes data;
};

// TEI 64 assigned, link up, an outgoing call answered and cleared by the
// terminal; `faulty` adds a second call whose SETUP lacks its bearer capability.
std::vector<Frame> CallFrames(bool faulty) {
    std::vector<Frame> frames = {
        {false, {0xFC, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x01, 0xFF}},
        {true, {0xFE, 0xFF, 0x03, 0x0F, 0x12, 0x34, 0x02, 0x81}},
        {false, {0x00, 0x81, 0x7F}},
        {true, {0x00, 0x81, 0x73}},
        {false, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x70, 0x04, 0xA1, '7',
                 '7', '7'}},
        {true, {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x07, 0x18, 0x01, 0x89}},
        {false, {0x00, 0x81, 0x02, 0x02, 0x08, 0x01, 0x01, 0x45, 0x08, 0x02, 0x80, 0x90}},
        {true, {0x02, 0x81, 0x02, 0x04, 0x08, 0x01, 0x81, 0x4D}},
        {false, {0x00, 0x81, 0x04, 0x04, 0x08, 0x01, 0x01, 0x5A}},
    };
    if (faulty) frames.push_back({false, {0x00, 0x81, 0x06, 0x04, 0x08, 0x01, 0x02, 0x05, 0x18, 0x01, 0x83}});
    return frames;
}

class CallsCommandTest : public testsupport::TempDirTest {
protected:
    // Records numbered from `first`; with `cycle`, the numbers start again
    // at `first` after that many records (a log whose numbers wrapped).
    std::string WriteLog(const std::string& name, bool faulty, std::uint16_t first = 1, unsigned cycle = 0) {
        Bytes file = testsupport::FileHeader();
        unsigned index = 0;
        std::uint8_t hundredths = 0;
        for (const Frame& f : CallFrames(faulty)) {
            RecordFields r;
            r.sequence = static_cast<std::uint16_t>(first + (cycle > 0 ? index % cycle : index));
            ++index;
            r.hours = 10;
            r.minutes = 0;
            r.seconds = 0;
            r.hundredths = hundredths;
            hundredths = static_cast<std::uint8_t>(hundredths + 10);
            r.flags = f.network ? 0x01 : 0x00;
            r.data = f.data;
            const Bytes raw = testsupport::MakeRecord(r);
            file.insert(file.end(), raw.begin(), raw.end());
        }
        const std::string path = (m_dir / name).string();
        testsupport::WriteFile(path, file);
        return path;
    }
};

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return cells;
        start = tab + 1;
    }
}

TEST_F(CallsCommandTest, CallTableOneCallALine) {
    const auto r = RunProgram(kTrctool, {"calls", WriteLog("t.log", true)});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(Cells(lines[0]).size(), 16u);
    const auto first = Cells(lines[1]);
    ASSERT_EQ(first.size(), 16u);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[1], "10:00:00.40");
    EXPECT_EQ(first[3], "0:00.40");
    EXPECT_EQ(first[4], "outgoing");
    EXPECT_EQ(first[8], "777");
    EXPECT_EQ(first[9], "speech");
    EXPECT_EQ(first[10], "B1");
    EXPECT_EQ(first[11], "released");
    EXPECT_EQ(first[12], "answered");
    EXPECT_EQ(first[13], "16 NORMAL CALL CLEARING");
    EXPECT_EQ(first[14], "TE");
    EXPECT_EQ(first[15], "5");
    // Its SETUP is the trace's last record: the network may still answer it.
    const auto second = Cells(lines[2]);
    EXPECT_EQ(second[12], "in progress");
}

TEST_F(CallsCommandTest, LadderArrowsFollowTheSender) {
    const auto r = RunProgram(kTrctool, {"calls", "--ladder", "1", WriteLog("t.log", false)});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 9u) << r.out;  // title, column heads, SABME, UA and five messages
    EXPECT_NE(lines[4].find("|--SETUP"), std::string::npos) << lines[4];
    EXPECT_NE(lines[4].find("#005"), std::string::npos) << lines[4];
    EXPECT_NE(lines[5].find("CONNECT--|"), std::string::npos) << lines[5];
    EXPECT_NE(lines[5].find("|<-"), std::string::npos) << lines[5];
}

TEST_F(CallsCommandTest, ExitStatusTellsWhetherErrorsWereFound) {
    struct Case {
        const char* name;
        bool faulty;
        int status;
        std::size_t lines;
    } cases[] = {{"clean", false, 0, 1}, {"faulty", true, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = RunProgram(kTrctool, {"check", WriteLog(std::string(c.name) + ".log", c.faulty)});
        EXPECT_EQ(r.status, c.status) << r.err;
        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), c.lines) << r.out;
        if (c.faulty) {
            const auto cells = Cells(lines[1]);
            EXPECT_EQ(cells[0], "010");
            EXPECT_EQ(cells[1], "error");
            EXPECT_NE(cells[2].find("bearer capability"), std::string::npos);
        }
    }
}

// Problems and ladder arrows name a record by the Seq # that `dump` and the
// record list show, with its time of day where the number is not unique.
TEST_F(CallsCommandTest, RecordsNamedAsTheListShowsThem) {
    struct Case {
        const char* name;
        std::uint16_t first;
        unsigned cycle;
        const char* problem;  // the faulty SETUP, the tenth record
        const char* setup;    // the answered call's SETUP, the fifth
    } cases[] = {
        {"numbered from 1", 1, 0, "010", "#005"},
        {"numbered from 215", 215, 0, "224", "#219"},
        {"numbers that wrapped", 65530, 0, "003", "#65534"},
        {"numbers used twice", 1, 6, "004 (10:00:00.90)", "#005"},
        {"fifth number used twice", 1, 4, "002 (10:00:00.90)", "#001 (10:00:00.40)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string log = WriteLog("named.log", true, c.first, c.cycle);
        const auto check = RunProgram(kTrctool, {"check", log});
        const auto lines = Lines(check.out);
        ASSERT_EQ(lines.size(), 2u) << check.out;
        EXPECT_EQ(Cells(lines[1])[0], c.problem);
        const auto ladder = RunProgram(kTrctool, {"calls", "--ladder", "1", log});
        const auto steps = Lines(ladder.out);
        ASSERT_GE(steps.size(), 5u) << ladder.out;
        EXPECT_NE(steps[4].find(c.setup), std::string::npos) << steps[4];
    }
}

TEST_F(CallsCommandTest, CaptureFilesGiveTheSameAnswers) {
    const std::string log = WriteLog("t.log", true);
    const std::string pcap = (m_dir / "t.pcapng").string();
    ASSERT_EQ(RunProgram(kTrctool, {"export", "--format", "pcapng", "-o", pcap, log}).status, 0);
    const auto fromLog = RunProgram(kTrctool, {"check", log});
    const auto fromPcap = RunProgram(kTrctool, {"check", pcap});
    EXPECT_EQ(fromPcap.status, 1);
    EXPECT_EQ(fromPcap.out, fromLog.out);
}

// Clean traffic recorded on real lines: a one-terminal capture that misses
// the other terminals' frames, traces that start long after TEI assignment,
// a GSM Abis link whose UI frames look like Q.931. Notes at most; the
// originals too, once trctool reads their capture formats.
TEST(RealTraffic, CheckIsSilentOnCleanRealTraces) {
    const std::string data = PINNED_DIR;
    const std::string realcaps = data + "/../../data/realcaps/";
    const struct {
        std::string file;
        std::string original;
    } traces[] = {
        {data + "/realcaps-dchannel/i4b-dchannel.pcap", realcaps + "i4b.trace"},
        {data + "/realcaps-dchannel/toshiba-dchannel.pcap", realcaps + "toshiba.general.gz"},
        {data + "/realcaps-dchannel/dct2000_test-dchannel.pcap", realcaps + "dct2000_test.out"},
        {realcaps + "abis-accept-network.pcap", ""},
    };
    for (const auto& t : traces) {
        for (const std::string& file : {t.file, t.original}) {
            if (file.empty()) continue;
            SCOPED_TRACE(file);
            const auto r = RunProgram(kTrctool, {"check", file});
            if (file == t.original && r.err.find("not a valid log file") != std::string::npos) continue;
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(r.err.find("0 errors, 0 warnings"), std::string::npos) << r.err;
            const auto lines = Lines(r.out);
            ASSERT_FALSE(lines.empty());
            for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(Cells(lines[i])[1], "note") << lines[i];
        }
    }
    // The one call of the i4b line, set up and answered.
    const auto calls = RunProgram(kTrctool, {"calls", traces[0].file});
    const auto lines = Lines(calls.out);
    ASSERT_EQ(lines.size(), 2u) << calls.out;
    EXPECT_EQ(Cells(lines[1])[12], "answered");
}

TEST_F(CallsCommandTest, WrongUseAndMissingFiles) {
    const std::string log = WriteLog("t.log", false);
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"calls"}, 2},
        {{"calls", "--ladder", "x", log}, 2},
        {{"calls", "--ladder"}, 2},
        {{"calls", "--ladder", "2", log}, 1},
        {{"check", "--bogus", log}, 2},
        {{"check", (m_dir / "missing.log").string()}, 1},
    };
    for (const Case& c : cases) {
        const auto r = RunProgram(kTrctool, c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back();
    }
}

}  // namespace
