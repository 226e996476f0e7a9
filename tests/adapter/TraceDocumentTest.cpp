// The adapter document's trace side against the emulated card: Start and
// Stop, records arriving one by one, and every branch of the closing
// sequence keeping or deleting exactly what the user chose.

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

#include "adapter/MarloTrcDoc.h"
#include "linekit/WaitLimit.h"
#include "platform/MessageBox.h"
#include "tests/adapter/EmulatedCard.h"
#include "tests/adapter/MarloTrcDocPeer.h"
#include "tests/support/QueueTarget.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TraceFiles.h"
#include "trace/TraceLog.h"
#include "tracefile/RawRecord.h"
#include "wire/Tpx.h"

namespace {

using adapter::CMarloTrcDoc;

constexpr std::string_view kQuestion = "You have not saved the trace log file.\n Would you like to save it?";

// Plays the record list view: the reader's target, and a log of the hints.
class PumpView : public trace::CView {
public:
    void OnUpdate(trace::CView*, std::uint32_t hint, std::intptr_t object) override {
        hints.emplace_back(hint, object);
    }
    trace::RecordTarget* GetRecordTarget() override { return &target; }

    testsupport::QueueTarget target;
    std::vector<std::pair<std::uint32_t, std::intptr_t>> hints;
};

class TraceDocumentTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_oldDir = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);  // trace log files are made in the current folder
    }
    void TearDown() override {
        m_doc.reset();
        testsupport::RemoveEmulatedCard();
        std::filesystem::current_path(m_oldDir);
        TempDirTest::TearDown();
    }

    void Open(const std::string& card = "rate=0") {
        m_card = testsupport::UseEmulatedCard(card);
        m_doc = std::make_unique<CMarloTrcDoc>(m_ui, kShortWait);
        m_registration.emplace(*m_doc, m_view);
        ASSERT_TRUE(m_doc->OnOpenDocument("Orin Strandex PCI 1 ST Adapter"));
    }

    // Handles n delivered records as the user-interface thread does.
    void Deliver(int n) {
        for (int i = 0; i < n; ++i) {
            const auto params = m_view.target.Next();
            ASSERT_TRUE(params) << "record " << i << " never arrived";
            m_doc->OnTraceRecord(**params);
        }
    }

    // Handles delivered records until the list holds at least n: a batch may
    // hold only records of an earlier capture, which the list passes over.
    void DeliverUntilListed(int n) {
        while (m_doc->GetTraceLog()->GetRecordCount() < n && !HasFatalFailure()) Deliver(1);
    }

    // After Stop the event loop still handles what the reader posted before.
    void DrainPosted() {
        while (const auto params = m_view.target.Next(std::chrono::milliseconds(0))) m_doc->OnTraceRecord(**params);
    }

    void TraceSomeRecords(int n = 3) {
        m_doc->OnTraceStart();
        ASSERT_TRUE(m_doc->CanStopTrace());
        Deliver(n);
        m_doc->OnTraceStop();
        DrainPosted();
    }

    std::filesystem::path LogPath() const { return m_doc->GetLogFile()->GetFilePath(); }

    std::vector<std::filesystem::path> Files() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) files.push_back(entry.path().filename());
        std::sort(files.begin(), files.end());
        return files;
    }

    std::filesystem::path m_oldDir;
    // Short waits (the library's and the document's), so time-outs cost little.
    static constexpr std::chrono::milliseconds kShortWait{500};
    const linekit::WaitLimit m_shortWaits{kShortWait};
    testsupport::ScriptedUi m_ui;
    testsupport::RecordingMessageBox m_boxes;
    PumpView m_view;
    std::shared_ptr<cardsim::Card> m_card;
    std::unique_ptr<CMarloTrcDoc> m_doc;
    std::optional<trace::ViewRegistration> m_registration;
};

