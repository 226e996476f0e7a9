#pragma once
// The D-channel of an ISDN basic-rate line as the emulated card traces it: one
// terminal gets a TEI, brings up its data link, makes an outgoing call
// (overlap sending with keypad digits), answers an incoming broadcast call,
// is polled while idle, clears both calls, releases the link and loses its
// TEI; then the round starts again with the next call references.
// Owned by the card; used under the card's lock.

#include <cstddef>
#include <vector>

#include "cardsim/Settings.h"

namespace cardsim {

class CallsConversation {
public:
    // faulty: every round is FaultyRound's instead of Round's.
    explicit CallsConversation(bool faulty = false) : m_faulty(faulty) {}
    TraceFrame Next();

    // The frames of one round, for tests and for the replay of examples.
    static std::vector<TraceFrame> Round(unsigned round);
    // A round of the same line with the faults a technician meets mixed in:
    // a TEI denied, a SETUP without bearer capability, an unanswered SETUP
    // sent again, a lost I frame with REJ and retransmission, a poll
    // repeated, an unknown message, elements out of order, a long call
    // reference, FRMR and link re-establishment, a wrong N(R), a message for
    // an unknown call, DM, an unassigned TEI, an unanswered TEI check and a
    // TEI assigned twice.
    static std::vector<TraceFrame> FaultyRound(unsigned round);

private:
    bool m_faulty = false;
    std::vector<TraceFrame> m_frames;
    std::size_t m_next = 0;
    unsigned m_round = 0;
};

// Frames of a trace: the conversation, a replayed log, or nothing.
class FrameSource {
public:
    explicit FrameSource(const Settings& settings);
    bool Empty() const { return m_traffic == Traffic::None; }
    TraceFrame Next();

private:
    Traffic m_traffic;
    CallsConversation m_calls;
    const std::vector<TraceFrame>* m_replay;  // the settings' frames, owned by the card
    std::size_t m_replayNext = 0;
};

}  // namespace cardsim
