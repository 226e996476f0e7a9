// Calls followed through hand-built traces, one table row per call outcome.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "analysis/Ladder.h"
#include "filter/DisplayFilter.h"
#include "tests/analysis/TraceBuilder.h"

namespace analysis::test {
namespace {

struct ExpectedCall {
    std::string direction;  // "outgoing" or "incoming"
    int tei;
    unsigned callRef;
    std::string calling, called, bearer, channel;
    CallState state;
    Outcome outcome;
    int cause;  // -1: none
    Side clearedBy;
    unsigned messages;
};

struct CallCase {
    const char* name;
    std::function<void(TraceBuilder&)> build;
    std::vector<ExpectedCall> calls;
};

// An outgoing call with overlap sending, answered, cleared by `clearer`.
void AnsweredOutgoing(TraceBuilder& t, std::uint8_t tei, std::uint8_t cr, Side clearer) {
    t.I(TE, tei, Msg(cr, false, kSetup, {Bearer(), Channel(0x83)}));
    t.I(NT, tei, Msg(cr, true, kSetupAck, {Channel(0x89)}));
    t.I(TE, tei, Msg(cr, false, kInformation, {Keypad("555")}));
    t.I(TE, tei, Msg(cr, false, kInformation, {Keypad("1234")}));
    t.I(NT, tei, Msg(cr, true, kCallProceeding));
    t.I(NT, tei, Msg(cr, true, kAlerting));
    t.I(NT, tei, Msg(cr, true, kConnect));
    t.I(TE, tei, Msg(cr, false, kConnectAck));
    const bool byTe = clearer == TE;
    t.I(clearer, tei, Msg(cr, !byTe, kDisconnect, {Cause(16)}));
    t.I(Other(clearer), tei, Msg(cr, byTe, kRelease));
    t.I(clearer, tei, Msg(cr, !byTe, kReleaseComplete));
}

const std::vector<CallCase>& Cases() {
    static const std::vector<CallCase> cases = {
        {"answered outgoing cleared by the terminal",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             AnsweredOutgoing(t, 64, 1, TE);
         },
         {{"outgoing", 64, 1, "", "5551234", "speech", "B1", CallState::Released, Outcome::Answered, 16, TE, 11}}},
        {"answered outgoing cleared by the network",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             AnsweredOutgoing(t, 64, 1, NT);
         },
         {{"outgoing", 64, 1, "", "5551234", "speech", "B1", CallState::Released, Outcome::Answered, 16, NT, 11}}},
        {"broadcast offer answered by one terminal is one call",
         [](TraceBuilder& t) {
             t.Assign(65, 100);
             t.Broadcast(Msg(7, false, kSetup,
                             {Bearer(), Channel(0x8A), Calling("4085551212"), Called("5551234")}));
             t.I(TE, 65, Msg(7, true, kAlerting));
             t.I(TE, 65, Msg(7, true, kConnect));
             t.I(NT, 65, Msg(7, false, kConnectAck));
             t.I(NT, 65, Msg(7, false, kDisconnect, {Cause(16)}));
             t.I(TE, 65, Msg(7, true, kRelease));
             t.I(NT, 65, Msg(7, false, kReleaseComplete));
         },
         {{"incoming", 65, 7, "4085551212", "5551234", "speech", "B2", CallState::Released, Outcome::Answered, 16,
           NT, 7}}},
        {"rejected: busy",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(3, false, kSetup, {Bearer(), Called("777")}));
             t.I(NT, 64, Msg(3, true, kReleaseComplete, {Cause(17)}));
         },
         {{"outgoing", 64, 3, "", "777", "speech", "", CallState::Released, Outcome::Rejected, 17, NT, 2}}},
        {"released while alerting",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(3, false, kSetup, {Bearer()}));
             t.I(NT, 64, Msg(3, true, kAlerting));
             t.I(TE, 64, Msg(3, false, kDisconnect, {Cause(16)}));
             t.I(NT, 64, Msg(3, true, kRelease));
             t.I(TE, 64, Msg(3, false, kReleaseComplete));
         },
         {{"outgoing", 64, 3, "", "", "speech", "", CallState::Released, Outcome::Rejected, 16, TE, 5}}},
        {"unanswered, SETUP sent twice",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(9, false, kSetup, {Bearer()}));
             t.Wait(400);
             t.I(TE, 64, Msg(9, false, kSetup, {Bearer()}));
             t.Wait(400);
             t.S(NT, 64, true, true);  // a later record: T303 ran out again
         },
         {{"outgoing", 64, 9, "", "", "speech", "", CallState::Setup, Outcome::Unanswered, -1, TE, 2}}},
        {"SETUP 60 ms before the end of the trace",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(9, false, kSetup, {Bearer()}));
             t.Wait(50);
             t.S(NT, 64, false, false);
         },
         {{"outgoing", 64, 9, "", "", "speech", "", CallState::Setup, Outcome::InProgress, -1, TE, 1}}},
        {"incoming SETUP never answered for longer than T303",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(NT, 64, Msg(3, false, kSetup, {Bearer(), Channel(0x89)}));
             t.Wait(401);
             t.S(NT, 64, true, true);
         },
         {{"incoming", 64, 3, "", "", "speech", "B1", CallState::Setup, Outcome::Unanswered, -1, TE, 1}}},
        {"two calls interleaved on two TEIs with the same reference",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.Assign(66, 200);
             t.I(TE, 64, Msg(1, false, kSetup, {Bearer(), Called("1")}));
             t.I(TE, 66, Msg(1, false, kSetup, {Bearer(), Called("2")}));
             t.I(NT, 66, Msg(1, true, kConnect));
             t.I(NT, 64, Msg(1, true, kAlerting));
             t.I(TE, 66, Msg(1, false, kDisconnect, {Cause(16)}));
             t.I(NT, 64, Msg(1, true, kConnect));
         },
         {{"outgoing", 64, 1, "", "1", "speech", "", CallState::Active, Outcome::Answered, -1, TE, 3},
          {"outgoing", 66, 1, "", "2", "speech", "", CallState::Released, Outcome::Answered, 16, TE, 3}}},
        {"both sides use the same reference value for their own calls",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(5, false, kSetup, {Bearer()}));
             t.I(NT, 64, Msg(5, false, kSetup, {Bearer(), Channel(0x89)}));
             t.I(NT, 64, Msg(5, true, kCallProceeding));
             t.I(TE, 64, Msg(5, true, kAlerting));
         },
         {{"outgoing", 64, 5, "", "", "speech", "", CallState::Proceeding, Outcome::InProgress, -1, TE, 2},
          {"incoming", 64, 5, "", "", "speech", "B1", CallState::Alerting, Outcome::InProgress, -1, TE, 2}}},
        {"the same reference used again after release",
         [](TraceBuilder& t) {
             t.Assign(64, 100);
             t.I(TE, 64, Msg(2, false, kSetup, {Bearer()}));
             t.I(NT, 64, Msg(2, true, kReleaseComplete, {Cause(34)}));
             t.I(TE, 64, Msg(2, false, kSetup, {Bearer(), Called("42")}));
             t.I(NT, 64, Msg(2, true, kConnect));
         },
         {{"outgoing", 64, 2, "", "", "speech", "", CallState::Released, Outcome::Rejected, 34, NT, 2},
          {"outgoing", 64, 2, "", "42", "speech", "", CallState::Active, Outcome::Answered, -1, TE, 2}}},
    };
    return cases;
}

