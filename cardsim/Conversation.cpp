#include "cardsim/Conversation.h"

#include <string_view>

#include "decode/LinkHeader.h"
#include "decode/ProtocolNames.h"

namespace cardsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kNetworkFlags = 0x01;  // exactly one of bits 0 and 2: network side
constexpr std::uint8_t kUserFlags = 0x00;
using decode::kGroupTei;
using decode::kSapiCallControl;
using decode::kSapiManagement;

// Q.931 message types, by the names the decoder shows.
using namespace decode::messages;

// Q.931 information elements.
using decode::ElementId;
Bytes BearerSpeech() {  // speech, 64 kbit/s circuit, A-law
    return {ElementId("BEARER CAPABIL"), 0x03, 0x80, 0x90, 0xA3};
}
Bytes ChannelId(std::uint8_t octet3) { return {ElementId("CHANNEL ID"), 0x01, octet3}; }  // 0x83 any B, 0x89 B1 exclusive
Bytes Cause(std::uint8_t location, std::uint8_t cause) {
    return {ElementId("CAUSE"), 0x02, static_cast<std::uint8_t>(0x80 | location), static_cast<std::uint8_t>(0x80 | cause)};
}
Bytes Ia5(std::uint8_t id, std::string_view prefix, std::string_view digits) {
    Bytes ie{id, static_cast<std::uint8_t>(prefix.size() + digits.size())};
    ie.insert(ie.end(), prefix.begin(), prefix.end());
    ie.insert(ie.end(), digits.begin(), digits.end());
    return ie;
}
Bytes Keypad(std::string_view digits) { return Ia5(ElementId("KEYPAD FACILITY"), {}, digits); }
Bytes CalledNumber(std::string_view digits) {  // national, E.164
    return Ia5(ElementId("CALLED NUMBER"), "\xA1", digits);
}
Bytes CallingNumber(std::string_view digits) {  // presentation allowed
    return Ia5(ElementId("CALLING NUMBER"), "\x21\x80", digits);
}
Bytes Display(std::string_view text) { return Ia5(ElementId("DISPLAY"), {}, text); }
Bytes Signal(std::uint8_t value) { return {ElementId("SIGNAL"), 0x01, value}; }
Bytes Progress(std::uint8_t description) {
    return {ElementId("PROGRESS INDICA"), 0x02, 0x82, static_cast<std::uint8_t>(0x80 | description)};
}
constexpr std::uint8_t kSendingComplete = 0xA1;

// A Q.931 message with a one-octet call reference; the flag is set in
// messages from the side that did not originate the call.
Bytes Message(std::uint8_t callRef, bool flag, std::uint8_t type, std::initializer_list<Bytes> ies = {}) {
    Bytes m{decode::kQ931Discriminator, 0x01, static_cast<std::uint8_t>((flag ? 0x80 : 0x00) | (callRef & 0x7F)), type};
    for (const Bytes& ie : ies) m.insert(m.end(), ie.begin(), ie.end());
    return m;
}

// Builds the frames of one round, keeping both ends' sequence variables.
class Builder {
public:
    explicit Builder(std::uint8_t tei) : m_tei(tei) {}

