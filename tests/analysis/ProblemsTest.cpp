// Every problem kind, each from a hand-built trace that holds that one fault:
// the problem is found once, on the record that shows it, with its severity.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/analysis/TraceBuilder.h"

namespace analysis::test {
namespace {

struct ProblemCase {
    const char* name;
    ProblemKind kind;
    Severity severity;
    // Builds the trace and answers the record the problem must be flagged on.
    std::function<std::uint32_t(TraceBuilder&)> build;
    const char* textPart;  // a piece of the sentence
};

// A clean outgoing call on TEI 64 up to CONNECT, after assignment and link set-up.
void Connected(TraceBuilder& t) {
    t.Assign(64, 100);
    t.I(TE, 64, Msg(1, false, kSetup, {Bearer()}));
    t.I(NT, 64, Msg(1, true, kConnect));
}

const std::vector<ProblemCase>& Cases() {
    static const std::vector<ProblemCase> cases = {
        {"SETUP without bearer capability", ProblemKind::MissingElement, Severity::Error,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             return t.I(TE, 64, Msg(1, false, kSetup, {Channel(0x83)}));
         },
         "SETUP from TE lacks its mandatory bearer capability"},
        {"network SETUP without channel identification", ProblemKind::MissingElement, Severity::Error,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             return t.Broadcast(Msg(2, false, kSetup, {Bearer()}));
         },
         "channel identification"},
        {"DISCONNECT without cause", ProblemKind::MissingElement, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);
             return t.I(NT, 64, Msg(1, true, kDisconnect));
         },
         "DISCONNECT from NT lacks its mandatory cause"},
        {"first RELEASE COMPLETE without cause", ProblemKind::MissingElement, Severity::Error,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(1, false, kSetup, {Bearer()}));
             return t.I(NT, 64, Msg(1, true, kReleaseComplete));
         },
         "RELEASE COMPLETE from NT lacks its mandatory cause"},
        {"STATUS without call state", ProblemKind::MissingElement, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);
             return t.I(TE, 64, Msg(1, false, kStatus, {Cause(30)}));
         },
         "call state"},
        {"elements out of order", ProblemKind::ElementOrder, Severity::Warning,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             return t.I(TE, 64, Msg(1, false, kSetup, {Channel(0x83), Bearer()}));
         },
         "element 04 follows element 18"},
        {"unknown message type", ProblemKind::UnknownMessage, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             return t.I(NT, 64, Msg(1, true, 0x63));
         },
         "Unknown message type 63"},
        {"two-octet call reference on a one-octet link", ProblemKind::CallRefLength, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);
             return t.I(TE, 64, {0x08, 0x02, 0x00, 0x01, kConnectAck});
         },
         "2 octets where the link uses 1"},
        {"call reference running past the end of the frame", ProblemKind::MalformedHeader, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);
             return t.I(NT, 64, {0x08, 0x03, 0x81, 0x01});
         },
         "call reference of 3 octets runs past the end of the frame"},
        {"messages of a call whose SETUP is not in the trace", ProblemKind::NoSetup, Severity::Warning,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             return t.I(NT, 64, Msg(4, true, kAlerting));
         },
         "ALERTING from NT for call reference 4 of TEI 64"},
        {"messages of a call begun before the trace", ProblemKind::NoSetup, Severity::Note,
         [](TraceBuilder& t) {
             // TEI 0 is fixed, so the trace holds no assignment; nor did it see the link come up.
             return t.I(NT, 0, Msg(4, true, kConnect));
         },
         "CONNECT from NT for call reference 4 of TEI 0"},
        {"SETUP repeated with no answer", ProblemKind::SetupRepeated, Severity::Warning,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(1, false, kSetup, {Bearer()}));
             t.Wait(400);
             return t.I(TE, 64, Msg(1, false, kSetup, {Bearer()}));
         },
         "T303"},
        {"cause other than normal clearing", ProblemKind::AbnormalCause, Severity::Note,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(1, false, kSetup, {Bearer()}));
             return t.I(NT, 64, Msg(1, true, kReleaseComplete, {Cause(17)}));
         },
         "cause 17 (USER BUSY)"},
        {"N(S) gap", ProblemKind::SequenceGap, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);  // NT's next N(S) is 1
             return t.IRaw(NT, 64, 3, 1, Msg(1, true, kAlerting));
         },
         "N(S) 3 from NT on TEI 64 where 1 was expected: 2 I frame(s) missing"},
        {"N(S) repeated", ProblemKind::SequenceRepeat, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             return t.IRaw(NT, 64, 0, 1, Msg(1, true, kConnect));
         },
         "retransmission"},
        {"N(R) acknowledging frames never sent", ProblemKind::BadAcknowledge, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);  // TE sent one I frame
             return t.IRaw(NT, 64, 1, 5, Msg(1, true, kAlerting));
         },
         "N(R) 5 from NT on TEI 64 acknowledges I frames the TE never sent"},
        {"REJ", ProblemKind::Reject, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             return t.S(TE, 64, false, false, 2);
         },
         "REJ from TE"},
        {"FRMR", ProblemKind::FrameReject, Severity::Error,
         [](TraceBuilder& t) {
             Connected(t);
             return t.U(NT, 64, false, 0x87);
         },
         "FRMR from NT"},
        {"DM", ProblemKind::DisconnectedMode, Severity::Warning,
         [](TraceBuilder& t) {
             t.Tei(TE, 100, 1, 127);
             t.Tei(NT, 100, 2, 64);
             t.U(TE, 64, true, 0x7F);
             return t.U(NT, 64, false, 0x1F);
         },
         "DM from NT"},
        {"SABME while the link is up", ProblemKind::LinkReset, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             return t.U(NT, 64, true, 0x7F);
         },
         "re-established"},
        {"SABME repeated without UA", ProblemKind::LinkReset, Severity::Warning,
         [](TraceBuilder& t) {
             t.Tei(TE, 100, 1, 127);
             t.Tei(NT, 100, 2, 64);
             t.U(TE, 64, true, 0x7F);
             return t.U(TE, 64, true, 0x7F);
         },
         "before any UA"},
        {"poll repeated after T200", ProblemKind::PollRepeated, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             t.S(NT, 64, true, true);
             return t.S(NT, 64, true, true);
         },
         "Poll from NT on TEI 64 repeated"},
        {"I frame on a TEI assigned before the trace began", ProblemKind::UnassignedTei, Severity::Note,
         [](TraceBuilder& t) {
             t.Establish(70);
             return t.I(TE, 70, Msg(1, false, kSetup, {Bearer()}));
         },
         "TEI 70"},
        {"TEI denied", ProblemKind::TeiDenied, Severity::Warning,
         [](TraceBuilder& t) {
             t.Tei(TE, 1234, 1, 127);
             return t.Tei(NT, 1234, 3, 127);
         },
         "01234 denied"},
        {"TEI check request unanswered", ProblemKind::TeiCheckUnanswered, Severity::Warning,
         [](TraceBuilder& t) {
             Connected(t);
             const std::uint32_t r = t.Tei(NT, 0, 4, 64);
             t.Wait(300);
             t.S(NT, 64, false, false);
             return r;
         },
         "TEI 64 with no response"},
        {"layer 3 in UI frames to one terminal", ProblemKind::NotCallControl, Severity::Note,
         [](TraceBuilder& t) {
             const std::uint32_t r = t.UiTo(1, Msg(1, false, 0x6A));
             t.UiTo(1, Msg(2, true, 0x08));
             return r;
         },
         "UI frames on TEI 1 are not call control"},
        {"one TEI assigned to two references", ProblemKind::TeiDoubleAssigned, Severity::Error,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.Tei(TE, 200, 1, 127);
             return t.Tei(NT, 200, 2, 64);
         },
         "TEI 64 assigned to reference 00200 while reference 00100"},
        {"TEI removed", ProblemKind::TeiRemoved, Severity::Note,
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             return t.Tei(NT, 0, 6, 64);
         },
         "removed TEI 64"},
    };
    return cases;
}

