// File > Export... as the user meets it: the dialog's proposal, the format
// chosen by the name, and what the user is told.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TraceFiles.h"
#include "trace/CaptureExport.h"
#include "trace/TraceLog.h"

namespace {

using testsupport::MakeRecord;
using testsupport::RecordFields;

std::string AsText(const testsupport::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

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
    testsupport::RecordingMessageBox m_boxes;
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
    EXPECT_EQ(m_boxes.Requests()[0].icon, platform::MbIcon::Information);  // a success, not a warning
}

// With a window's text offered, ".txt" and ".csv" go to it, through a file
// beside the chosen one; a failed write leaves nothing and says why.
TEST_F(ExportDialogTest, TextAndCsvNamesWriteTheWindowsRecords) {
    std::vector<bool> asked;
    trace::TextExport text;
    text.records = 2;
    text.write = [&](int fd, bool csv) {
        asked.push_back(csv);
        const std::string body = csv ? "a,b\r\n" : "line\n";
        return ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size()) ? 0 : errno;
    };
    const auto txt = m_dir / "shown.txt";
    const auto csv = m_dir / "shown.csv";
    m_ui.fileAnswers = {txt, csv};
    ASSERT_TRUE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1", text).ok);
    ASSERT_TRUE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1", text).ok);
    EXPECT_EQ(asked, (std::vector<bool>{false, true}));
    EXPECT_EQ(AsText(testsupport::ReadFile(txt)), "line\n");
    EXPECT_EQ(AsText(testsupport::ReadFile(csv)), "a,b\r\n");
    EXPECT_NE(m_ui.saveRequests[0].filter.find("CSV (*.csv)|*.csv"), std::string::npos);
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{"2 records exported to " + txt.string() + ".",
                                                         "2 records exported to " + csv.string() + "."}));

    text.write = [](int, bool) { return ENOSPC; };
    m_ui.fileAnswers = {m_dir / "full.csv"};
    m_boxes.Clear();
    EXPECT_FALSE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1", text).ok);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "full.csv"));
    ASSERT_EQ(m_boxes.Requests().size(), 1u);
    EXPECT_EQ(m_boxes.Requests()[0].icon, platform::MbIcon::Warning);
    EXPECT_NE(m_boxes.Texts()[0].find("could not be exported"), std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(m_dir))
        EXPECT_NE(entry.path().filename().string().rfind(".full.csv", 0), 0u) << "temporary file left behind";

    // The capture formats write the window's records too: here the last one.
    const std::vector<int> shown = {2};
    text.shown = &shown;
    const auto pcapng = m_dir / "shown.pcapng";
    m_ui.fileAnswers = {pcapng};
    m_boxes.Clear();
    ASSERT_TRUE(trace::ExportWithDialog(m_log, m_ui, "OrinBri1", text).ok);
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"1 D-channel frames exported to " + pcapng.string() + "."});

    // Without a window's text the dialog offers only captures.
    m_ui.fileAnswers = {std::nullopt};
    trace::ExportWithDialog(m_log, m_ui, "OrinBri1");
    EXPECT_EQ(m_ui.saveRequests.back().filter.find("*.csv"), std::string::npos);
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