    // The network side sends commands with C/R = 1 and the user side with
    // C/R = 0; responses carry the opposite bit.
    void Frame(bool fromNetwork, bool command, std::uint8_t sapi, std::uint8_t tei, Bytes control,
               const Bytes& info = {}) {
        const std::uint8_t cr = fromNetwork == command ? 1 : 0;
        TraceFrame f;
        f.data = {static_cast<std::uint8_t>((sapi << 2) | (cr << 1)), static_cast<std::uint8_t>((tei << 1) | 1)};
        f.data.insert(f.data.end(), control.begin(), control.end());
        f.data.insert(f.data.end(), info.begin(), info.end());
        f.flags = fromNetwork ? kNetworkFlags : kUserFlags;
        m_frames.push_back(std::move(f));
    }
    void Ui(bool fromNetwork, std::uint8_t sapi, std::uint8_t tei, const Bytes& info) {
        Frame(fromNetwork, true, sapi, tei, {0x03}, info);
    }
    void Management(bool fromNetwork, std::uint16_t ri, std::uint8_t type, std::uint8_t ai) {
        Ui(fromNetwork, kSapiManagement, kGroupTei,
           {decode::kManagementEntity, static_cast<std::uint8_t>(ri >> 8), static_cast<std::uint8_t>(ri), type,
            static_cast<std::uint8_t>((ai << 1) | 1)});
    }
    // An I frame: N(S) is the sender's V(S), N(R) acknowledges all it received.
    void I(bool fromNetwork, const Bytes& info) {
        std::uint8_t& vs = fromNetwork ? m_vsNetwork : m_vsUser;
        const std::uint8_t nr = fromNetwork ? m_vsUser : m_vsNetwork;
        Frame(fromNetwork, true, kSapiCallControl, m_tei,
              {static_cast<std::uint8_t>(vs << 1), static_cast<std::uint8_t>(nr << 1)}, info);
        vs = (vs + 1) % 128;
    }
    // Receive ready: a poll (command, P = 1), or a response / acknowledgement.
    void Rr(bool fromNetwork, bool command, bool pf) {
        const std::uint8_t nr = fromNetwork ? m_vsUser : m_vsNetwork;
        Frame(fromNetwork, command, kSapiCallControl, m_tei,
              {0x01, static_cast<std::uint8_t>((nr << 1) | (pf ? 1 : 0))});
    }
    void U(bool fromNetwork, bool command, std::uint8_t control) {
        Frame(fromNetwork, command, kSapiCallControl, m_tei, {control});
    }
    void ResetSequence() { m_vsNetwork = m_vsUser = 0; }
    // An I frame the trace never sees (lost on the bus): the sender's V(S)
    // moves on all the same. Answers its N(S).
    std::uint8_t LoseI(bool fromNetwork) {
        std::uint8_t& vs = fromNetwork ? m_vsNetwork : m_vsUser;
        const std::uint8_t ns = vs;
        vs = (vs + 1) % 128;
        return ns;
    }
    // An I frame with the N(S) and N(R) given, the sender's V(S) untouched.
    void IRaw(bool fromNetwork, std::uint8_t ns, std::uint8_t nr, const Bytes& info) {
        Frame(fromNetwork, true, kSapiCallControl, m_tei,
              {static_cast<std::uint8_t>(ns << 1), static_cast<std::uint8_t>(nr << 1)}, info);
    }
    std::uint8_t VS(bool fromNetwork) const { return fromNetwork ? m_vsNetwork : m_vsUser; }
    void SetVS(bool fromNetwork, std::uint8_t vs) { (fromNetwork ? m_vsNetwork : m_vsUser) = vs; }
    // Reject: asks the other side for its I frames from N(R) on.
    void Rej(bool fromNetwork, std::uint8_t nr) {
        Frame(fromNetwork, false, kSapiCallControl, m_tei, {0x09, static_cast<std::uint8_t>(nr << 1)});
    }
    std::vector<TraceFrame> Take() { return std::move(m_frames); }

private:
    std::uint8_t m_tei;
    std::uint8_t m_vsNetwork = 0;
    std::uint8_t m_vsUser = 0;
    std::vector<TraceFrame> m_frames;
};

constexpr bool kNet = true;
constexpr bool kUser = false;
constexpr std::uint8_t kSabmeP = 0x7F, kUaF = 0x73, kDiscP = 0x53, kDmF = 0x1F, kFrmrF = 0x97;
// TEI management message types.
constexpr std::uint8_t kTeiRequest = decode::TeiMessage("REQ"), kTeiAssigned = decode::TeiMessage("ASN"),
                       kTeiDenied = decode::TeiMessage("DEN"), kTeiCheck = decode::TeiMessage("CRQ"),
                       kTeiRemove = decode::TeiMessage("REM");
constexpr std::uint8_t kNeverAssignedTei = 100;

// Each round's terminal asks for its TEI with a fresh reference number and
// gets one of four TEIs.
std::uint8_t TeiOfRound(unsigned round) { return static_cast<std::uint8_t>(64 + round % 4); }
std::uint16_t RiOfRound(unsigned round) { return static_cast<std::uint16_t>(0x2A51 + round * 0x0137); }

}  // namespace