TEST(Problems, EachKindOnItsRecord) {
    for (const ProblemCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        TraceBuilder t;
        const std::uint32_t record = c.build(t);
        const Analyzer a = t.Run();
        std::vector<const Problem*> found;
        for (const Problem& p : a.Problems()) {
            if (p.kind == c.kind) {
                found.push_back(&p);
            } else if (p.kind != ProblemKind::AbnormalCause && p.kind != ProblemKind::TeiRemoved) {
                ADD_FAILURE() << "unexpected: " << p.text;
            }
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0]->severity, c.severity);
        ASSERT_FALSE(found[0]->records.empty());
        EXPECT_EQ(found[0]->records.front(), record);
        EXPECT_NE(found[0]->text.find(c.textPart), std::string::npos) << found[0]->text;
        EXPECT_EQ(a.RecordSeverity(record), c.severity);
    }
}

// A check request answered in time, a poll answered with F, and a REJ-free
// retransmission-free link give nothing.
TEST(Problems, AnsweredRequestsGiveNone) {
    TraceBuilder t;
    Connected(t);
    t.Tei(NT, 0, 4, 64);
    t.Tei(TE, 100, 5, 64);
    t.S(NT, 64, true, true);
    t.S(TE, 64, false, true);
    t.S(NT, 64, true, true);
    t.S(TE, 64, false, true);
    t.I(TE, 64, Msg(1, false, kDisconnect, {Cause(16)}));
    t.I(NT, 64, Msg(1, true, kRelease));
    t.I(TE, 64, Msg(1, false, kReleaseComplete));
    t.U(TE, 64, true, 0x53);
    t.U(NT, 64, false, 0x73);
    t.Establish(64);  // a new link after a clean release is no re-establishment
    const Analyzer a = t.Run();
    for (const Problem& p : a.Problems()) ADD_FAILURE() << p.text;
}

