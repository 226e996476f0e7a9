// trctool capture against the emulated card, as a script runs it.

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TraceFiles.h"

namespace {

using testsupport::Lines;
using testsupport::RunProgram;

const std::string kTrctool = TRCTOOL_PATH;

class CaptureCommandTest : public testsupport::TempDirTest {
protected:
    // Runs trctool in the test's folder, where the trace log files are made.
    testsupport::ProgramResult Capture(const std::vector<std::string>& args, const std::string& card = "rate=0") {
        return RunProgram(kTrctool, args,
                          "cd " + testsupport::ShellQuote(m_dir.string()) + " && ORINTPX_EMULATOR=" +
                              testsupport::ShellQuote(card) + " ");
    }

    std::vector<std::string> TraceLogFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            if (e.path().filename().string().starts_with("trc")) names.push_back(e.path().filename().string());
        return names;
    }
};

TEST_F(CaptureCommandTest, KeptTraceReadsBackWithTheSameRecords) {
    const std::string kept = (m_dir / "trace.log").string();
    const auto captured = Capture({"capture", "-w", kept, "--count", "25"});
    ASSERT_EQ(captured.status, 0) << captured.err;
    const auto printed = Lines(captured.out);
    ASSERT_EQ(printed.size(), 25u);
    EXPECT_TRUE(TraceLogFiles().empty());  // moved to trace.log

    const auto dumped = RunProgram(kTrctool, {"dump", kept});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto stored = Lines(dumped.out);
    ASSERT_GE(stored.size(), printed.size());  // records written after the count was reached are kept too
    EXPECT_EQ(std::vector<std::string>(stored.begin(), stored.begin() + 25), printed);
    EXPECT_NE(captured.out.find("ID_REQ"), std::string::npos);  // the line starts with TEI assignment
}

TEST_F(CaptureCommandTest, WithoutAFileNameTheTraceIsDeleted) {
    const auto result = Capture({"capture", "--count", "3", "--hex"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_GE(Lines(result.out).size(), 6u);  // each record with at least one hex line
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, SecondsEndAQuietTraceAndNothingIsWritten) {
    const auto result = Capture({"capture", "--seconds", "0.3", "-w", "quiet.log"}, "traffic=none");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "trctool: nothing was traced; quiet.log was not written\n");
    EXPECT_TRUE(TraceLogFiles().empty());
}

TEST_F(CaptureCommandTest, ARefusingOrMissingCardFailsAndLeavesNoFile) {
    const auto refused = Capture({"capture", "--count", "1"}, "refuse=9900:5");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Could not start trace."), std::string::npos) << refused.err;

    const auto absent = Capture({"capture", "--count", "1"}, "absent=1");
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("Tpx Register"), std::string::npos) << absent.err;
    EXPECT_TRUE(TraceLogFiles().empty());

    EXPECT_EQ(Capture({"capture", "--count", "zero"}).status, 2);
}

}  // namespace
