// The emulated card's conversation through the analyser: the default traffic
// is a clean line (notes only), so a problem found there is a real fault of
// either the card's frames or the checks.

#include <gtest/gtest.h>

#include <set>

#include "analysis/Analysis.h"
#include "cardsim/Conversation.h"

namespace analysis::test {
namespace {

// Rounds of the emulated line through one analyser, a tenth of a second apart
// as the card sends them by default.
Analyzer RunRounds(unsigned rounds, bool faulty) {
    Analyzer a;
    std::uint32_t record = 0;
    for (unsigned round = 0; round < rounds; ++round) {
        const auto frames = faulty ? cardsim::CallsConversation::FaultyRound(round)
                                   : cardsim::CallsConversation::Round(round);
        for (const cardsim::TraceFrame& f : frames) {
            const Side sender = (f.flags & 0x01) ? Side::NT : Side::TE;
            a.Add(FrameInput{record, record * 10, sender, f.data});
            ++record;
        }
    }
    a.Finish();
    return a;
}

TEST(EmulatedTraffic, DefaultCallsGiveNoWarningsOrErrors) {
    const Analyzer a = RunRounds(130, false);  // past the wrap of the call references
    for (const Problem& p : a.Problems()) {
        if (p.severity != Severity::Note) ADD_FAILURE() << p.text;
    }
    ASSERT_EQ(a.Calls().size(), 260u);
    for (const Call& c : a.Calls()) {
        EXPECT_EQ(c.GetOutcome(), Outcome::Answered);
        EXPECT_EQ(c.State(), CallState::Released);
        EXPECT_NE(c.tei, 127);
    }
}

}  // namespace
}  // namespace analysis::test

namespace analysis::test {
namespace {

TEST(EmulatedTraffic, FaultyTrafficShowsEveryProblemKind) {
    const Analyzer a = RunRounds(3, true);
    std::set<ProblemKind> seen;
    for (const Problem& p : a.Problems()) seen.insert(p.kind);
    for (int k = 0; k <= static_cast<int>(ProblemKind::TeiRemoved); ++k) {
        EXPECT_TRUE(seen.count(static_cast<ProblemKind>(k))) << "problem kind " << k << " never seen";
    }
    // Each round holds its refused, unanswered and answered call.
    std::set<Outcome> outcomes;
    for (const Call& c : a.Calls()) outcomes.insert(c.GetOutcome());
    EXPECT_TRUE(outcomes.count(Outcome::Rejected));
    EXPECT_TRUE(outcomes.count(Outcome::Unanswered));
    EXPECT_TRUE(outcomes.count(Outcome::Answered));
}

}  // namespace
}  // namespace analysis::test
