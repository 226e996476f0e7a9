#include "analysis/Ladder.h"

#include <algorithm>
#include <array>

#include "analysis/MessageContent.h"
#include "decode/Format.h"
#include "decode/Frame.h"
#include "decode/InfoElements.h"
#include "wire/Tpx.h"

namespace analysis {
namespace {

// The link events a ladder shows by name; any other U frame is "U".
std::string_view UName(FrameType type) {
    switch (type) {
        case FrameType::SABME:
        case FrameType::UA:
        case FrameType::DISC:
        case FrameType::DM:
        case FrameType::FRMR: return decode::LapdName(type);
        default: return "U";
    }
}

std::string MessageDetails(const LinkFrame& f, const MessageContent& c) {
    std::vector<std::string> parts;
    if (std::string parties = CallParties(c.calling, c.called); !parties.empty()) parts.push_back(std::move(parties));
    if (!c.keypad.empty()) parts.push_back("keypad " + c.keypad);
    if (!c.bearer.empty()) parts.push_back(c.bearer);
    if (!c.channel.empty()) parts.push_back(c.channel);
    if (c.cause) {
        std::string_view name = decode::CauseName(*c.cause);
        if (name.empty()) name = "UNDEFINED";
        parts.push_back(decode::Format("cause %d %.*s", *c.cause, static_cast<int>(name.size()), name.data()));
    }
    if (f.tei == kGroupTei) parts.push_back("broadcast");
    std::string text;
    for (const std::string& p : parts) {
        if (!text.empty()) text += ", ";
        text += p;
    }
    return text;
}

}  // namespace

std::string CallParties(const std::string& calling, const std::string& called) {
    if (calling.empty()) return called.empty() ? std::string() : "to " + called;
    return called.empty() ? "from " + calling : calling + " -> " + called;
}

std::string FormatTime(std::uint32_t t) {
    t %= wire::kHundredthsPerDay;
    return decode::Format("%02u:%02u:%02u.%02u", t / 360000, t / 6000 % 60, t / 100 % 60, t % 100);
}

std::string FormatDuration(std::uint32_t t) {
    return decode::Format("%u:%02u.%02u", t / 6000, t / 100 % 60, t % 100);
}

std::vector<LadderStep> BuildLadder(const Analyzer& analyzer, std::size_t index, const FrameLookup& frameOf) {
    std::vector<LadderStep> steps;
    if (index >= analyzer.Calls().size()) return steps;
    const Call& call = analyzer.Calls()[index];
    for (const std::uint32_t record : call.records) {
        const auto in = frameOf(record);
        if (!in) continue;
        const LinkFrame f = ParseLinkFrame(in->frame, in->sender);
        const MessageContent content = ReadMessageContent(in->frame, f.layer3Offset);
        LadderStep step;
        step.record = record;
        step.time = in->time;
        step.from = in->sender;
        const std::string_view name = decode::MessageTypeName(f.messageType);
        step.label = name.empty() ? decode::Format("message type %02X", f.messageType) : std::string(name);
        step.details = MessageDetails(f, content);
        steps.push_back(std::move(step));
    }
    if (call.records.empty()) return steps;
    const std::uint32_t first = call.records.front();
    const std::uint32_t last = call.records.back();
    const std::uint32_t from = call.start >= 100 ? call.start - 100 : 0;
    for (const LinkEvent& e : analyzer.LinkEvents()) {
        if (e.tei != call.tei || e.record > last) continue;
        if (e.record < first && e.time < from) continue;
        const auto in = frameOf(e.record);
        if (!in) continue;
        const LinkFrame f = ParseLinkFrame(in->frame, in->sender);
        LadderStep step;
        step.record = e.record;
        step.time = in->time;
        step.from = in->sender;
        step.layer2 = true;
        if (f.kind == FrameKind::S) {
            step.label = "REJ";
            step.details = decode::Format("N(R) %d", f.nr);
        } else {
            step.label = std::string(UName(f.type));
            if (f.pf) step.details = f.command ? "P" : "F";
        }
        steps.push_back(std::move(step));
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const LadderStep& a, const LadderStep& b) { return a.record < b.record; });
    return steps;
}

