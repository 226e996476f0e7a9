#include "analysis/Analysis.h"

#include <cstdio>
#include <utility>

#include "decode/Format.h"

namespace analysis {

std::string_view SeverityName(Severity s) {
    switch (s) {
        case Severity::Note: return "note";
        case Severity::Warning: return "warning";
        case Severity::Error: return "error";
    }
    return {};
}

std::string_view CallStateName(CallState s) {
    switch (s) {
        case CallState::Setup: return "setup";
        case CallState::Proceeding: return "proceeding";
        case CallState::Alerting: return "alerting";
        case CallState::Active: return "active";
        case CallState::Released: return "released";
    }
    return {};
}

std::string_view OutcomeName(Outcome o) {
    switch (o) {
        case Outcome::InProgress: return "in progress";
        case Outcome::Answered: return "answered";
        case Outcome::Unanswered: return "unanswered";
        case Outcome::Rejected: return "released before answer";
    }
    return {};
}

Outcome Call::GetOutcome() const {
    if (reached == CallState::Active) return Outcome::Answered;
    // Unanswered once its sender gave up, or once a later record showed T303
    // ran out; a SETUP near the end of the trace may still be answered.
    if (!answeredBack) return released || setupTimedOut ? Outcome::Unanswered : Outcome::InProgress;
    if (released) return Outcome::Rejected;
    return Outcome::InProgress;
}

Analyzer::Analyzer() { m_calls.reserve(64); }

std::optional<Severity> Analyzer::RecordSeverity(std::uint32_t record) const {
    const auto it = m_marks.find(record);
    if (it == m_marks.end()) return std::nullopt;
    return it->second;
}

void Analyzer::AddProblem(ProblemKind kind, Severity severity, std::vector<std::uint32_t> records, std::string text) {
    if (!records.empty()) {
        auto [it, inserted] = m_marks.try_emplace(records.front(), severity);
        if (!inserted && it->second < severity) it->second = severity;
    }
    ++m_counts[static_cast<std::size_t>(severity)];
    m_problems.push_back(Problem{kind, severity, std::move(records), std::move(text)});
}

// Record times run from midnight; a time far behind the last one means the
// trace went past midnight, so a day is added from there on.
std::uint32_t Analyzer::TraceTime(std::uint32_t recordTime) {
    constexpr std::uint32_t kDay = 24u * 3600u * 100u;
    std::uint32_t t = recordTime + m_dayOffset;
    if (m_anyTime && t + kDay / 2 < m_lastTime) {
        m_dayOffset += kDay;
        t += kDay;
    }
    m_anyTime = true;
    m_lastTime = t;
    return t;
}

void Analyzer::Add(const FrameInput& in) {
    ++m_recordsSeen;
    const std::uint32_t time = TraceTime(in.time);
    if (!m_checks.empty()) ExpireChecks(time);
    if (!m_awaitingAnswer.empty()) ExpireSetups(time);
    const LinkFrame f = ParseLinkFrame(in.frame, in.sender);
    if (f.kind == FrameKind::None) return;
    if (f.teiManagement) {
        if (f.teiMessage) CheckManagement(in, f, time);
        return;
    }
    NoteLink(f);
    CheckLink(in, f, time);
    if ((!f.q931 && !f.callRefCut) || f.sapi != 0) return;
    // Call control goes in I frames, and in UI frames only as the network's
    // broadcast offer; Q.931-like octets in UI frames to one terminal are
    // another protocol's (a GSM Abis link's radio signalling, say).
    if (f.kind == FrameKind::U && f.tei != kGroupTei) {
        TeiState& tei = m_teis[f.tei];
        if (!tei.notCallControl) {
            tei.notCallControl = true;
            AddProblem(ProblemKind::NotCallControl, Severity::Note, {in.record},
                       decode::Format("Layer 3 messages in UI frames on TEI %d are not call control; they are not "
                                      "analysed as calls.", f.tei));
        }
        return;
    }
    if (f.callRefCut) {
        AddProblem(ProblemKind::MalformedHeader, Severity::Error, {in.record},
                   decode::Format("Message from %s whose call reference of %d octets runs past the end of the frame: "
                                  "malformed, no message type.",
                                  SideName(f.sender), f.callRefLength));
        return;
    }
    OnMessage(in, f, time);
}

void Analyzer::Finish() {
    std::erase_if(m_checks, [&](const PendingCheck& c) {
        if (c.expired) ReportCheck(c);
        return true;
    });
}

}  // namespace analysis