std::vector<TraceFrame> CallsConversation::Round(unsigned round) {
    const std::uint8_t tei = TeiOfRound(round);
    const std::uint16_t ri = RiOfRound(round);
    const auto outgoing = static_cast<std::uint8_t>(1 + (2 * round) % 126);
    const auto incoming = static_cast<std::uint8_t>(outgoing + 1);
    Builder b(tei);

    // TEI assignment, then the multiple-frame link.
    b.Management(kUser, ri, kTeiRequest, kGroupTei);  // any TEI
    b.Management(kNet, ri, kTeiAssigned, tei);
    b.U(kUser, true, kSabmeP);
    b.U(kNet, false, kUaF);
    b.ResetSequence();

    // Outgoing call with overlap sending.
    b.I(kUser, Message(outgoing, false, kSetup, {BearerSpeech(), ChannelId(0x83)}));
    b.Rr(kNet, false, false);
    b.I(kNet, Message(outgoing, true, kSetupAck, {ChannelId(0x89), Signal(0x00)}));
    b.I(kUser, Message(outgoing, false, kInformation, {Keypad("5551234")}));
    b.I(kNet, Message(outgoing, true, kCallProceeding, {ChannelId(0x89)}));
    b.Rr(kUser, false, false);
    b.I(kNet, Message(outgoing, true, kAlerting, {Progress(0x08), Signal(0x01)}));
    b.Rr(kUser, false, false);
    b.I(kNet, Message(outgoing, true, kConnect, {Signal(0x3F)}));
    b.I(kUser, Message(outgoing, false, kConnectAck));
    b.Rr(kNet, false, false);
    for (int poll = 0; poll < 2; ++poll) {  // T203 polling while the call is up
        b.Rr(kNet, true, true);
        b.Rr(kUser, false, true);
    }
    b.I(kUser, Message(outgoing, false, kDisconnect, {Cause(0x00, 16)}));  // normal clearing, user
    b.I(kNet, Message(outgoing, true, kRelease));
    b.I(kUser, Message(outgoing, false, kReleaseComplete));
    b.Rr(kNet, false, false);

    // Incoming call, offered to every terminal in a UI frame.
    b.Ui(kNet, kSapiCallControl, kGroupTei,
         Message(incoming, false, kSetup,
                 {Bytes{kSendingComplete}, BearerSpeech(), ChannelId(0x89), Signal(0x40),
                  CallingNumber("4085551212"), CalledNumber("5551234")}));
    b.I(kUser, Message(incoming, true, kAlerting));
    b.Rr(kNet, false, false);
    b.I(kUser, Message(incoming, true, kConnect));
    b.I(kNet, Message(incoming, false, kConnectAck, {ChannelId(0x89)}));
    b.Rr(kUser, false, false);
    b.Rr(kNet, true, true);
    b.Rr(kUser, false, true);
    b.I(kNet, Message(incoming, false, kDisconnect, {Cause(0x02, 16), Progress(0x08)}));  // public network
    b.I(kUser, Message(incoming, true, kRelease));
    b.I(kNet, Message(incoming, false, kReleaseComplete));
    b.Rr(kUser, false, false);

    // Link release and TEI removal.
    b.U(kUser, true, kDiscP);
    b.U(kNet, false, kUaF);
    b.Management(kNet, 0, kTeiRemove, tei);
    return b.Take();
}