TEST_F(TraceDocumentTest, StartClearsTheListThenRecordsArriveOneByOne) {
    Open();
    EXPECT_TRUE(Peer(*m_doc).CanStartTrace());
    m_doc->OnTraceStart();
    EXPECT_FALSE(Peer(*m_doc).CanStartTrace());
    Deliver(3);
    m_doc->OnTraceStop();
    EXPECT_TRUE(Peer(*m_doc).CanStartTrace());
    DrainPosted();  // messages posted before the stop find their records taken

    // Stop takes every record the file holds, in order, each announced once:
    // the list holds exactly what the file holds.
    trace::CTraceLog& log = *m_doc->GetTraceLog();
    trace::CTraceLog fromFile;
    ASSERT_EQ(fromFile.LoadFile(LogPath()), 1);
    ASSERT_GT(fromFile.GetRecordCount(), 3) << "the card sent more at full speed before the stop";
    ASSERT_EQ(log.GetRecordCount(), fromFile.GetRecordCount());
    std::vector<std::pair<std::uint32_t, std::intptr_t>> expected = {{trace::HINT_TRACE_RESTARTED, 0}};
    for (int i = 0; i < fromFile.GetRecordCount(); ++i) {
        expected.emplace_back(trace::HINT_RECORD_ADDED, i);
        EXPECT_EQ(log.GetSequence(i), fromFile.GetSequence(i));
    }
    EXPECT_EQ(m_view.hints, expected);
    EXPECT_EQ(log.GetMnemonic(0), "DCH");
    EXPECT_EQ(log.GetSequence(1), log.GetSequence(0) + 1);
    ASSERT_EQ(m_ui.statusTexts.size(), 2u);
    EXPECT_EQ(m_ui.statusTexts[0], "TRACE: Reading from " + LogPath().string());
    EXPECT_EQ(m_ui.statusTexts[1], "TRACE: Stopped reading from log file " + LogPath().string());
    EXPECT_EQ(m_ui.waitCursorShown, 1);
    EXPECT_EQ(m_ui.waitCursorDepth, 0);
}

TEST_F(TraceDocumentTest, ACardThatGoesAwayStopsTheTraceWithOneMessage) {
    Open("rate=0;unplug=20");
    m_doc->OnTraceStart();
    ASSERT_TRUE(m_doc->CanStopTrace());
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!m_doc->CheckCapture()) {  // as the program's timer asks
        ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the gone card was never noticed";
        if (const auto params = m_view.target.Next(std::chrono::milliseconds(1))) m_doc->OnTraceRecord(**params);
    }
    DrainPosted();
    EXPECT_FALSE(m_doc->CanStopTrace());
    EXPECT_FALSE(m_doc->CheckCapture()) << "told once";
    EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), 20);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "The card stopped answering (error 1167).\nThe trace was stopped; 20 records were kept in " +
                                      LogPath().string() + ".");
    EXPECT_EQ(m_ui.statusTexts.back(),
              "TRACE: Stopped, the card stopped answering; 20 records kept in " + LogPath().string());
}

TEST_F(TraceDocumentTest, FramesLongerThanARecordHoldsAreSaidToBeLost) {
    cardsim::Settings settings;
    settings.rate = 0;
    settings.traffic = cardsim::Traffic::Replay;
    for (const std::size_t size : {std::size_t{4}, std::size_t{281}, std::size_t{5}}) {
        cardsim::TraceFrame frame;
        frame.data.assign(size, 0x41);
        frame.data[0] = 0x00, frame.data[1] = 0x81, frame.data[2] = 0x01;
        settings.replay.push_back(std::move(frame));
    }
    settings.unplugAfter = 6;
    m_card = std::make_shared<cardsim::Card>(std::move(settings));
    cardsim::InstallCard(m_card);
    m_doc = std::make_unique<CMarloTrcDoc>(m_ui, kShortWait);
    m_registration.emplace(*m_doc, m_view);
    ASSERT_TRUE(m_doc->OnOpenDocument("Orin Strandex PCI 1 ST Adapter"));
    m_doc->OnTraceStart();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!m_doc->CheckCapture()) {
        ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the gone card was never noticed";
        if (const auto params = m_view.target.Next(std::chrono::milliseconds(1))) m_doc->OnTraceRecord(**params);
    }
    EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), 4);
    ASSERT_EQ(m_boxes.Texts().size(), 2u);
    EXPECT_EQ(m_boxes.Texts()[0], "2 frames longer than a record holds (280 octets) were not kept.");
}

