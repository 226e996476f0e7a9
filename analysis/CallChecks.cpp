// Q.931 side of the analyser: calls by data link and call reference, their
// numbers, bearer, channel, state and cause, and the message checks.

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <string>

#include "analysis/Analysis.h"
#include "decode/Format.h"
#include "analysis/MessageContent.h"
#include "analysis/MessageRules.h"
#include "decode/Frame.h"
#include "decode/InfoElements.h"
#include "decode/ProtocolNames.h"

namespace analysis {
namespace {

using namespace decode::messages;

constexpr std::uint32_t kT303 = 400;  // hundredths: how long a SETUP waits for its first answer

std::uint64_t CallKey(std::uint8_t tei, Side originator, std::uint32_t callRef) {
    return static_cast<std::uint64_t>(tei) << 33 | static_cast<std::uint64_t>(originator == Side::TE) << 32 | callRef;
}

std::string MessageName(std::uint8_t type) {
    const std::string_view name = decode::MessageTypeName(type);
    if (!name.empty()) return std::string(name);
    return decode::Format("message type %02X", type);
}

void Advance(Call& call, CallState to) {
    if (call.reached < to) call.reached = to;
}

}  // namespace

std::size_t Analyzer::FindOrStartCall(const FrameInput& in, const LinkFrame& f, std::uint32_t time, bool& isNew) {
    // The side that allocated the reference sends flag 0, the other flag 1.
    const Side originator = f.callRefFlag ? Other(f.sender) : f.sender;
    const std::uint64_t key = CallKey(f.tei, originator, f.callRef);
    isNew = false;
    const auto open = m_open.find(key);
    if (f.messageType == kSetup) {
        if (open != m_open.end()) {
            Call& call = m_calls[open->second];
            if (!call.answeredBack && call.setupSeen && call.originator == f.sender && !call.released) {
                AddProblem(ProblemKind::SetupRepeated, Severity::Warning, {in.record, call.records.front()},
                           decode::Format("SETUP from %s for call reference %u sent again with no answer (T303 expired).",
                                SideName(f.sender), static_cast<unsigned>(f.callRef)));
                return open->second;
            }
        }
    } else if (open != m_open.end()) {
        return open->second;
    } else if (f.tei != kGroupTei && originator == Side::NT) {
        // The answer of a terminal to a call the network offered to all.
        const auto offer = m_open.find(CallKey(kGroupTei, Side::NT, f.callRef));
        if (offer != m_open.end()) {
            Call& call = m_calls[offer->second];
            if (call.tei == kGroupTei) call.tei = f.tei;
            m_open[key] = offer->second;
            return offer->second;
        }
    }

    isNew = true;
    Call call;
    call.tei = f.tei;
    call.callRef = f.callRef;
    call.originator = originator;
    call.broadcast = f.tei == kGroupTei;
    call.setupSeen = f.messageType == kSetup;
    call.start = time;
    call.end = time;
    m_calls.push_back(std::move(call));
    m_open[key] = m_calls.size() - 1;
    if (f.messageType != kSetup) {
        // A trace that began after the data link came up may well begin in
        // the middle of a call; one that saw the link begin holds every SETUP.
        const Severity severity = m_links[f.tei].wholeInTrace ? Severity::Warning : Severity::Note;
        AddProblem(ProblemKind::NoSetup, severity, {in.record},
                   decode::Format("%s from %s for call reference %u of TEI %d, whose SETUP the trace does not hold.",
                        MessageName(f.messageType).c_str(), SideName(f.sender), static_cast<unsigned>(f.callRef),
                        f.tei));
    }
    return m_calls.size() - 1;
}

struct Analyzer::Message {
    const FrameInput& in;
    const LinkFrame& f;
    MessageContent content;
    std::string name;
    const char* side;
    bool clearing = false;       // DISCONNECT, RELEASE or RELEASE COMPLETE
    bool firstClearing = true;   // no clearing message of its call came before
};

void Analyzer::OnMessage(const FrameInput& in, const LinkFrame& f, std::uint32_t time) {
    // The checks of the message alone, then those that depend on its call,
    // in the order their problems are listed.
    static constexpr MessageCheck kMessageChecks[] = {
        &Analyzer::CheckMessageType, &Analyzer::CheckCallRefLength, &Analyzer::CheckElementOrder};
    static constexpr MessageCheck kCallChecks[] = {&Analyzer::CheckMandatoryElements, &Analyzer::CheckCause};

    Message m{in, f, ReadMessageContent(in.frame, f.layer3Offset), MessageName(f.messageType), SideName(f.sender)};
    m.clearing = f.messageType == kDisconnect || f.messageType == kRelease || f.messageType == kReleaseComplete;
    for (const MessageCheck check : kMessageChecks) (this->*check)(m);
    Call* call = TakeIntoCall(m, time);
    for (const MessageCheck check : kCallChecks) (this->*check)(m);
    if (call) UpdateCall(*call, m, time);
}

void Analyzer::CheckMessageType(const Message& m) {
    if (m.f.messageType != 0 && decode::MessageTypeName(m.f.messageType).empty()) {
        AddProblem(ProblemKind::UnknownMessage, Severity::Warning, {m.in.record},
                   decode::Format("Unknown message type %02X from %s.", m.f.messageType, m.side));
    }
}

void Analyzer::CheckCallRefLength(const Message& m) {
    if (m.f.callRefLength == 0) return;
    if (m_callRefLength == 0) {
        m_callRefLength = m.f.callRefLength;
    } else if (m.f.callRefLength != m_callRefLength) {
        AddProblem(ProblemKind::CallRefLength, Severity::Error, {m.in.record},
                   decode::Format("%s from %s has a call reference of %d octets where the link uses %d.",
                                  m.name.c_str(), m.side, m.f.callRefLength, m_callRefLength));
    }
}

void Analyzer::CheckElementOrder(const Message& m) {
    if (!m.content.orderBreak) return;
    AddProblem(ProblemKind::ElementOrder, Severity::Warning, {m.in.record},
               decode::Format("%s from %s: element %02X follows element %02X; elements go in ascending order.",
                              m.name.c_str(), m.side, m.content.orderBreak->second, m.content.orderBreak->first));
}

void Analyzer::CheckMandatoryElements(const Message& m) {
    const Way way = m.f.sender == Side::TE ? Way::ToNetwork : Way::ToUser;
    for (const MandatoryElement& rule : MandatoryFor(m.f.messageType)) {
        if (rule.way != Way::Both && rule.way != way) continue;
        if (rule.firstClearingOnly && !m.firstClearing) continue;
        if (m.content.present[rule.element]) continue;
        AddProblem(ProblemKind::MissingElement, Severity::Error, {m.in.record},
                   decode::Format("%s from %s lacks its mandatory %s element; the receiver rejects it.",
                                  m.name.c_str(), m.side, std::string(ElementWordFor(rule.element)).c_str()));
    }
}

void Analyzer::CheckCause(const Message& m) {
    if (!m.clearing || !m.content.cause) return;
    const std::uint8_t value = *m.content.cause;
    if (value == 16 || value == 31) return;
    std::string_view causeName = decode::CauseName(value);
    if (causeName.empty()) causeName = "UNDEFINED";
    AddProblem(ProblemKind::AbnormalCause, Severity::Note, {m.in.record},
               decode::Format("%s from %s with cause %d (%.*s).", m.name.c_str(), m.side, value,
                              static_cast<int>(causeName.size()), causeName.data()));
}

// The message's call, found or begun, with the message added to it; nullptr
// for the dummy and the global call reference, which belong to no call.
Call* Analyzer::TakeIntoCall(Message& m, std::uint32_t time) {
    if (m.f.callRefLength == 0 || m.f.callRef == 0) return nullptr;
    bool isNew = false;
    Call* call = &m_calls[FindOrStartCall(m.in, m.f, time, isNew)];
    m.firstClearing = !call->released;
    call->records.push_back(m.in.record);
    ++call->messages;
    call->end = time;
    return call;
}

void Analyzer::UpdateCall(Call& call, const Message& m, std::uint32_t time) {
    const LinkFrame& f = m.f;
    const MessageContent& content = m.content;
    // A terminal that answered a broadcast offer but lost it to another is
    // cleared too; that clearing is not the call's own.
    const bool ownLink = call.tei == f.tei || f.tei == kGroupTei;
    if (f.sender != call.originator) call.answeredBack = true;
    if (f.messageType == kSetup && f.sender == call.originator) {
        call.lastSetup = time;
        call.setupTimedOut = false;
        const auto index = static_cast<std::size_t>(&call - m_calls.data());
        if (!call.answeredBack && std::find(m_awaitingAnswer.begin(), m_awaitingAnswer.end(), index) ==
                                      m_awaitingAnswer.end()) {
            m_awaitingAnswer.push_back(index);
        }
    }
    if (f.messageType == kSetup) {
        if (!content.bearer.empty()) call.bearer = content.bearer;
        if (!content.calling.empty()) call.calling = content.calling;
        if (!content.called.empty()) call.called = content.called;
        if (!content.keypad.empty() && call.called.empty()) call.called = content.keypad;
    } else if (f.messageType == kInformation && f.sender == call.originator) {
        call.called += content.called;
        call.called += content.keypad;
    }
    if (!content.channel.empty() && ownLink) call.channel = content.channel;
    if (!ownLink) return;
    switch (f.messageType) {
        case kSetupAck:
        case kCallProceeding:
        case kProgress: Advance(call, CallState::Proceeding); break;
        case kAlerting: Advance(call, CallState::Alerting); break;
        case kConnect:
        case kConnectAck: Advance(call, CallState::Active); break;
        default: break;
    }
    if (m.clearing) {
        if (!call.cause && content.cause) call.cause = CallCause{*content.cause, f.sender};
        call.released = true;
    }
    if (f.messageType == kReleaseComplete) {
        call.closed = true;
        std::erase_if(m_open, [&](const auto& entry) { return &m_calls[entry.second] == &call; });
    }
}

// T303 runs out on a SETUP that a later record shows went unanswered for
// longer than it; the call is then unanswered, not in progress.
void Analyzer::ExpireSetups(std::uint32_t now) {
    std::erase_if(m_awaitingAnswer, [&](std::size_t index) {
        Call& call = m_calls[index];
        if (call.answeredBack || call.released) return true;
        if (now <= call.lastSetup + kT303) return false;
        call.setupTimedOut = true;
        return true;
    });
}

}  // namespace analysis
