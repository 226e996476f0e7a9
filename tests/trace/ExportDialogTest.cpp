// File > Export... as the user meets it: the dialog's proposal, the format
// chosen by the name, and what the user is told.

#include <gtest/gtest.h>

#include "platform/MessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TraceFiles.h"
#include "trace/CaptureExport.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::MakeRecord;
using testsupport::RecordFields;

class ExportDialogTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        RecordFields frame;
        frame.data = {0x00, 0x81, 0x01, 0x01};
        RecordFields ascii;
        ascii.type = 1;
        ascii.data = {'h', 'i'};
        m_log.AddRawRecord(MakeRecord(frame));
        m_log.AddRawRecord(MakeRecord(ascii));
        m_log.AddRawRecord(MakeRecord(frame));
        m_log.SetTraceDate(trace::TraceDate{2024, 5, 6, 7, 8, 9});  // a dated trace: no note about today
    }
    trace::CTraceLog m_log;
    testsupport::ScriptedUi m_ui;
    platform::RecordingMessageBox m_boxes;
};

TEST_F(ExportDialogTest, ProposesPcapngBesideTheLogAndTellsWhatWasWritten) {
    const auto out = m_dir / "call.pcap";
    m_ui.fileAnswers = {out};
    const auto result = trace::ExportWithDialog(m_log, m_ui, (m_dir / "call.log").string());
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(m_ui.saveRequests.size(), 1u);
    EXPECT_EQ(m_ui.saveRequests[0].initialName, (m_dir / "call.pcapng").string());
    EXPECT_TRUE(m_ui.saveRequests[0].confirmOverwrite);
    const auto bytes = testsupport::ReadFile(out);
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(bytes[20], 177);  // the name chose classic pcap, link type LINUX_LAPD
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{
                                   "2 D-channel frames exported to " + out.string() +
                                   ".\n1 ASCII and hex records were skipped: they are not frames."});
}

TEST_F(ExportDialogTest, CancelWritesNothingAndAFailureSaysWhy) {
    m_ui.fileAnswers = {std::nullopt, m_dir / "missing" / "x.pcapng"};
    EXPECT_FALSE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1").ok);
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_EQ(m_ui.saveRequests[0].initialName, "OrinBri1.pcapng");

    EXPECT_FALSE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1").ok);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0].rfind("The capture could not be exported:\n", 0), 0u) << m_boxes.Texts()[0];
}

}  // namespace