TEST_F(TraceDocumentTest, AFullFileStopsTheTraceWithOneMessageAndEveryWholeRecord) {
    Open("rate=0");
    // A file size limit a little above the empty log plays a full disk.
    const auto headerOnly = std::filesystem::file_size(LogPath());
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(headerOnly + 1000);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    m_doc->OnTraceStart();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool noticed = true;
    while (!m_doc->CheckCapture()) {
        if (std::chrono::steady_clock::now() > limit) {
            noticed = false;
            break;
        }
        if (const auto params = m_view.target.Next(std::chrono::milliseconds(1))) m_doc->OnTraceRecord(**params);
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_TRUE(noticed) << "the full file was never noticed";
    DrainPosted();

    EXPECT_FALSE(m_doc->CanStopTrace());
    const int shown = m_doc->GetTraceLog()->GetRecordCount();
    EXPECT_GT(shown, 0);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "Writing the trace log file stopped: File too large.\nThe trace was stopped; " +
                                      std::to_string(shown) + " records were kept in " + LogPath().string() + ".");
    EXPECT_EQ(m_ui.statusTexts.back(), "TRACE: Stopped, writing failed (File too large); " + std::to_string(shown) +
                                           " records kept in " + LogPath().string());
    // The file ends on a whole record and holds exactly what the list shows.
    EXPECT_LE(std::filesystem::file_size(LogPath()), headerOnly + 1000);
    trace::CTraceLog reread;
    ASSERT_EQ(reread.LoadFile(LogPath()), 1);
    EXPECT_EQ(reread.GetRecordCount(), shown);
}

// A new Start shows only its own records; what the list held and nobody
// saved is offered first, and a Cancel (of the question or of the save
// dialog) starts nothing and changes nothing.
struct RestartCase {
    const char* name;
    platform::MbResult answer;              // Save (Yes), Discard (No) or Cancel
    std::optional<std::string> chosenName;  // in the save dialog; nullopt: cancel
    bool starts;
};

void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.name; }

class RestartTest : public TraceDocumentTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(RestartTest, OffersTheRecordsNotSavedAndShowsOnlyTheNewCapture) {
    const RestartCase& c = GetParam();
    Open();
    TraceSomeRecords(2);
    trace::CTraceLog& log = *m_doc->GetTraceLog();
    const int before = log.GetRecordCount();
    const std::uint16_t last = log.GetSequence(before - 1);
    const auto traced = testsupport::ReadFile(LogPath());
    m_boxes.ScriptAnswers({c.answer});
    if (c.chosenName) m_ui.fileAnswers = {m_dir / *c.chosenName};

    EXPECT_EQ(m_doc->OnTraceStart(), c.starts);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0],
              "The list holds " + std::to_string(before) + " records that are not saved.\nSave them before the new trace starts?");
    if (c.chosenName) {
        EXPECT_EQ(testsupport::ReadFile(m_dir / *c.chosenName), traced);
    }
    if (!c.starts) {
        EXPECT_TRUE(Peer(*m_doc).CanStartTrace());
        EXPECT_EQ(log.GetRecordCount(), before);
        EXPECT_EQ(testsupport::ReadFile(LogPath()), traced);
        return;
    }
    DeliverUntilListed(1);
    m_doc->OnTraceStop();
    // Later than the last record before, in the library's sequence that wraps at 65536.
    const auto ahead = static_cast<std::uint16_t>(log.GetSequence(0) - last);
    EXPECT_TRUE(ahead > 0 && ahead < 0x8000) << "a record of the capture before: " << log.GetSequence(0);
}