// The parties of a call as far as its numbers are known: nothing stands in
// for a number the call never carried.
TEST(Calls, PartiesSayOnlyWhatIsKnown) {
    const struct {
        const char* calling;
        const char* called;
        const char* parties;
    } cases[] = {
        {"4085551212", "5551234", "4085551212 -> 5551234"},
        {"4085551212", "", "from 4085551212"},
        {"", "5551234", "to 5551234"},
        {"", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(analysis::CallParties(c.calling, c.called), c.parties) << c.parties;
}

TEST(Calls, EachOutcome) {
    for (const CallCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        TraceBuilder t;
        c.build(t);
        const Analyzer a = t.Run();
        ASSERT_EQ(a.Calls().size(), c.calls.size());
        for (std::size_t i = 0; i < c.calls.size(); ++i) {
            SCOPED_TRACE("call " + std::to_string(i + 1));
            const Call& got = a.Calls()[i];
            const ExpectedCall& want = c.calls[i];
            EXPECT_EQ(got.Outgoing() ? "outgoing" : "incoming", want.direction);
            EXPECT_EQ(got.tei, want.tei);
            EXPECT_EQ(got.callRef, want.callRef);
            EXPECT_EQ(got.calling, want.calling);
            EXPECT_EQ(got.called, want.called);
            EXPECT_EQ(got.bearer, want.bearer);
            EXPECT_EQ(got.channel, want.channel);
            EXPECT_EQ(got.State(), want.state);
            EXPECT_EQ(got.GetOutcome(), want.outcome);
            if (want.cause < 0) {
                EXPECT_FALSE(got.cause);
            } else {
                ASSERT_TRUE(got.cause);
                EXPECT_EQ(got.cause->value, want.cause);
                EXPECT_EQ(got.cause->from, want.clearedBy);
            }
            EXPECT_EQ(got.messages, want.messages);
            EXPECT_EQ(got.records.size(), want.messages);
            EXPECT_LE(got.start, got.end);
        }
        // None of these calls has a fault of its own beyond what its outcome says.
        for (const Problem& p : a.Problems()) {
            if (p.kind == ProblemKind::AbnormalCause || p.kind == ProblemKind::SetupRepeated) continue;
            ADD_FAILURE() << p.text;
        }
    }
}

// The display filter of each call of every trace above keeps exactly the
// records its ladder shows: not the other call on another TEI, not an
// earlier call with the same reference, not the other side's own call.
TEST(Ladder, TheCallFilterKeepsWhatTheLadderShows) {
    for (const CallCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        TraceBuilder t;
        c.build(t);
        const Analyzer a = t.Run();
        for (std::size_t i = 0; i < a.Calls().size(); ++i) {
            const std::string expression = CallFilter(a.Calls()[i]);
            SCOPED_TRACE(expression);
            filter::FilterError error;
            const auto parsed = filter::DisplayFilter::Parse(expression, &error);
            ASSERT_TRUE(parsed) << error.Text();
            std::vector<std::uint32_t> shown;
            for (const LadderStep& step : BuildLadder(a, i, [&](std::uint32_t r) { return t.Input(r); }))
                shown.push_back(step.record);
            std::vector<std::uint32_t> kept;
            for (std::uint32_t r = 0; r < t.Size(); ++r) {
                const FrameInput in = *t.Input(r);
                filter::Subject s;
                s.type = 3;
                s.hours = static_cast<std::uint8_t>(in.time / 360000 % 24);
                s.minutes = static_cast<std::uint8_t>(in.time / 6000 % 60);
                s.seconds = static_cast<std::uint8_t>(in.time / 100 % 60);
                s.hundredths = static_cast<std::uint8_t>(in.time % 100);
                s.flagsOctet = in.sender == NT ? 0x01 : 0x00;
                s.data = in.frame;
                if (parsed->Matches(s)) kept.push_back(r);
            }
            EXPECT_EQ(kept, shown) << "call " << i + 1;
        }
    }
}

// A call that crosses midnight ends at a time of day, and lasts what it lasted.
TEST(Calls, CallAcrossMidnightEndsAtATimeOfDay) {
    TraceBuilder t;
    t.SetTime(24u * 360000u - 100);  // 23:59:59.00
    t.Assign(64, 100);
    AnsweredOutgoing(t, 64, 1, TE);
    t.Wait(12);
    t.I(TE, 64, Msg(2, false, kSetup, {Bearer()}));
    t.I(NT, 64, Msg(2, true, kReleaseComplete, {Cause(16)}));
    const Analyzer a = t.Run();
    ASSERT_EQ(a.Calls().size(), 2u);
    const auto cells = CallCells(a.Calls()[1], 1);
    EXPECT_EQ(cells[1], "00:00:00.62");
    EXPECT_EQ(cells[2], "00:00:00.72");
    const auto first = CallCells(a.Calls()[0], 0);
    EXPECT_EQ(first[1], "23:59:59.40");
    EXPECT_EQ(first[2], "00:00:00.40");  // cleared after midnight
    EXPECT_EQ(first[3], "0:01.00");
}

TEST(Ladder, ArrowsPointFromTheSenderAndLinkEventsAreGrey) {
    TraceBuilder t;
    t.Assign(65, 100);
    t.Broadcast(Msg(7, false, kSetup, {Bearer(), Channel(0x89), Calling("4085551212"), Called("5551234")}));
    t.I(TE, 65, Msg(7, true, kConnect));
    t.S(TE, 65, false, false, 2);  // REJ
    t.I(NT, 65, Msg(7, false, kDisconnect, {Cause(17)}));
    const Analyzer run = t.Run();
    ASSERT_EQ(run.Calls().size(), 1u);
    const auto steps = BuildLadder(run, 0, [&](std::uint32_t record) { return t.Input(record); });
    ASSERT_EQ(steps.size(), 6u);  // SABME and UA a second before, SETUP, CONNECT, REJ, DISCONNECT
    EXPECT_EQ(steps[0].label, "SABME");
    EXPECT_TRUE(steps[0].layer2);
    EXPECT_EQ(steps[0].from, TE);
    EXPECT_EQ(steps[1].label, "UA");
    EXPECT_EQ(steps[1].from, NT);
    EXPECT_EQ(steps[2].label, "SETUP");
    EXPECT_EQ(steps[2].from, NT);
    EXPECT_FALSE(steps[2].layer2);
    EXPECT_NE(steps[2].details.find("4085551212 -> 5551234"), std::string::npos);
    EXPECT_EQ(steps[3].label, "CONNECT");
    EXPECT_EQ(steps[3].from, TE);
    EXPECT_EQ(steps[4].label, "REJ");
    EXPECT_TRUE(steps[4].layer2);
    EXPECT_EQ(steps[5].details, "cause 17 USER BUSY");

    const auto lines = LadderLines(steps, [](std::uint32_t r) { return "seq" + std::to_string(r + 200); });
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[3].find("#seq204"), std::string::npos) << lines[3];  // named as the caller names records
    EXPECT_NE(lines[3].find("|<"), std::string::npos) << lines[3];   // SETUP from the network: points left
    EXPECT_NE(lines[4].find("->|"), std::string::npos) << lines[4];  // CONNECT from the terminal: points right
}

// The calling number's octet 3a (presentation and screening) is there when
// octet 3's extension bit is 0, and is no digit: the call table, the
// record's mnemonic and the display filter all show the same digits, whether
// octet 3a is there, absent, or itself a printable octet.
TEST(Calls, CallingNumberDigitsSkipOctet3aExactlyWhenItIsThere) {
    struct Row {
        const char* what;
        std::string_view prefix;  // octet 3 and, where its extension bit is 0, octet 3a
    };
    const Row rows[] = {
        {"octet 3 alone", "\xA1"},
        {"octet 3a, presentation allowed", "\x21\x80"},
        {"octet 3a that reads as a character", "\x21\xA1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TraceBuilder t;
        t.Assign(65, 200);
        t.I(NT, 65, Msg(7, false, kSetup, {Bearer(), Channel(0x8A), Digits(0x6C, row.prefix, "4085551212")}));
        const Analyzer a = t.Run();
        ASSERT_EQ(a.Calls().size(), 1u);
        EXPECT_EQ(a.Calls()[0].calling, "4085551212");

        const FrameInput setup = *t.Input(t.Size() - 1);
        filter::Subject s;
        s.type = 3;
        s.flagsOctet = 0x01;
        s.data = setup.frame;
        for (const char* expression : {"calling == \"4085551212\"", "q931.calling_party_number.digits == \"4085551212\""}) {
            const auto parsed = filter::DisplayFilter::Parse(expression);
            ASSERT_TRUE(parsed);
            EXPECT_TRUE(parsed->Matches(s)) << expression;
        }
    }
}

}  // namespace
}  // namespace analysis::test
