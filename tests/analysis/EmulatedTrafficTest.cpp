// The emulated card's conversation through the analyser: the default traffic
// is a clean line (notes only), so a problem found there is a real fault of
// either the card's frames or the checks.

#include <gtest/gtest.h>

#include "analysis/Analysis.h"
#include "cardsim/Conversation.h"

namespace analysis::test {
namespace {

TEST(EmulatedTraffic, DefaultCallsGiveNoWarningsOrErrors) {
    Analyzer a;
    std::uint32_t record = 0;
    for (unsigned round = 0; round < 130; ++round) {  // past the wrap of the call references
        for (const cardsim::TraceFrame& f : cardsim::CallsConversation::Round(round)) {
            const Side sender = (f.flags & 0x01) ? Side::NT : Side::TE;
            a.Add(FrameInput{record, record * 10, sender, f.data});
            ++record;
        }
    }
    a.Finish();
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