// A TEI check request is unanswered only when a later record shows T201 (1 s)
// ran out, and only where the capture would show the answer: a terminal the
// capture never showed may answer unseen, and the network serving its TEI
// afterwards says it did.
TEST(Problems, TeiCheckAnsweredWhereTheCaptureMayNotSeeIt) {
    struct Case {
        const char* name;
        std::function<void(TraceBuilder&)> after;  // after TEI 99 is up and the network checks TEI 64
        bool finish;
        std::size_t warnings;
    };
    const std::vector<Case> cases = {
        {"trace cut 20 ms after the request", [](TraceBuilder& t) { t.Wait(2); }, true, 0},
        {"the network's UA on the TEI at once", [](TraceBuilder& t) { t.U(NT, 64, false, 0x73); }, true, 0},
        {"the network serves the TEI 9 s later",
         [](TraceBuilder& t) {
             t.Wait(200);
             t.S(NT, 99, true, true);
             t.S(TE, 99, false, true);
             t.Wait(700);
             t.S(NT, 64, false, true);
         },
         true, 0},
        {"live, the TEI not served since", [](TraceBuilder& t) {
             t.Wait(200);
             t.S(NT, 99, true, true);
         },
         false, 0},
        {"the trace ends and never shows the TEI served",
         [](TraceBuilder& t) {
             t.Wait(200);
             t.S(NT, 99, true, true);
         },
         true, 1},
        {"the network removes the TEI",
         [](TraceBuilder& t) {
             t.Wait(200);
             t.Tei(NT, 0, 6, 64);
             t.S(NT, 99, true, true);
         },
         false, 1},
        {"the terminal's answer, seen", [](TraceBuilder& t) { t.Tei(TE, 300, 5, 64); }, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TraceBuilder t;
        t.Assign(99, 100);
        const std::uint32_t request = t.Tei(NT, 0, 4, 64);
        c.after(t);
        const Analyzer a = t.Run(c.finish);
        EXPECT_EQ(a.Count(Severity::Warning), c.warnings);
        EXPECT_EQ(a.Count(Severity::Error), 0u);
        if (c.warnings > 0) {
            EXPECT_EQ(a.RecordSeverity(request), Severity::Warning);
        }
    }
}

// A check of the capturing terminal's own TEI shows its answer, if any, so
// the network serving the TEI does not excuse a missing one; a check of the
// TEI's terminal is not unanswered before T201 runs out.
TEST(Problems, TeiCheckOfATerminalInTheCapture) {
    TraceBuilder t;
    Connected(t);
    t.Tei(NT, 0, 4, 64);
    t.Wait(50);
    t.S(NT, 64, true, true);
    EXPECT_EQ(t.Run(true).Count(Severity::Warning), 0u);
    t.Wait(100);
    t.S(TE, 64, false, true);
    EXPECT_EQ(t.Run(false).Count(Severity::Warning), 1u);
}

// Frames cut short anywhere never make the analyser read past them.
TEST(Problems, TruncatedFramesAreSafe) {
    const Bytes full = {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3, 0x70, 0x04, 0xA1};
    Analyzer a;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
        a.Add(FrameInput{static_cast<std::uint32_t>(n), 0, TE, cut});
    }
    EXPECT_EQ(a.RecordsSeen(), full.size() + 1);
}

// Causes 16 (normal call clearing) and 31 (normal, unspecified) end a call
// normally in every clearing message; any other cause is a note.
TEST(Problems, OnlyNormalClearingCausesPassWithoutANote) {
    struct Row {
        std::uint8_t cause;
        std::uint8_t message;
        bool note;
    };
    const Row rows[] = {
        {16, kDisconnect, false}, {16, kRelease, false}, {16, kReleaseComplete, false},
        {31, kDisconnect, false}, {31, kRelease, false}, {31, kReleaseComplete, false},
        {17, kDisconnect, true},  {21, kRelease, true},  {34, kReleaseComplete, true},
        {1, kDisconnect, true},   {127, kReleaseComplete, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "cause " << int{row.cause} << " in message type " << int{row.message});
        TraceBuilder t;
        Connected(t);
        t.I(TE, 64, Msg(1, false, row.message, {Cause(row.cause)}));
        const Analyzer a = t.Run();
        const auto notes = std::count_if(a.Problems().begin(), a.Problems().end(),
                                         [](const Problem& p) { return p.kind == ProblemKind::AbnormalCause; });
        EXPECT_EQ(notes, row.note ? 1 : 0);
    }
}

}  // namespace
}  // namespace analysis::test
