#pragma once
// Calls and problems of a D-channel trace, worked out record by record: the
// same analyser follows a live capture (one record as it arrives) and a
// loaded file (every record in order), so both show the same answers.
// No toolkit types; one analyser is used by one thread at a time.
//
// A call is the Q.931 dialogue of one call reference on one data link (TEI),
// told apart by the side that allocated the reference: the flag a message
// carries is read from its sender's side, so the same call seen from the
// terminal (TE) and from the network (NT) is one call. An incoming call the
// network offers by broadcast (a SETUP on TEI 127) becomes the call of the
// terminal that answers it.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/LinkFrame.h"

namespace analysis {

// One D-channel record handed to the analyser.
struct FrameInput {
    std::uint32_t record = 0;  // the record's index in its trace
    std::uint32_t time = 0;    // hundredths of a second since midnight, as the record says
    Side sender = Side::TE;
    std::span<const std::uint8_t> frame;
};

enum class Severity : std::uint8_t { Note, Warning, Error };
std::string_view SeverityName(Severity s);  // "note", "warning", "error"

enum class ProblemKind : std::uint8_t {
    MissingElement, ElementOrder, UnknownMessage, CallRefLength, NoSetup, SetupRepeated, AbnormalCause,
    SequenceGap, SequenceRepeat, BadAcknowledge, Reject, FrameReject, DisconnectedMode, LinkReset, PollRepeated,
    UnassignedTei, TeiDenied, TeiCheckUnanswered, TeiDoubleAssigned, TeiRemoved, NotCallControl,
    MalformedHeader,
};

struct Problem {
    ProblemKind kind;
    Severity severity;
    std::vector<std::uint32_t> records;  // the record it is flagged on first, then related ones
    std::string text;                    // one sentence
};

// How far a call got, in order.
enum class CallState : std::uint8_t { Setup, Proceeding, Alerting, Active, Released };
std::string_view CallStateName(CallState s);  // "setup", "proceeding", "alerting", "active", "released"

// What became of a call.
enum class Outcome : std::uint8_t { InProgress, Answered, Unanswered, Rejected };
std::string_view OutcomeName(Outcome o);  // "in progress", "answered", "unanswered", "released before answer"

struct CallCause {
    std::uint8_t value = 0;
    Side from = Side::TE;
};

struct Call {
    std::uint8_t tei = 0;            // the data link; 127 while a broadcast offer is unanswered
    std::uint32_t callRef = 0;
    Side originator = Side::TE;      // the side that sent the SETUP (allocated the reference)
    bool broadcast = false;          // offered by a SETUP on TEI 127
    bool setupSeen = false;
    std::uint32_t start = 0;         // hundredths since midnight of the trace's first day
    std::uint32_t end = 0;
    std::string calling;
    std::string called;
    std::string bearer;              // "speech", "3.1 kHz audio", "64 kbit/s data", ...
    std::string channel;             // "B1", "B2", "any", "D", "none"
    CallState reached = CallState::Setup;  // furthest state before release
    bool released = false;           // a clearing message was seen
    bool closed = false;             // RELEASE COMPLETE was seen
    bool answeredBack = false;       // the other side sent anything
    std::uint32_t lastSetup = 0;     // when the originator last sent its SETUP
    bool setupTimedOut = false;      // a later record showed T303 ran out on that SETUP unanswered
    std::optional<CallCause> cause;  // the first cause of the clearing
    std::uint32_t messages = 0;
    std::vector<std::uint32_t> records;

    bool Outgoing() const { return originator == Side::TE; }
    CallState State() const { return released ? CallState::Released : reached; }
    Outcome GetOutcome() const;
    std::uint32_t Duration() const { return end - start; }
};

// A layer 2 event of one data link (SABME, UA, DISC, DM, REJ, FRMR), kept for
// the ladder of a call on that link.
struct LinkEvent {
    std::uint32_t record;
    std::uint32_t time;
    std::uint8_t tei;
};

class Analyzer {
public:
    Analyzer();

