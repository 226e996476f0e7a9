// The command client against the emulated card: every wait, time-out,
// refusal and status text, with the card's faults chosen per test.

#include "adapter/MarloTrcDoc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "adapter/Diagnostics.h"
#include "linekit/WaitLimit.h"
#include "platform/MessageBox.h"
#include "tests/adapter/EmulatedCard.h"
#include "tests/adapter/MarloTrcDocPeer.h"
#include "tests/support/RecordingMessageBox.h"

namespace {

using adapter::CMarloTrcDoc;
using adapter::LineStatusTexts;

class ScriptedUi : public trace::UiServices {
public:
    std::optional<int> adapterAnswer;
    std::vector<std::vector<std::string>> selections;  // entries of every selection asked
    std::optional<std::filesystem::path> saveAnswer;
    std::vector<trace::FileDialogRequest> saveRequests;
    std::vector<std::string> recentFiles;

    std::optional<std::filesystem::path> AskSaveFileName(const trace::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return saveAnswer;
    }
    std::optional<std::filesystem::path> AskOpenFileName(const trace::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<int> SelectAdapter(const std::vector<std::string>& entries) override {
        selections.push_back(entries);
        return adapterAnswer;
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void SetTraceStatusText(const std::string&) override {}
    void AddToRecentFiles(const std::string& name) override { recentFiles.push_back(name); }
};

// Short waits (the library's and each document's), so that every time-out
// path runs in a fraction of a second.
constexpr std::chrono::milliseconds kShortWait{300};

class MarloTrcDocTest : public ::testing::Test {
protected:
    void TearDown() override { testsupport::RemoveEmulatedCard(); }

    std::unique_ptr<CMarloTrcDoc> Open(const std::string& card) {
        m_card = testsupport::UseEmulatedCard(card);
        auto doc = std::make_unique<CMarloTrcDoc>(m_ui, kShortWait);
        std::string errorText;
        EXPECT_TRUE(doc->OpenAdapter(errorText)) << errorText;
        EXPECT_EQ(errorText, "");
        return doc;
    }

    // Link status requests the card received for the given link.
    int LinkStatusRequests(std::uint8_t link) const {
        int count = 0;
        for (const auto& m : m_card->Messages()) {
            if (m.bytes.size() >= 16 && m.bytes[4] == 0x00 && m.bytes[5] == 0x89 && m.bytes[13] == link) ++count;
        }
        return count;
    }

    const linekit::WaitLimit m_shortWaits{kShortWait};
    ScriptedUi m_ui;
    testsupport::RecordingMessageBox m_boxes;
    std::shared_ptr<cardsim::Card> m_card;
};

const LineStatusTexts kInitial = adapter::InitialStatusTexts();

TEST_F(MarloTrcDocTest, StatusTextsFollowTheCardsStateBytes) {
    struct Case {
        const char* card;
        std::uint32_t links;
        int summary;
        LineStatusTexts texts;
    };
    const Case cases[] = {
        {"line=3;rx=4;tx=2;l2=6;l3=3", 2, 2,
         {"Layer 3 active for all configured links", "INFO 4", "INFO 3", "", "", "", ""}},
        {"line=1;rx=0;tx=0", 2, 1, {"Layer 1 active", "INFO 4", "INFO 3", "", "", "", ""}},
        {"line=0;rx=2;tx=2", 2, 0, {"Layer 1 inactive", "INFO 2", "INFO 3", "", "", "", ""}},
        {"line=0;rx=7;tx=9", 2, 0, {"Layer 1 inactive", "Signal unknown", "Signal unknown", "", "", "", ""}},
        {"line=2;rx=0;tx=1", 2, 1,
         {"Layer 2 active for all configured links", "INFO 4", "INFO 3", "", "", "", ""}},
        {"line=4;rx=0;tx=0", 1, 1,
         {"Status unknown", "INFO 4", "INFO 3", "", "", "Link not configured", "Link not configured"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.card);
        auto doc = Open(c.card);
        LineStatusTexts texts;
        std::string errorText;
        EXPECT_EQ(doc->QueryLineStatus(errorText, c.links, texts), c.summary);
        EXPECT_EQ(errorText, "");
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(texts[i], c.texts[i]) << i;
        // Link states come from the library's state names, never the initial texts.
        for (std::size_t i = 3; i < 7; ++i) {
            if (!c.texts[i].empty()) EXPECT_EQ(texts[i], c.texts[i]) << i;
            else EXPECT_NE(texts[i], kInitial[i]) << i;
        }
        EXPECT_TRUE(doc->IsOpened());
        EXPECT_EQ(LinkStatusRequests(1), 1);
        EXPECT_EQ(LinkStatusRequests(2), c.links == 2 ? 1 : 0);

        // Null outputs are left alone; the others are filled.
        std::string lineOnly = "x";
        doc->QueryLineStatus(errorText, c.links, {&lineOnly, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
        EXPECT_EQ(lineOnly, c.texts[0]);
    }
    EXPECT_TRUE(m_boxes.Texts().empty());
}

// Every command whose answer never comes: its message at once, the adapter
// closed, the operation failed, and the status texts left initial.
TEST_F(MarloTrcDocTest, EveryResponseTimeOutShowsItsMessageAndClosesTheAdapter) {
    using Action = std::function<bool(CMarloTrcDoc&, std::string&)>;
    const std::string driver(adapter::kDriverNotResponding);
    struct Case {
        const char* opcode;
        Action action;
        std::string message;
    };
    const auto status = [](std::uint32_t links) {
        return [links](CMarloTrcDoc& doc, std::string& errorText) {
            LineStatusTexts texts;
            doc.QueryLineStatus(errorText, links, texts);
            EXPECT_EQ(texts, kInitial);
            return false;
        };
    };
    const Case cases[] = {
        {"9900", [](CMarloTrcDoc& d, std::string& e) { return d.EnableTraceControl(e); }, driver},
        {"9900", [](CMarloTrcDoc& d, std::string& e) { return d.DisableTraceControl(e); },
         "TpxLineTraceControlDisable response timed out"},
        {"8800", status(2), "LineGetStatus response timed out"},
        {"8900", status(1), "LinkGetStatus response timed out"},
        {"8B00", [](CMarloTrcDoc& d, std::string& e) { return d.QueryLineStatistics(e); },
         "TpxLineGetStatistics response timed out"},
        {"8D00", [](CMarloTrcDoc& d, std::string& e) { return d.QueryLinkStatistics(e, 1); },
         "TpxLinkGetStatistics response timed out"},
        {"8C00", [](CMarloTrcDoc& d, std::string& e) { return d.ZeroLineStatistics(e); },
         "TpxLineZeroStatistics response timed out"},
        {"8E00", [](CMarloTrcDoc& d, std::string& e) { return d.ZeroLinkStatistics(e, 2); },
         "TpxLinkZeroStatistics response timed out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto doc = Open(std::string("unanswered=") + c.opcode);
        m_boxes.Clear();
        std::string errorText;
        EXPECT_FALSE(c.action(*doc, errorText));
        EXPECT_EQ(errorText, "");  // time-outs are shown, not returned
        EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(doc->IsOpened());
        EXPECT_FALSE(adapter::IsAdapterInUse(0));

        // Closed now: the statistics commands fail at once, without a word.
        m_boxes.Clear();
        EXPECT_FALSE(doc->QueryLineStatistics(errorText));
        EXPECT_FALSE(doc->QueryLinkStatistics(errorText, 1));
        EXPECT_FALSE(doc->ZeroLineStatistics(errorText));
        EXPECT_FALSE(doc->CloseAdapter(errorText));
        EXPECT_EQ(errorText, "");
        EXPECT_TRUE(m_boxes.Texts().empty());
    }
}

TEST_F(MarloTrcDocTest, RefusedCommandsFailWithTheirTextAndMostKeepTheAdapterOpen) {
    using Action = std::function<bool(CMarloTrcDoc&, std::string&)>;
    struct Case {
        const char* opcode;
        Action action;
        std::string text;
        bool staysOpen;
    };
    const Case cases[] = {
        {"9900", [](CMarloTrcDoc& d, std::string& e) { return d.EnableTraceControl(e); },
         "Tpx Trace Control Enable Response 5", true},
        {"9900", [](CMarloTrcDoc& d, std::string& e) { return d.DisableTraceControl(e); },
         "Tpx Trace Control Disable Response 5", true},
        {"8800", [](CMarloTrcDoc& d, std::string& e) {
             LineStatusTexts texts;
             EXPECT_EQ(d.QueryLineStatus(e, 2, texts), 3);
             EXPECT_EQ(texts, kInitial);
             return false;
         }, "TpxLineGetStatus Response 5", true},
        {"8900", [](CMarloTrcDoc& d, std::string& e) {
             LineStatusTexts texts;
             EXPECT_EQ(d.QueryLineStatus(e, 2, texts), 0);
             EXPECT_EQ(texts, kInitial);
             return false;
         }, "TpxLinkGetStatus Response 5", true},
        {"8B00", [](CMarloTrcDoc& d, std::string& e) { return d.QueryLineStatistics(e); },
         "TpxLineGetStatistics Response 5", true},
        {"8D00", [](CMarloTrcDoc& d, std::string& e) { return d.QueryLinkStatistics(e, 2); },
         "TpxLinkGetStatistics Response 5", false},
        {"8C00", [](CMarloTrcDoc& d, std::string& e) { return d.ZeroLineStatistics(e); },
         "TpxLineZeroStatistics Response 5", true},
        {"8E00", [](CMarloTrcDoc& d, std::string& e) { return d.ZeroLinkStatistics(e, 1); },
         "TpxLinkZeroStatistics Response 5", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto doc = Open(std::string("refuse=") + c.opcode + ":5");
        std::string errorText;
        EXPECT_FALSE(c.action(*doc, errorText));
        EXPECT_EQ(errorText, c.text);
        EXPECT_EQ(doc->IsOpened(), c.staysOpen);
        EXPECT_TRUE(m_boxes.Texts().empty());
    }
}

// The card gone: every command's library call fails with the driver's code,
// which comes back in the error text; only the link statistics query closes.
TEST_F(MarloTrcDocTest, LibraryErrorsComeBackAsTextsWithTheirCode) {
    using Action = std::function<bool(CMarloTrcDoc&, std::string&)>;
    struct Case {
        Action action;
        std::string text;
        bool staysOpen;
    };
    const Case cases[] = {
        {[](CMarloTrcDoc& d, std::string& e) { return d.EnableTraceControl(e); }, "Tpx Trace Control Enable 1167", true},
        {[](CMarloTrcDoc& d, std::string& e) { return d.DisableTraceControl(e); }, "Tpx Trace Control Disable", true},
        {[](CMarloTrcDoc& d, std::string& e) {
             LineStatusTexts texts;
             EXPECT_EQ(d.QueryLineStatus(e, 2, texts), 3);
             EXPECT_EQ(texts, kInitial);
             return false;
         }, "Tpx LineGetStatus 1167", true},
        {[](CMarloTrcDoc& d, std::string& e) { return d.QueryLineStatistics(e); }, "Tpx TpxLineGetStatistics 1167", true},
        {[](CMarloTrcDoc& d, std::string& e) { return d.QueryLinkStatistics(e, 1); }, "Tpx TpxLinkGetStatistics 1167", false},
        {[](CMarloTrcDoc& d, std::string& e) { return d.ZeroLineStatistics(e); }, "Tpx TpxLineZeroStatistics 1167", true},
        {[](CMarloTrcDoc& d, std::string& e) { return d.ZeroLinkStatistics(e, 2); }, "Tpx TpxLinkZeroStatistics 1167", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto doc = Open("");
        m_card->Unplug();
        m_boxes.Clear();
        std::string errorText;
        EXPECT_FALSE(c.action(*doc, errorText));
        EXPECT_EQ(errorText, c.text);
        EXPECT_EQ(doc->IsOpened(), c.staysOpen);
        // A close message that could not be sent has no answer to wait
        // for: the rest of the closing runs at once, and the close fails.
        EXPECT_FALSE(doc->CloseAdapter(errorText));
        EXPECT_FALSE(doc->IsOpened());
        EXPECT_TRUE(m_boxes.Texts().empty());
    }
}

TEST_F(MarloTrcDocTest, StatisticsCopiesAreStoredAndZeroed) {
    auto doc = Open("");
    std::string errorText;
    ASSERT_TRUE(doc->QueryLineStatistics(errorText)) << errorText;
    ASSERT_TRUE(doc->QueryLinkStatistics(errorText, 1)) << errorText;
    ASSERT_TRUE(doc->QueryLinkStatistics(errorText, 2)) << errorText;
    EXPECT_EQ(doc->LineStatistics().lineType, 75);
    EXPECT_NE(doc->LinkStatistics(1).linkType, 0);
    EXPECT_EQ(doc->LinkStatistics(2).linkNumber, 2u);
    EXPECT_NE(doc->LinkStatistics(1).mtu, 0u);

    ASSERT_TRUE(doc->ZeroLinkStatistics(errorText, 1));
    EXPECT_EQ(doc->LinkStatistics(1).mtu, 0u);
    EXPECT_EQ(doc->LinkStatistics(1).linkNumber, 1u);
    EXPECT_NE(doc->LinkStatistics(2).mtu, 0u);
    ASSERT_TRUE(doc->ZeroLineStatistics(errorText));
    EXPECT_EQ(doc->LineStatistics().lineType, 0);
    EXPECT_TRUE(doc->EnableTraceControl(errorText));
    EXPECT_TRUE(doc->DisableTraceControl(errorText));
    EXPECT_TRUE(doc->CloseAdapter(errorText));
    EXPECT_FALSE(doc->IsOpened());
}

TEST_F(MarloTrcDocTest, StatisticsOnANeverOpenedAdapterFailWithoutAWord) {
    testsupport::UseEmulatedCard("");
    CMarloTrcDoc doc(m_ui, kShortWait);
    std::string errorText;
    EXPECT_FALSE(doc.QueryLineStatistics(errorText));
    EXPECT_FALSE(doc.QueryLinkStatistics(errorText, 1));
    EXPECT_FALSE(doc.ZeroLineStatistics(errorText));
    EXPECT_FALSE(doc.CloseAdapter(errorText));
    EXPECT_EQ(errorText, "");
    // The link zeroing does not look at the opened flag: it reports the failed call.
    EXPECT_FALSE(doc.ZeroLinkStatistics(errorText, 1));
    EXPECT_EQ(errorText.rfind("Tpx TpxLinkZeroStatistics ", 0), 0u) << errorText;
    LineStatusTexts texts;
    errorText.clear();
    EXPECT_EQ(doc.QueryLineStatus(errorText, 2, texts), 3);
    EXPECT_EQ(texts, kInitial);
    EXPECT_EQ(errorText.rfind("Tpx LineGetStatus ", 0), 0u) << errorText;
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(MarloTrcDocTest, AdapterChoiceWithTwoAdapters) {
    testsupport::UseEmulatedCard("adapters=2");
    std::string errorText;

    // Cancelled: no adapter, no text.
    {
        CMarloTrcDoc doc(m_ui, kShortWait);
        EXPECT_FALSE(doc.OpenAdapter(errorText));
        EXPECT_EQ(errorText, "");
        ASSERT_EQ(m_ui.selections.size(), 1u);
        EXPECT_EQ(m_ui.selections[0], (std::vector<std::string>{"OrinBri1 - Inactive", "OrinBri2 - Inactive"}));
        EXPECT_FALSE(doc.IsOpened());
    }

    m_ui.adapterAnswer = 1;
    CMarloTrcDoc second(m_ui, kShortWait);
    ASSERT_TRUE(second.OpenAdapter(errorText)) << errorText;
    EXPECT_EQ(Peer(second).ChosenAdapter(), 1u);
    EXPECT_EQ(Peer(second).NetworkCardNumber(), "2");
    EXPECT_EQ(second.GetPathName(), "OrinBri2");
    EXPECT_TRUE(m_ui.recentFiles.empty()) << "an adapter is no file to open again";
    EXPECT_TRUE(adapter::IsAdapterInUse(1));

    // The adapter in use is not offered again; the entry maps back to its index.
    m_ui.adapterAnswer = 0;
    m_ui.selections.clear();
    CMarloTrcDoc first(m_ui, kShortWait);
    ASSERT_TRUE(first.OpenAdapter(errorText)) << errorText;
    EXPECT_EQ(m_ui.selections.at(0), std::vector<std::string>{"OrinBri1 - Inactive"});
    EXPECT_EQ(Peer(first).ChosenAdapter(), 0u);
    EXPECT_EQ(Peer(first).NetworkCardNumber(), "1");

    EXPECT_TRUE(first.CloseAdapter(errorText));
    EXPECT_TRUE(second.CloseAdapter(errorText));
    EXPECT_FALSE(adapter::IsAdapterInUse(0));
    EXPECT_FALSE(adapter::IsAdapterInUse(1));
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(MarloTrcDocTest, OpenFailuresGiveTheirTexts) {
    std::string errorText;
    {
        testsupport::UseEmulatedCard("absent=1");
        CMarloTrcDoc doc(m_ui, kShortWait);
        EXPECT_FALSE(doc.OpenAdapter(errorText));
        EXPECT_EQ(errorText.rfind("Tpx Register ", 0), 0u) << errorText;
    }
    {
        testsupport::UseEmulatedCard("unanswered=gsmopen");
        CMarloTrcDoc doc(m_ui, kShortWait);
        EXPECT_FALSE(doc.OpenAdapter(errorText));
        EXPECT_EQ(errorText, "Tpx Open 258");
        EXPECT_FALSE(doc.IsOpened());
        EXPECT_FALSE(adapter::IsAdapterInUse(0));
    }
    // The document's own open shows the text, and with no card what it
    // means, as trctool says it, under a title of its own.
    {
        testsupport::UseEmulatedCard("absent=1");
        CMarloTrcDoc doc(m_ui, kShortWait);
        m_boxes.Clear();
        EXPECT_FALSE(doc.OnOpenDocument("ignored"));
        ASSERT_EQ(m_boxes.Requests().size(), 1u);
        EXPECT_EQ(m_boxes.Texts()[0], "Tpx Register 6: no adapter card answered: the device \\\\.\\ORINTPX is not there");
        EXPECT_EQ(m_boxes.Requests()[0].caption, adapter::kOpenAdapterCaption);
    }
    {
        testsupport::UseEmulatedCard("unanswered=gsmopen");
        CMarloTrcDoc doc(m_ui, kShortWait);
        m_boxes.Clear();
        EXPECT_FALSE(doc.OnOpenDocument("ignored"));
        ASSERT_FALSE(m_boxes.Texts().empty());
        EXPECT_EQ(m_boxes.Texts().back(), "Tpx Open 258");  // other failures keep their text as it is
    }
}

TEST_F(MarloTrcDocTest, UnansweredCloseIsReportedAndStillCloses) {
    auto doc = Open("unanswered=gsmclose");
    std::string errorText;
    EXPECT_FALSE(doc->CloseAdapter(errorText)) << "a close the card never answered is no clean close";
    EXPECT_FALSE(doc->IsOpened());
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{std::string(adapter::kDriverNotResponding)});
}

TEST_F(MarloTrcDocTest, ACloseTheCardOrDriverRefusesFailsButStillCloses) {
    for (const char* card : {"refuse=gsmclose:5", "stall=3", "stall=6"}) {
        SCOPED_TRACE(card);
        auto doc = Open(card);
        std::string errorText;
        EXPECT_FALSE(doc->CloseAdapter(errorText));
        EXPECT_FALSE(doc->IsOpened());
        EXPECT_FALSE(adapter::IsAdapterInUse(0));
    }
}

// The registry file is read at every open, View > Information and Save
// Diagnostics: one that cannot be read is told once, with the reason, and
// told again only after a good read.
TEST_F(MarloTrcDocTest, AnUnreadableRegistryFileIsToldOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "marlotrc_doc_registry";
    fs::create_directories(dir);
    const fs::path good = dir / "good.reg";
    std::ofstream(good) << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan\\"
                           "Parameters]\n\"Line0.SwitchStyle\"=dword:00000002\n";
    const std::string missing = (dir / "missing.reg").string();
    const std::string told = "The registry file " + missing + " could not be read: No such file or directory.";
    auto doc = Open("");
    m_boxes.Clear();
    ::setenv("MARLOTRC_REGISTRY", missing.c_str(), 1);
    doc->ReadAdapterConfiguration();
    doc->ReadAdapterConfiguration();
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{told});
    EXPECT_EQ(doc->Configuration().switchType, "Not Configured");

    ::setenv("MARLOTRC_REGISTRY", good.c_str(), 1);
    doc->ReadAdapterConfiguration();
    EXPECT_EQ(doc->Configuration().switchType, "ETSI: Euro ISDN");
    ::setenv("MARLOTRC_REGISTRY", missing.c_str(), 1);
    doc->ReadAdapterConfiguration();
    EXPECT_EQ(m_boxes.Texts(), (std::vector<std::string>{told, told}));
    EXPECT_EQ(doc->Configuration().switchType, "ETSI: Euro ISDN") << "a failed read keeps what an earlier one found";
    ::unsetenv("MARLOTRC_REGISTRY");
    adapter::ReportRegistryProblem({});  // the next test starts with nothing told
    fs::remove_all(dir);
}

TEST_F(MarloTrcDocTest, SaveDiagnosticsWritesTheReportOfTheCardAndRegistry) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "marlotrc_doc_diag";
    fs::create_directories(dir);
    const fs::path reg = dir / "card.reg";
    {
        std::ofstream out(reg);
        out << "REGEDIT4\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1]\n"
               "\"VANumber\"=\"1\"\n"
               "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan1\\Parameters]\n"
               "\"Line0.SwitchStyle\"=dword:00000002\n\"Line0.LogicalTerminals\"=dword:00000001\n"
               "\"Line0.LTerm0.DN\"=\"3021234567\"\n";
    }
    ::setenv("MARLOTRC_REGISTRY", reg.c_str(), 1);
    auto doc = Open("line=0;rx=2;tx=2");

    doc->SaveDiagnostics();  // cancelled: nothing happens
    ASSERT_EQ(m_ui.saveRequests.size(), 1u);
    EXPECT_EQ(m_ui.saveRequests[0].initialName, "OrinDiag.txt");
    EXPECT_EQ(m_ui.saveRequests[0].defaultExtension, "txt");
    EXPECT_EQ(m_ui.saveRequests[0].filter, "Diagnostic files (*.txt)|*.txt|All files (*.*)|*.*||");
    EXPECT_TRUE(m_ui.saveRequests[0].confirmOverwrite);

    m_ui.saveAnswer = dir / "OrinDiag.txt";
    doc->SaveDiagnostics();
    ::unsetenv("MARLOTRC_REGISTRY");
    std::ifstream in(dir / "OrinDiag.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string report = content.str();
    EXPECT_EQ(report.rfind("Registry Information\nLine 1 SPID: \nLine 1 Phone: 302 - 123 - 4567\n"
                           "Switch Type: ETSI: Euro ISDN\nTerminal Management: Not Configured\n"
                           "Number of Logical Terminals: 1\n\nCard Information\nLine Status: Layer 1 inactive\n"
                           "Receiving Signal: INFO 2\nTransmission Signal: INFO 3\n", 0), 0u) << report;
    EXPECT_TRUE(report.ends_with("Layer 2 Link 2 State: Link not configured\n"
                                 "Layer 3 Link 2 State: Link not configured")) << report;
    // Where the report went is said, with the information icon.
    ASSERT_EQ(m_boxes.Requests().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "Diagnostics saved to " + (dir / "OrinDiag.txt").string() + ".");
    EXPECT_EQ(m_boxes.Requests()[0].icon, platform::MbIcon::Information);

    // A report that cannot be written says so, and claims no success.
    m_boxes.Clear();
    m_ui.saveAnswer = dir / "no-such-folder" / "OrinDiag.txt";
    doc->SaveDiagnostics();
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"The file " + m_ui.saveAnswer->string() + "\ncould not be opened."});
    fs::remove_all(dir);
}

}  // namespace