const RestartCase kRestartCases[] = {
    {"Cancel", platform::MbResult::Cancel, std::nullopt, false},
    {"SaveThenCancel", platform::MbResult::Yes, std::nullopt, false},
    {"SaveACopy", platform::MbResult::Yes, "before.log", true},
    {"Discard", platform::MbResult::No, std::nullopt, true},
};

INSTANTIATE_TEST_SUITE_P(Answers, RestartTest, ::testing::ValuesIn(kRestartCases),
                         [](const auto& param) { return std::string(param.param.name); });

// A copy that cannot be written starts nothing and loses nothing: the list
// and the trace log file are as they were, and the user is told where the
// records are.
TEST_F(TraceDocumentTest, ACopyThatCannotBeWrittenKeepsTheCaptureAndSaysWhere) {
    Open();
    TraceSomeRecords(2);
    const int before = m_doc->GetTraceLog()->GetRecordCount();
    const auto traced = testsupport::ReadFile(LogPath());
    const auto target = m_dir / "no-such-folder" / "before.log";
    m_boxes.ScriptAnswers({platform::MbResult::Yes});
    m_ui.fileAnswers = {target};
    EXPECT_FALSE(m_doc->OnTraceStart());
    ASSERT_EQ(m_boxes.Texts().size(), 2u);
    EXPECT_EQ(m_boxes.Texts()[1], "The records could not be saved as " + target.string() +
                                      ":\ncannot create a file in " + target.parent_path().string() +
                                      ": No such file or directory.\nThe trace was not started; the list is as it "
                                      "was, and its records are kept in " + LogPath().string() + ".");
    EXPECT_TRUE(Peer(*m_doc).CanStartTrace());
    EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), before);
    EXPECT_EQ(testsupport::ReadFile(LogPath()), traced);
    EXPECT_TRUE(m_ui.recentFiles.empty());
    // Asked again at the next start: nothing counts as saved.
    m_boxes.Clear();
    m_boxes.ScriptAnswers({platform::MbResult::Cancel});
    EXPECT_FALSE(m_doc->OnTraceStart());
    EXPECT_EQ(m_boxes.Texts().size(), 1u);
}

// A start the card refuses keeps the list and says why, as trctool does.
TEST_F(TraceDocumentTest, RefusedTraceControlStartsNoReaderAndKeepsTheList) {
    Open("rate=0;refuse=9900:5");
    EXPECT_FALSE(m_doc->OnTraceStart());
    EXPECT_EQ(m_boxes.Texts(), std::vector<std::string>{"Could not start trace.\nTpx Trace Control Enable Response 5"});
    EXPECT_TRUE(Peer(*m_doc).CanStartTrace());
    EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), 0);
}

TEST_F(TraceDocumentTest, AStartAfterTheCardWentAwayKeepsTheList) {
    Open("rate=0;unplug=3");
    m_doc->OnTraceStart();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!m_doc->CheckCapture()) {  // the records come in batches of any size
        ASSERT_LT(std::chrono::steady_clock::now(), limit);
        if (const auto params = m_view.target.Next(std::chrono::milliseconds(1))) m_doc->OnTraceRecord(**params);
    }
    DrainPosted();
    m_boxes.Clear();
    m_boxes.ScriptAnswers({platform::MbResult::No});  // discard them: the start fails all the same
    EXPECT_FALSE(m_doc->OnTraceStart());
    EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), 3);
    ASSERT_EQ(m_boxes.Texts().size(), 2u);
    EXPECT_EQ(m_boxes.Texts()[1].rfind("Could not start trace.\nTpx Trace Control Enable", 0), 0u) << m_boxes.Texts()[1];
    EXPECT_EQ(m_ui.statusTexts.back().rfind("TRACE: Could not start: Tpx Trace Control Enable", 0), 0u);
}