    // Every D-channel record in trace order. Records of other kinds are not
    // given. A frame too short for a field is checked only for what it holds.
    void Add(const FrameInput& input);
    // The trace ended (a loaded file). Timers run out only against later
    // records, never against the end of the trace: what still waits for its
    // answer stays unreported. Reported now is only what a later record
    // showed unanswered and the rest of the trace never made good (a TEI
    // check whose terminal the capture may not see, on a TEI the network
    // did not serve again). A live capture never calls it.
    void Finish();

    const std::vector<Call>& Calls() const { return m_calls; }
    const std::vector<Problem>& Problems() const { return m_problems; }
    const std::vector<LinkEvent>& LinkEvents() const { return m_linkEvents; }
    // The worst severity flagged on a record, or nullopt.
    std::optional<Severity> RecordSeverity(std::uint32_t record) const;
    std::size_t Count(Severity s) const { return m_counts[static_cast<std::size_t>(s)]; }
    // Records handed in so far.
    std::uint32_t RecordsSeen() const { return m_recordsSeen; }

private:
    struct Direction {
        bool known = false;       // the next N(S) is known
        std::uint8_t vs = 0;      // the N(S) expected next from this side
        std::uint8_t va = 0;      // the oldest of its I frames not yet acknowledged
        std::optional<std::uint32_t> poll;  // record of a poll still waiting for its final
    };
    struct Link {
        std::array<Direction, 2> dir;
        bool seen = false;         // any frame of this data link so far
        bool wholeInTrace = false; // the trace saw it begin (assignment or SABME first): its calls are all in it
        bool established = false;
        std::optional<std::uint32_t> sabme;  // a SABME waiting for its UA
        bool disc = false;                   // a DISC waiting for its UA
    };
    struct TeiState {
        bool assigned = false;
        std::uint16_t ri = 0;
        bool warned = false;      // "I frames on an unassigned TEI" already said
        bool userSeen = false;    // the capture shows this TEI's terminal: its answers would be in it
        bool notCallControl = false;  // "layer 3 in UI frames" already said
    };
    struct PendingCheck {
        std::uint32_t record;
        std::uint32_t time;
        std::uint8_t ai;
        bool expired = false;  // T201 ran out: unanswered unless the network goes on serving the TEI
    };

    void AddProblem(ProblemKind kind, Severity severity, std::vector<std::uint32_t> records, std::string text);
    std::uint32_t TraceTime(std::uint32_t recordTime);
    void CheckLink(const FrameInput& in, const LinkFrame& f, std::uint32_t time);
    void CheckSequence(const FrameInput& in, const LinkFrame& f, Link& link);
    void CheckManagement(const FrameInput& in, const LinkFrame& f, std::uint32_t time);
    void ExpireChecks(std::uint32_t now);
    void ReportCheck(const PendingCheck& check);
    void ExpireSetups(std::uint32_t now);
    void NoteLink(const LinkFrame& f);
    void OnMessage(const FrameInput& in, const LinkFrame& f, std::uint32_t time);
    std::size_t FindOrStartCall(const FrameInput& in, const LinkFrame& f, std::uint32_t time, bool& isNew);

    std::vector<Call> m_calls;
    std::vector<Problem> m_problems;
    std::vector<LinkEvent> m_linkEvents;
    std::unordered_map<std::uint32_t, Severity> m_marks;
    std::array<std::size_t, 3> m_counts{};
    // Open calls by link, originating side and call reference.
    std::unordered_map<std::uint64_t, std::size_t> m_open;
    std::array<Link, 128> m_links{};
    std::array<TeiState, 128> m_teis{};
    std::vector<PendingCheck> m_checks;
    std::vector<std::size_t> m_awaitingAnswer;  // calls whose SETUP waits for its first answer
    bool m_anyUserSeen = false;        // some TEI's terminal shows in the capture
    std::uint8_t m_callRefLength = 0;  // the link's call reference length, once seen
    std::uint32_t m_recordsSeen = 0;
    std::uint32_t m_lastTime = 0;
    std::uint32_t m_dayOffset = 0;
    bool m_anyTime = false;
};

}  // namespace analysis