namespace {

// The faulty round's scenes, one after another on one builder.

// The first request is denied; the second gets a TEI. The terminal sends
// SABME twice before the network's UA. Then the network checks a TEI no
// terminal holds; nobody answers.
void DeniedTeiAndRepeatedSabme(Builder& b, std::uint16_t ri, std::uint8_t tei) {
    b.Management(kUser, static_cast<std::uint16_t>(ri - 1), kTeiRequest, kGroupTei);
    b.Management(kNet, static_cast<std::uint16_t>(ri - 1), kTeiDenied, kGroupTei);
    b.Management(kUser, ri, kTeiRequest, kGroupTei);
    b.Management(kNet, ri, kTeiAssigned, tei);
    b.U(kUser, true, kSabmeP);
    b.U(kUser, true, kSabmeP);
    b.U(kNet, false, kUaF);
    b.ResetSequence();
    b.Management(kNet, 0, kTeiCheck, kNeverAssignedTei);
}

// A SETUP without bearer capability, refused; then a SETUP the network never
// answers, sent again when T303 runs out, then given up by the terminal.
void RefusedAndUnansweredSetups(Builder& b, std::uint8_t first, std::uint8_t second) {
    b.I(kUser, Message(first, false, kSetup, {ChannelId(0x83), CalledNumber("5550000")}));
    b.I(kNet, Message(first, true, kReleaseComplete, {Cause(0x02, 96)}));  // mandatory element missing
    b.Rr(kUser, false, false);

    const Bytes unanswered = Message(second, false, kSetup, {BearerSpeech(), ChannelId(0x83), CalledNumber("5550001")});
    b.I(kUser, unanswered);
    b.Rr(kNet, false, false);
    b.I(kUser, unanswered);
    b.Rr(kNet, false, false);
    b.I(kUser, Message(second, false, kReleaseComplete, {Cause(0x00, 102)}));  // recovery on timer expiry
    b.Rr(kNet, false, false);
}

// An answered call: the ALERTING is lost on the bus, the terminal asks for
// it again with REJ and the network sends it and the CONNECT again. The
// network polls; the terminal's final comes only after the second poll.
void CallWithLostAlerting(Builder& b, std::uint8_t third) {
    b.I(kUser, Message(third, false, kSetup, {BearerSpeech(), ChannelId(0x83), CalledNumber("5551234")}));
    b.I(kNet, Message(third, true, kCallProceeding, {ChannelId(0x89)}));
    const Bytes alerting = Message(third, true, kAlerting, {Signal(0x01)});
    const Bytes connect = Message(third, true, kConnect, {Signal(0x3F)});
    const std::uint8_t lost = b.LoseI(kNet);
    b.I(kNet, connect);
    b.Rej(kUser, lost);
    b.IRaw(kNet, lost, b.VS(kUser), alerting);
    b.IRaw(kNet, static_cast<std::uint8_t>((lost + 1) % 128), b.VS(kUser), connect);
    b.I(kUser, Message(third, false, kConnectAck));
    b.Rr(kNet, true, true);
    b.Rr(kNet, true, true);
    b.Rr(kUser, false, true);
}

// The same call with broken messages and a broken link until it clears.
void BrokenMessagesAndLink(Builder& b, std::uint8_t third, std::uint8_t tei) {
    // A message type the decoder does not know, elements out of order and a
    // two-octet call reference on a basic-rate line.
    b.I(kNet, Message(third, true, 0x63));
    b.I(kNet, Message(third, true, kInformation, {Signal(0x3F), Display("HELLO")}));
    b.I(kUser, Bytes{decode::kQ931Discriminator, 0x02, 0x00, third, kStatusEnquiry});
    b.Rr(kNet, false, false);
    // The terminal rejects a frame as invalid; the network brings the link up again.
    b.Frame(kUser, false, kSapiCallControl, tei, {kFrmrF, 0x00, 0x00, 0x01});
    b.U(kNet, true, kSabmeP);
    b.U(kUser, false, kUaF);
    b.ResetSequence();
    // The network's DISCONNECT acknowledges five frames the terminal never sent.
    b.IRaw(kNet, 0, 5, Message(third, true, kDisconnect, {Cause(0x02, 16)}));
    b.SetVS(kNet, 1);
    b.I(kUser, Message(third, false, kRelease));
    b.I(kNet, Message(third, true, kReleaseComplete));
    // A RELEASE COMPLETE for a call reference no call uses.
    b.I(kNet, Message(0x7E, true, kReleaseComplete, {Cause(0x02, 81)}));  // invalid call reference
    // The terminal takes its link down; the network says it was not up.
    b.U(kUser, true, kDiscP);
    b.U(kNet, false, kDmF);
}

// Another terminal sends on a TEI it never got; the network gives the first
// terminal's TEI to a second reference, then removes it.
void StrayTerminalAndTeiRemoval(Builder& b, std::uint16_t ri, std::uint8_t first, std::uint8_t tei) {
    b.Frame(kUser, true, kSapiCallControl, kNeverAssignedTei, {0x00, 0x00},
            Message(first, false, kSetup, {BearerSpeech()}));
    b.Management(kUser, static_cast<std::uint16_t>(ri + 7), kTeiRequest, kGroupTei);
    b.Management(kNet, static_cast<std::uint16_t>(ri + 7), kTeiAssigned, tei);
    b.Management(kNet, 0, kTeiRemove, tei);
}

}  // namespace

std::vector<TraceFrame> CallsConversation::FaultyRound(unsigned round) {
    const std::uint8_t tei = TeiOfRound(round);
    const std::uint16_t ri = RiOfRound(round);
    const auto first = static_cast<std::uint8_t>(1 + (4 * round) % 120);
    const auto second = static_cast<std::uint8_t>(first + 1);
    const auto third = static_cast<std::uint8_t>(first + 2);
    Builder b(tei);
    DeniedTeiAndRepeatedSabme(b, ri, tei);
    RefusedAndUnansweredSetups(b, first, second);
    CallWithLostAlerting(b, third);
    BrokenMessagesAndLink(b, third, tei);
    StrayTerminalAndTeiRemoval(b, ri, first, tei);
    return b.Take();
}

TraceFrame CallsConversation::Next() {
    if (m_next >= m_frames.size()) {
        m_frames = m_faulty ? FaultyRound(m_round++) : Round(m_round++);
        m_next = 0;
    }
    return m_frames[m_next++];
}

FrameSource::FrameSource(const Settings& settings)
    : m_traffic(settings.traffic == Traffic::Replay && settings.replay.empty() ? Traffic::None : settings.traffic),
      m_calls(settings.traffic == Traffic::Faulty),
      m_replay(&settings.replay) {}

TraceFrame FrameSource::Next() {
    if (m_traffic == Traffic::Replay) {
        const TraceFrame& frame = (*m_replay)[m_replayNext];
        m_replayNext = (m_replayNext + 1) % m_replay->size();
        return frame;
    }
    return m_calls.Next();
}

}  // namespace cardsim
