#include "analysis/Analysis.h"

#include <cstdio>
#include <utility>

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
    if (!answeredBack) return Outcome::Unanswered;
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
    if (!m_checks.empty()) ExpireChecks(time, false);
    const LinkFrame f = ParseLinkFrame(in.frame, in.sender);
    if (f.kind == FrameKind::Short) return;
    if (f.kind == FrameKind::Management) {
        CheckManagement(in, f, time);
        return;
    }
    CheckLink(in, f, time);
    if (f.q931 && f.sapi == 0) OnMessage(in, f, time);
}

void Analyzer::Finish() { ExpireChecks(0, true); }

}  // namespace analysis