TEST_F(TraceDocumentTest, NothingTracedDeletesTheFileWithoutAQuestion) {
    Open();
    EXPECT_EQ(Files(), std::vector<std::filesystem::path>{"trc0000.log"});
    m_doc->OnCloseDocument();
    EXPECT_TRUE(Files().empty());
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_TRUE(m_ui.saveRequests.empty());
    EXPECT_EQ(m_doc->GetTraceLog(), nullptr);
}

struct CloseCase {
    const char* name;
    bool saveLogFile;                             // File > Save Log File instead of the close box
    bool askFirst;                                // SaveModified before the closing sequence, as the program does
    std::vector<platform::MbResult> answers;      // to the question
    std::optional<std::string> chosenName;        // in the save dialog; nullopt: cancel
    bool closes;                                  // SaveModified's answer
    std::vector<std::string> expectedFiles;
    int questions;
    const char* recent = nullptr;  // what the recent-file list gains (nullptr: nothing)
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class ClosingSequenceTest : public TraceDocumentTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(ClosingSequenceTest, KeepsOrDeletesExactlyWhatTheUserChose) {
    const CloseCase& c = GetParam();
    Open();
    TraceSomeRecords();
    const int records = m_doc->GetTraceLog()->GetRecordCount();
    const auto traced = testsupport::ReadFile(LogPath());
    m_boxes.ScriptAnswers(c.answers);
    if (c.chosenName) m_ui.fileAnswers = {m_dir / *c.chosenName};
    if (c.saveLogFile) m_doc->OnSaveLogFile();
    const bool closes = !c.askFirst || m_doc->SaveModified();
    EXPECT_EQ(closes, c.closes);
    if (closes) {
        m_doc->OnCloseDocument();
    } else {
        // Nothing emptied, closed or deleted: the document is as it was.
        EXPECT_EQ(m_doc->GetTraceLog()->GetRecordCount(), records);
        EXPECT_TRUE(m_doc->IsOpened());
    }

    std::vector<std::filesystem::path> expected(c.expectedFiles.begin(), c.expectedFiles.end());
    EXPECT_EQ(Files(), expected);
    EXPECT_EQ(static_cast<int>(m_boxes.Texts().size()), c.questions);
    if (c.questions > 0) {
        EXPECT_EQ(m_boxes.Texts()[0], kQuestion);
        EXPECT_EQ(m_boxes.Requests()[0].buttons, platform::MbButtons::YesNoCancel);
    }
    if (!expected.empty()) {
        EXPECT_EQ(testsupport::ReadFile(m_dir / expected[0]), traced);
    }
    // A kept capture can be opened again from the File menu, by its new name.
    EXPECT_EQ(m_ui.recentFiles,
              c.recent ? std::vector<std::string>{(m_dir / c.recent).string()} : std::vector<std::string>{});
}

using R = platform::MbResult;
const CloseCase kCloseCases[] = {
    {"No", false, true, {R::No}, std::nullopt, true, {}, 1},
    {"Cancel", false, true, {R::Cancel}, std::nullopt, false, {"trc0000.log"}, 1},
    {"YesThenCancel", false, true, {R::Yes}, std::nullopt, false, {"trc0000.log"}, 1},
    {"YesAndAName", false, true, {R::Yes}, "kept.log", true, {"kept.log"}, 1, "kept.log"},
    {"SaveLogFileAsksNoQuestion", true, true, {}, "saved.log", true, {"saved.log"}, 0, "saved.log"},
    {"SaveLogFileCancelled", true, true, {}, std::nullopt, false, {"trc0000.log"}, 0},
    // Its own name replaces nothing: no question about replacing it either.
    {"SaveLogFileUnderItsOwnName", true, true, {}, "trc0000.log", true, {"trc0000.log"}, 0, "trc0000.log"},
    // Closed without being asked first (a document destroyed): asked then,
    // and a cancel keeps the file where it is.
    {"UnaskedCancelKeepsTheFile", false, false, {R::Cancel}, std::nullopt, true, {"trc0000.log"}, 1, "trc0000.log"},
};

INSTANTIATE_TEST_SUITE_P(Branches, ClosingSequenceTest, ::testing::ValuesIn(kCloseCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(TraceDocumentTest, AFailedMoveKeepsTheTrace) {
    Open();
    TraceSomeRecords();
    const auto logName = LogPath().filename();
    m_doc->OnSaveLogFile();
    m_ui.fileAnswers = {m_dir / "no-such-folder" / "kept.log"};
    m_doc->OnCloseDocument();
    ASSERT_EQ(m_ui.saveRequests.size(), 1u);
    EXPECT_FALSE(m_ui.saveRequests[0].confirmOverwrite);  // the document asks itself, never about its own file
    EXPECT_EQ(m_ui.saveRequests[0].defaultExtension, "log");
    EXPECT_EQ(m_ui.saveRequests[0].initialName, (m_dir / logName).string());
    EXPECT_EQ(Files(), std::vector<std::filesystem::path>{logName});  // still there, under its own name
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_NE(m_boxes.Texts()[0].find("could not be saved"), std::string::npos);
}

TEST_F(TraceDocumentTest, AnAdapterThatCannotBeOpenedLeavesNoFile) {
    m_card = testsupport::UseEmulatedCard("absent=1");
    m_doc = std::make_unique<CMarloTrcDoc>(m_ui, kShortWait);
    EXPECT_FALSE(m_doc->OnOpenDocument("Orin Strandex PCI 1 ST Adapter"));
    m_doc->OnCloseDocument();
    EXPECT_TRUE(Files().empty());
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0].rfind("Tpx Register", 0), 0u) << m_boxes.Texts()[0];
}

TEST_F(TraceDocumentTest, OpeningTheAdapterAgainStartsAFurtherFile) {
    Open();
    TraceSomeRecords(1);
    std::string errorText;
    ASSERT_TRUE(m_doc->OpenAdapter(errorText)) << errorText;
    EXPECT_EQ(LogPath().filename(), "trc0001.log");
    EXPECT_EQ(Files(), (std::vector<std::filesystem::path>{"trc0000.log", "trc0001.log"}));
    m_doc->OnCloseDocument();  // the new file holds only its header
    EXPECT_EQ(Files(), std::vector<std::filesystem::path>{"trc0000.log"});
}

// Open Adapter again, with records in the list that nobody saved: they
// are offered before the document leaves its file, as before a new Start.
// Cancel (of the question or of the file dialog) keeps the adapter, its
// trace and the list; Save copies every record the earlier file holds,
// taken after the trace ended; either way the list then shows the new
// file's records only, from its first, and the earlier file stays.
// The same answers as before a new Start; `starts`: the other adapter is taken.
class ReopenTest : public TraceDocumentTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(ReopenTest, OffersTheRecordsNotSavedAndShowsTheNewFileFromItsFirstRecord) {
    const RestartCase& c = GetParam();
    m_ui.adapterAnswers = {0, 1};
    Open("rate=0;adapters=2");
    // A capture after an earlier one of the same file: its records start
    // well into the file, where the new file's first records also end.
    TraceSomeRecords(3);
    m_boxes.ScriptAnswers({platform::MbResult::No});
    ASSERT_TRUE(m_doc->OnTraceStart());
    Deliver(2);
    trace::CTraceLog& log = *m_doc->GetTraceLog();
    const int listed = log.GetRecordCount();
    const std::filesystem::path earlier = LogPath();
    m_boxes.Clear();
    m_boxes.ScriptAnswers({c.answer});
    if (c.chosenName) m_ui.fileAnswers = {m_dir / *c.chosenName};