std::span<const std::string_view> CallColumns() {
    static constexpr std::array<std::string_view, kCallColumnCount> kColumns = {
        "#",       "start",   "end",     "duration", "direction", "TEI",       "CRV",       "calling",
        "called",  "bearer",  "channel", "state",    "outcome",   "cause",     "cleared by", "messages",
    };
    return kColumns;
}

std::vector<std::string> CallCells(const Call& call, std::size_t index) {
    std::string cause;
    std::string clearedBy;
    if (call.cause) {
        std::string_view name = decode::CauseName(call.cause->value);
        if (name.empty()) name = "UNDEFINED";
        cause = decode::Format("%d %.*s", call.cause->value, static_cast<int>(name.size()), name.data());
        clearedBy = SideName(call.cause->from);
    }
    return {
        std::to_string(index + 1),
        FormatTime(call.start),
        FormatTime(call.end),
        FormatDuration(call.Duration()),
        call.Outgoing() ? "outgoing" : "incoming",
        std::to_string(call.tei),
        std::to_string(call.callRef),
        call.calling,
        call.called,
        call.bearer,
        call.channel,
        std::string(CallStateName(call.State())),
        std::string(OutcomeName(call.GetOutcome())),
        cause,
        clearedBy,
        std::to_string(call.messages),
    };
}

namespace {

// " and time >= A and time <= B" as times of day; a span across midnight
// keeps the times after A and those before B. Unbounded: only A.
std::string TimeSpan(std::uint32_t from, std::uint32_t to, bool bounded) {
    constexpr std::uint32_t kDay = wire::kHundredthsPerDay;
    if (!bounded) return " and time >= " + FormatTime(from % kDay);
    if (to - from >= kDay) return {};
    const std::string a = FormatTime(from % kDay);
    const std::string b = FormatTime(to % kDay);
    if (from / kDay == to / kDay) return " and time >= " + a + " and time <= " + b;
    return " and (time >= " + a + " or time <= " + b + ")";
}

}  // namespace

std::string CallFilter(const Call& call) {
    const char* originator = call.originator == Side::TE ? "TE" : "NT";
    const char* answerer = call.originator == Side::TE ? "NT" : "TE";
    const std::string link = call.broadcast && call.tei != kGroupTei
                                 ? decode::Format("(tei == %u or tei == %u)", unsigned{call.tei}, unsigned{kGroupTei})
                                 : decode::Format("tei == %u", unsigned{call.tei});
    std::string messages = decode::Format(
        "crv == %u and %s and (source == %s and crflag == O or source == %s and crflag == D)", call.callRef,
        link.c_str(), originator, answerer);
    // A call still going on (during a capture) keeps the messages still to come.
    messages += TimeSpan(call.start, call.end, call.closed);
    std::string events = decode::Format(
        "tei == %u and (ftype == SABME or ftype == UA or ftype == DISC or ftype == DM or ftype == FRMR or "
        "ftype == REJ)",
        unsigned{call.tei});
    events += TimeSpan(call.start >= 100 ? call.start - 100 : 0, call.end, call.closed);
    return "(" + messages + ") or (" + events + ")";
}

std::vector<std::string> LadderLines(const std::vector<LadderStep>& steps, const RecordNamer& nameOf) {
    constexpr int kWidth = 34;  // between the two columns
    std::vector<std::string> lines;
    lines.push_back(decode::Format("%-11s   %-4s %-*s %s", "time", "TE", kWidth - 4, "", "NT"));
    for (const LadderStep& s : steps) {
        std::string label = s.label;
        if (s.layer2) label = "(" + label + ")";
        const int fill = std::max(1, kWidth - static_cast<int>(label.size()) - 4);
        std::string arrow;
        if (s.from == Side::TE) {
            arrow = "|--" + label + " " + std::string(static_cast<std::size_t>(fill), '-') + ">|";
        } else {
            arrow = "|<" + std::string(static_cast<std::size_t>(fill), '-') + " " + label + "--|";
        }
        std::string line =
            decode::Format("%-11s   %s  #%s", FormatTime(s.time).c_str(), arrow.c_str(), nameOf(s.record).c_str());
        if (!s.details.empty()) line += "  " + s.details;
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace analysis
