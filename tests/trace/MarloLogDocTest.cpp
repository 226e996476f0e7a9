// The log document: opening a saved trace log file and keeping it under
// another name.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TraceFiles.h"
#include "trace/MarloLogDoc.h"

namespace {

using testsupport::Concat;
using testsupport::FileHeader;
using testsupport::MakeRecord;
using testsupport::RecordFields;

class MarloLogDocTest : public testsupport::TempDirTest {
protected:
    std::filesystem::path WriteLog(const std::string& name, int records) {
        testsupport::Bytes bytes = FileHeader();
        for (int i = 1; i <= records; ++i) {
            RecordFields s;
            s.sequence = static_cast<std::uint16_t>(i);
            s.data = {0x00, 0x81, 0x7F};
            bytes = Concat({bytes, MakeRecord(s)});
        }
        const auto path = m_dir / name;
        testsupport::WriteFile(path, bytes);
        return path;
    }
    testsupport::ScriptedUi m_ui;
    testsupport::RecordingMessageBox m_box;
};

TEST_F(MarloLogDocTest, OpensHeaderOnlyAndFullFilesAndRefusesBadOnes) {
    trace::CMarloLogDoc empty(m_ui);
    ASSERT_TRUE(empty.OnOpenDocument(WriteLog("empty.log", 0)));
    EXPECT_EQ(empty.GetTraceLog()->GetRecordCount(), 0);

    trace::CMarloLogDoc full(m_ui);
    const auto path = WriteLog("three.log", 3);
    ASSERT_TRUE(full.OnOpenDocument(path));
    EXPECT_EQ(full.GetTraceLog()->GetRecordCount(), 3);
    EXPECT_EQ(full.GetPathName(), path.string());
    EXPECT_EQ(full.GetTitle(), "three.log");
    EXPECT_EQ(m_ui.recentFiles.back(), path.string());

    testsupport::WriteFile(m_dir / "bad.log", {'x'});
    trace::CMarloLogDoc bad(m_ui);
    EXPECT_FALSE(bad.OnOpenDocument(m_dir / "bad.log"));
    trace::CMarloLogDoc missing(m_ui);
    EXPECT_FALSE(missing.OnOpenDocument(m_dir / "missing.log"));
    ASSERT_EQ(m_box.Texts().size(), 2u);
    EXPECT_EQ(m_box.Texts()[0], "This file is not a valid log file.");
    EXPECT_EQ(m_box.Texts()[1], "Cannot open " + (m_dir / "missing.log").string() + ":\nNo such file or directory.");
}

TEST_F(MarloLogDocTest, AFileCutShortOffersItsIntactRecordsReadOnly) {
    const auto whole = WriteLog("cut.log", 3);
    std::filesystem::resize_file(whole, std::filesystem::file_size(whole) - 5);  // the last record loses its end
    const std::string question = "The file cut.log is damaged. Open the 2 records before the damage, read-only?";
    {
        m_box.ScriptAnswers({platform::MbResult::No});
        trace::CMarloLogDoc declined(m_ui);
        EXPECT_FALSE(declined.OnOpenDocument(whole));
    }
    m_box.ScriptAnswers({platform::MbResult::Yes});
    trace::CMarloLogDoc intact(m_ui);
    ASSERT_TRUE(intact.OnOpenDocument(whole));
    EXPECT_TRUE(intact.IsIntactPartOfDamagedFile());
    EXPECT_EQ(intact.GetTraceLog()->GetRecordCount(), 2);
    EXPECT_EQ(intact.GetTitle(), "cut.log (intact part of a damaged file, read-only)");
    EXPECT_FALSE(intact.OnSaveDocument(whole)) << "the damaged file is not moved or replaced";
    EXPECT_TRUE(std::filesystem::exists(whole));
    const std::vector<std::string> expected = {
        "Could not read data portion of record!", question, "Could not read data portion of record!", question,
        "This window shows the intact part of a damaged file; it is read-only."};
    EXPECT_EQ(m_box.Texts(), expected);

    // A file damaged before its first record has nothing to offer.
    testsupport::WriteFile(m_dir / "header.log", Concat({FileHeader(), testsupport::Bytes(20, 0)}));
    m_box.Clear();
    trace::CMarloLogDoc nothing(m_ui);
    EXPECT_FALSE(nothing.OnOpenDocument(m_dir / "header.log"));
    EXPECT_EQ(m_box.Texts().size(), 1u);
}

// Opened in steps, a document has its first records at once and the rest as
// it goes on; damage found in a later step brings the loader's message and
// then the same question, counting every record before the damage, and the
// file counts as opened (recent files) only once it is read whole.
TEST_F(MarloLogDocTest, InStepsTheFirstRecordsComeAtOnceAndDamageIsAskedAboutWhenFound) {
    using Step = trace::CMarloLogDoc::LoadStep;
    const auto whole = WriteLog("steps.log", 10);
    const auto cut = WriteLog("cut.log", 10);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 5);
    const std::string question = "The file cut.log is damaged. Open the 9 records before the damage, read-only?";
    struct Case {
        const char* name;
        std::filesystem::path path;
        std::vector<platform::MbResult> answers;
        Step last;
        int records;
        std::vector<std::string> messages;
        const char* title;
    };
    const std::vector<Case> cases = {
        {"whole", whole, {}, Step::Complete, 10, {}, "steps.log"},
        {"damaged, declined", cut, {platform::MbResult::No}, Step::Refused, 9,
         {"Could not read data portion of record!", question}, "cut.log"},
        {"damaged, kept", cut, {platform::MbResult::Yes}, Step::IntactPartKept, 9,
         {"Could not read data portion of record!", question}, "cut.log (intact part of a damaged file, read-only)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.Clear();
        m_box.ScriptAnswers(c.answers);
        m_ui.recentFiles.clear();
        trace::CMarloLogDoc doc(m_ui);
        doc.LoadInSteps(4);
        ASSERT_TRUE(doc.OnOpenDocument(c.path));
        EXPECT_TRUE(doc.IsLoading());
        EXPECT_EQ(doc.RecordCount(), 4);
        EXPECT_EQ(doc.GetTitle(), c.path.filename().string());
        EXPECT_TRUE(m_ui.recentFiles.empty());
        EXPECT_EQ(doc.ContinueLoading(4), Step::GoesOn);
        EXPECT_EQ(doc.RecordCount(), 8);
        EXPECT_TRUE(m_box.Texts().empty()) << "nothing is said before the damage is found";
        Step step = doc.ContinueLoading(4);
        if (step == Step::GoesOn) step = doc.ContinueLoading(4);  // the whole file ends with the next step
        EXPECT_EQ(step, c.last);
        EXPECT_FALSE(doc.IsLoading());
        EXPECT_EQ(doc.RecordCount(), c.records);
        EXPECT_EQ(m_box.Texts(), c.messages);
        EXPECT_EQ(doc.GetTitle(), c.title);
        EXPECT_EQ(doc.IsIntactPartOfDamagedFile(), c.last == Step::IntactPartKept);
        EXPECT_EQ(m_ui.recentFiles.size(), c.last == Step::Complete ? 1u : 0u);
        EXPECT_EQ(doc.ContinueLoading(4), Step::Complete) << "no load left";
        EXPECT_EQ(m_box.Texts().size(), c.messages.size()) << "the question comes once";
    }

    // Closing stops the load, keeping what was read.
    trace::CMarloLogDoc closed(m_ui);
    closed.LoadInSteps(4);
    ASSERT_TRUE(closed.OnOpenDocument(whole));
    closed.OnCloseDocument();
    EXPECT_FALSE(closed.IsLoading());
    EXPECT_EQ(closed.RecordCount(), 4);
}

TEST_F(MarloLogDocTest, SavingMovesTheFileOrChangesNothing) {
    const auto path = WriteLog("trace.log", 2);
    trace::CMarloLogDoc doc(m_ui);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    m_ui.recentFiles.clear();

    m_ui.fileAnswers = {std::nullopt, path, m_dir / "kept.log"};
    EXPECT_FALSE(doc.OnSaveDocument(path));  // cancelled
    EXPECT_TRUE(doc.OnSaveDocument(path));   // its own name: nothing to do, nothing asked
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(m_ui.recentFiles.empty());
    EXPECT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(testsupport::ReadFile(m_dir / "kept.log").size(), 52u + 2 * 31u);
    // The document goes by its new name, and the recent files know it.
    EXPECT_EQ(doc.GetPathName(), (m_dir / "kept.log").string());
    EXPECT_EQ(doc.GetTitle(), "kept.log");
    EXPECT_EQ(m_ui.recentFiles, std::vector<std::string>{(m_dir / "kept.log").string()});

    ASSERT_EQ(m_ui.saveRequests.size(), 3u);
    EXPECT_EQ(m_ui.saveRequests[0].defaultExtension, "log");
    EXPECT_EQ(m_ui.saveRequests[0].initialName, path.string());
    EXPECT_EQ(m_ui.saveRequests[0].filter, "Log files (*.log)|*.log|All files (*.*)|*.*||");
    EXPECT_FALSE(m_ui.saveRequests[0].confirmOverwrite) << "the program asks itself, and not about its own file";
    EXPECT_TRUE(m_box.Texts().empty());
}

// Another file of the chosen name is replaced only on Yes; No brings the
// dialog back, proposing that name, and a cancel there leaves both files.
TEST_F(MarloLogDocTest, ReplacingAnotherFileAsksFirst) {
    struct Case {
        const char* name;
        std::vector<platform::MbResult> answers;
        bool saved;
    };
    for (const Case& c : {Case{"yes", {platform::MbResult::Yes}, true}, Case{"no", {platform::MbResult::No}, false}}) {
        SCOPED_TRACE(c.name);
        const auto path = WriteLog(std::string(c.name) + ".log", 1);
        const auto other = WriteLog(std::string(c.name) + "-other.log", 3);
        trace::CMarloLogDoc doc(m_ui);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        m_box.Clear();
        m_box.ScriptAnswers(c.answers);
        m_ui.saveRequests.clear();
        m_ui.fileAnswers = {other};  // then, when asked again, cancelled
        EXPECT_EQ(doc.OnSaveDocument(path), c.saved);
        EXPECT_EQ(m_box.Texts(), std::vector<std::string>{other.filename().string() +
                                                          " already exists.\nDo you want to replace it?"});
        EXPECT_EQ(testsupport::ReadFile(other).size(), 52u + (c.saved ? 1u : 3u) * 31u);
        EXPECT_EQ(std::filesystem::exists(path), !c.saved);
        ASSERT_EQ(m_ui.saveRequests.size(), c.saved ? 1u : 2u);
        EXPECT_EQ(m_ui.saveRequests.back().initialName, c.saved ? path.string() : other.string());
    }
}

TEST_F(MarloLogDocTest, AFailedMoveTellsWhyAndLeavesTheFileWhereItWas) {
    const auto path = WriteLog("trace.log", 1);
    trace::CMarloLogDoc doc(m_ui);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const auto target = m_dir / "no-such-folder" / "kept.log";
    m_ui.fileAnswers = {target};
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_EQ(m_box.Texts().size(), 1u);
    EXPECT_EQ(m_box.Texts()[0], "The trace log file could not be saved as " + target.string() +
                                    ":\nNo such file or directory.\nIt is kept as " + path.string() + ".");
}

TEST_F(MarloLogDocTest, ReplacingAnExistingFileHappensOnlyWhenTheUserAgreed) {
    const auto from = WriteLog("a.log", 1);
    const auto to = WriteLog("b.log", 3);
    EXPECT_FALSE(trace::MoveTraceLogFile(from, to, /*userAgreedToReplace=*/false));
    EXPECT_EQ(testsupport::ReadFile(to).size(), 52u + 3 * 31u);
    EXPECT_TRUE(std::filesystem::exists(from));
    EXPECT_TRUE(trace::MoveTraceLogFile(from, to, /*userAgreedToReplace=*/true));
    EXPECT_EQ(testsupport::ReadFile(to).size(), 52u + 31u);
    EXPECT_FALSE(std::filesystem::exists(from));
}

}  // namespace