    std::string errorText;
    EXPECT_EQ(m_doc->OpenAdapter(errorText), c.starts) << errorText;
    ASSERT_FALSE(m_boxes.Texts().empty());
    EXPECT_EQ(m_boxes.Texts()[0], "The list holds " + std::to_string(listed) +
                                      " records that are not saved.\nSave them before the new trace starts?");
    if (!c.starts) {
        EXPECT_EQ(m_doc->GetPathName(), "OrinBri1");
        EXPECT_TRUE(m_doc->CanStopTrace());
        EXPECT_EQ(log.GetRecordCount(), listed);
        EXPECT_EQ(LogPath(), earlier);
        Deliver(1);  // the capture goes on
        m_doc->OnTraceStop();
        DrainPosted();
        m_doc->OnCloseDocument();
        return;
    }
    DrainPosted();
    EXPECT_EQ(m_doc->GetPathName(), "OrinBri2");
    EXPECT_EQ(log.GetRecordCount(), 0);
    EXPECT_NE(LogPath(), earlier);
    const auto kept = testsupport::ReadFile(earlier);
    EXPECT_GT(kept.size(), tracefile::kFileHeaderSize) << "the earlier file keeps its records";
    if (c.chosenName) {
        EXPECT_EQ(testsupport::ReadFile(m_dir / *c.chosenName), kept);
    }