namespace {

// A view that counts the hints it is sent.
struct CountingView final : trace::CView {
    void OnUpdate(trace::CView*, std::uint32_t, std::intptr_t) override { ++hints; }
    int hints = 0;
};

// Registrations keep the list of views in order, give their place back when
// they go, and stay harmless when the document goes first.
TEST(ViewRegistrationTest, ViewsComeAndGoInEitherOrderWithTheirDocument) {
    CountingView first;
    CountingView second;
    std::optional<trace::ViewRegistration> keep;
    {
        testsupport::ScriptedUi ui;
        trace::CMarloLogDoc document(ui);
        trace::ViewRegistration a(document, first);
        {
            trace::ViewRegistration b(document, second);
            EXPECT_EQ(document.GetViews(), (std::vector<trace::CView*>{&first, &second}));
            document.UpdateAllViews(&first, trace::HINT_RECORD_SELECTED);
            EXPECT_EQ(first.hints, 0);
            EXPECT_EQ(second.hints, 1);
        }
        EXPECT_EQ(document.GetViews(), (std::vector<trace::CView*>{&first}));
        EXPECT_EQ(a.Document(), &document);
        keep.emplace(document, second);
        EXPECT_EQ(document.GetViews(), (std::vector<trace::CView*>{&first, &second}));
    }
    // The document went before the view: nothing left to tell, nothing to undo.
    EXPECT_EQ(keep->Document(), nullptr);
    keep.reset();
}

}  // namespace