    m_boxes.Clear();
    ASSERT_TRUE(m_doc->OnTraceStart());
    EXPECT_TRUE(m_boxes.Texts().empty()) << "nothing of the new file to offer";
    DeliverUntilListed(1);
    m_doc->OnTraceStop();
    DrainPosted();
    const auto fresh = testsupport::ReadFile(LogPath());
    ASSERT_GT(fresh.size(), tracefile::kFileHeaderSize + wire::kRecSequence + 2);
    EXPECT_EQ(log.GetSequence(0), tracefile::ReadU16(fresh, tracefile::kFileHeaderSize + wire::kRecSequence))
        << "the list begins at the new file's first record";
    m_doc->OnCloseDocument();
}

INSTANTIATE_TEST_SUITE_P(Answers, ReopenTest, ::testing::ValuesIn(kRestartCases),
                         [](const auto& param) { return std::string(param.param.name); });

// Open Adapter again while tracing, on a card of two: the document's own
// adapter is offered beside the other. Cancel keeps the adapter, the trace
// going on into the same file, and the adapter's in-use mark; choosing
// its adapter again ends the trace and opens it afresh with a further file.
TEST_F(TraceDocumentTest, AReopenCancelledKeepsTheAdapterItsTraceAndItsFile) {
    m_ui.adapterAnswers = {0, std::nullopt, 0};
    Open("rate=0;adapters=2");
    m_doc->OnTraceStart();
    Deliver(3);
    const unsigned changes = m_doc->AdapterChanges();
    std::string errorText;
    EXPECT_FALSE(m_doc->OpenAdapter(errorText));
    EXPECT_EQ(errorText, "");
    EXPECT_EQ(m_ui.adapterRequests.back(), (std::vector<std::string>{"OrinBri1 - Inactive", "OrinBri2 - Inactive"}));
    EXPECT_EQ(m_doc->AdapterChanges(), changes);
    EXPECT_TRUE(m_doc->IsOpened());
    EXPECT_TRUE(adapter::IsAdapterInUse(0));
    EXPECT_EQ(m_doc->GetPathName(), "OrinBri1");
    EXPECT_TRUE(m_doc->CanStopTrace());
    Deliver(2);  // records still arrive, into the same file
    EXPECT_EQ(LogPath().filename(), "trc0000.log");
    EXPECT_EQ(Files(), std::vector<std::filesystem::path>{"trc0000.log"});

    ASSERT_TRUE(m_doc->OpenAdapter(errorText)) << errorText;
    DrainPosted();
    EXPECT_EQ(m_doc->AdapterChanges(), changes + 1);
    EXPECT_FALSE(m_doc->CanStopTrace());
    EXPECT_TRUE(adapter::IsAdapterInUse(0));
    EXPECT_EQ(Files(), (std::vector<std::filesystem::path>{"trc0000.log", "trc0001.log"}));
    // Only the offer of the records not saved, asked once the adapter was chosen.
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0].rfind("The list holds ", 0), 0u) << m_boxes.Texts()[0];
    m_doc->OnCloseDocument();
}

}  // namespace
