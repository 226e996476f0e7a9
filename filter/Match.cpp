// Matching a parsed display filter against one record. The layer-2 and
// Q.931 header fields come from one decode of the frame's first octets,
// made when the first of them is asked; element fields walk the elements.

#include <algorithm>
#include <array>
#include <functional>

#include "decode/Frame.h"
#include "decode/ElementWalk.h"
#include "decode/Elements.h"
#include "decode/InfoElements.h"
#include "decode/LinkHeader.h"
#include "decode/ProtocolNames.h"
#include "filter/DisplayFilter.h"
#include "filter/Program.h"
#include "trace/TraceLog.h"

namespace filter {
namespace {

constexpr std::uint16_t kAscii = 1;
constexpr std::uint16_t kHex = 2;
constexpr std::uint16_t kDChannel = 3;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (Upper(text[i]) != upper[i]) return false;
    return true;
}

bool ContainsIgnoringCase(std::string_view text, std::string_view upper) {
    const auto found = std::search(text.begin(), text.end(), upper.begin(), upper.end(),
                                   [](char a, char b) { return Upper(a) == b; });
    return found != text.end() || upper.empty();
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// A frame as a packet analyser's dissectors read it, for the fields that
// carry their names: the information field of every I and UI frame goes to
// Q.931 on SAPI 0 (whatever its discriminator) and to TEI management on
// SAPI 63 (whatever its TEI), each field there as far as the frame holds
// its octets.
struct AnalyserFrame {
    decode::LinkHeader link;
    bool command = false;
    bool control = false;          // the whole control field is there
    std::size_t information = 0;   // where the information field starts; 0 when there is none
    std::optional<decode::Q931Header> q931;

    AnalyserFrame(std::span<const std::uint8_t> frame, bool fromNetwork) : link(decode::ReadLink(frame)) {
        command = link.IsCommand(fromNetwork);
        control = link.kind == decode::FrameKind::U ||
                  ((link.kind == decode::FrameKind::I || link.kind == decode::FrameKind::S) && link.hasNr);
        if (link.kind == decode::FrameKind::I && link.hasNr) {
            information = 4;
        } else if (link.type == decode::FrameType::UI) {
            information = 3;
        }
        if (information != 0 && link.sapi == decode::kSapiCallControl)
            q931 = decode::ReadQ931Header(frame, information, true);
    }
    bool Q931() const { return information != 0 && link.sapi == decode::kSapiCallControl; }
    bool Tei() const { return information != 0 && link.sapi == decode::kSapiManagement; }
};

// One record as the matcher sees it; the frame is decoded once, on demand.
class Record {
public:
    explicit Record(const Subject& subject) : m_subject(subject) {}

    const Subject& Get() const { return m_subject; }
    bool IsDChannel() const { return m_subject.type == kDChannel; }

    const decode::FrameSummary& Summary() {
        if (!m_summary) {
            m_summary = decode::DecodeFrame(m_subject.data, m_subject.flagsOctet,
                                            decode::kDecodeMask & ~decode::kDecodeInfoElements);
        }
        return *m_summary;
    }

    const AnalyserFrame& Analyser() {
        if (!m_analyser) m_analyser.emplace(m_subject.data, Summary().NetworkSide());
        return *m_analyser;
    }

    // The Message cell.
    std::string Message() {
        if (m_subject.type == kAscii) return trace::RenderAsciiText(m_subject.data);
        if (IsDChannel()) return Summary().Message();
        return {};
    }

    template <class Visit>
    void Elements(Visit&& visit) {
        if (!IsDChannel()) return;
        const decode::FrameSummary& s = Summary();
        // Any message with a whole Q.931 header has elements, national ones too.
        if (s.GetMessageKind() != decode::MessageKind::Q931 && s.GetMessageKind() != decode::MessageKind::National)
            return;
        decode::WalkElements(m_subject.data, s.HeaderLength(), visit);
    }

private:
    const Subject& m_subject;
    std::optional<decode::FrameSummary> m_summary;
    std::optional<AnalyserFrame> m_analyser;
};

// The numbers a field has in a record (none when it is absent; two for the
// frame type of a TEI-management frame: UI and its ID_ kind).
struct Numbers {
    std::array<std::int64_t, 2> values{};
    int count = 0;
    void Add(std::int64_t v) { values[static_cast<std::size_t>(count++)] = v; }
};

template <class T>
void AddIf(Numbers& out, const std::optional<T>& value) {
    if (value) out.Add(static_cast<std::int64_t>(*value));
}

// The fields of a TEI management message, as far as the frame holds them.
void AddTeiNumbers(Numbers& out, Field field, const AnalyserFrame& a, const Subject& s) {
    decode::ByteReader reader(s.data);
    reader.Skip(a.information);
    const auto entity = reader.U8();
    const auto high = reader.U8();
    const auto low = reader.U8();
    const auto message = high && low ? reader.U8() : std::nullopt;
    const auto action = message ? reader.U8() : std::nullopt;
    if (field == Field::TeiEntity) AddIf(out, entity);
    if (field == Field::TeiReference && high && low) out.Add(*high << 8 | *low);
    if (field == Field::TeiMessage) AddIf(out, message);
    if (field == Field::TeiAction && action) out.Add(*action >> 1);
}

// The numbers of the fields with a packet analyser's names.
Numbers AnalyserNumbers(Field field, Record& record, const Subject& s) {
    Numbers out;
    const AnalyserFrame& a = record.Analyser();
    const decode::LinkHeader& link = a.link;
    switch (field) {
        case Field::CrBit:
            if (link.hasAddress) out.Add(link.cr);
            break;
        case Field::Poll:
        case Field::Final:
            // Only a set bit is shown: as poll in a command, as final in a response.
            if (a.control && link.hasPf && link.pf != 0 && a.command == (field == Field::Poll)) out.Add(1);
            break;
        case Field::Control:
            if (a.control && link.kind == decode::FrameKind::U) out.Add(link.control);
            if (a.control && link.kind != decode::FrameKind::U) out.Add(link.control | (link.nr << 1 | link.pf) << 8);
            break;
        case Field::ControlFormat:
            if (a.control) out.Add(link.kind == decode::FrameKind::I ? 0 : link.kind == decode::FrameKind::S ? 1 : 3);
            break;
        case Field::SFunction:
            if (a.control && link.kind == decode::FrameKind::S) out.Add(link.control >> 2 & 0x03);
            break;
        case Field::UModifierCommand:
        case Field::UModifierResponse:
            if (a.control && link.kind == decode::FrameKind::U && a.command == (field == Field::UModifierCommand))
                out.Add((link.control & 0xEC) >> 2);
            break;
        case Field::TeiEntity:
        case Field::TeiReference:
        case Field::TeiMessage:
        case Field::TeiAction:
            if (a.Tei()) AddTeiNumbers(out, field, a, s);
            break;
        case Field::Q931Discriminator:
            if (a.q931) out.Add(a.q931->discriminator);
            break;
        case Field::Q931CallRefLength:
            if (a.q931) AddIf(out, a.q931->callReferenceLength);
            break;
        case Field::Q931CallRefFlag:
            if (a.q931 && a.q931->callReference && !a.q931->callReference->Empty())
                out.Add(*a.q931->callReference->Peek() >> 7);
            break;
        case Field::Q931MessageType:
            if (a.q931) AddIf(out, a.q931->messageType);
            break;
        default: break;
    }
    return out;
}

// The octets of the Q.931 call reference value as packet analysers show
// them: the flag bit cleared; nullopt without a value.
std::optional<std::string> CallReferenceOctets(Record& record) {
    const AnalyserFrame& a = record.Analyser();
    if (!a.q931 || !a.q931->callReference || a.q931->callReference->Empty()) return std::nullopt;
    const auto octets = a.q931->callReference->Rest();
    std::string text(reinterpret_cast<const char*>(octets.data()), octets.size());
    text[0] = static_cast<char>(text[0] & 0x7F);
    return text;
}

// Numbers of the fields that have at most two; element fields are walked.
Numbers NumbersOf(Field field, Record& record) {
    Numbers out;
    const Subject& s = record.Get();
    switch (field) {
        case Field::Seq: out.Add(s.sequence); return out;
        case Field::Time: out.Add(wire::HundredthsOfDay(s.hours, s.minutes, s.seconds, s.hundredths)); return out;
        case Field::B: out.Add(s.b); return out;
        case Field::LN: out.Add(s.ln); return out;
        case Field::Length: out.Add(static_cast<std::int64_t>(s.data.size())); return out;
        case Field::Mod:
            if (s.type >= kAscii && s.type <= kDChannel) out.Add(s.type);
            return out;
        default: break;
    }
    if (!record.IsDChannel()) return out;
    if (field >= Field::CrBit) return AnalyserNumbers(field, record, s);
    const decode::FrameSummary& summary = record.Summary();
    switch (field) {
        case Field::Sapi: AddIf(out, summary.Sapi()); break;
        case Field::Tei: AddIf(out, summary.Tei()); break;
        case Field::Cr: AddIf(out, summary.IsCommand()); break;
        case Field::NS: AddIf(out, summary.SendSequence()); break;
        case Field::NR: AddIf(out, summary.ReceiveSequence()); break;
        case Field::PF: AddIf(out, summary.PollFinalBit()); break;
        case Field::Source: out.Add(summary.NetworkSide() ? 1 : 0); break;
        case Field::Crv:
            if (summary.HasCallReference()) out.Add(summary.CallReferenceValue());
            break;
        case Field::CrFlag:
            if (summary.HasCallReference()) out.Add(summary.CallReferenceFlag() ? 1 : 0);
            break;
        case Field::Msg:
            if (summary.GetMessageKind() == decode::MessageKind::Q931) out.Add(summary.MessageValue());
            break;
        case Field::FrameType: {
            if (const decode::FrameType type = summary.Link().type; type != decode::FrameType::Unknown)
                out.Add(static_cast<std::int64_t>(type));
            if (summary.GetMessageKind() == decode::MessageKind::TeiManagement)
                out.Add(kTeiTypeBase + summary.MessageValue());
            break;
        }
        default: break;
    }
    return out;
}

bool CompareNumbers(Op op, std::int64_t a, std::int64_t b) {
    switch (op) {
        case Op::Eq: return a == b;
        case Op::Lt: return a < b;
        case Op::Le: return a <= b;
        case Op::Gt: return a > b;
        case Op::Ge: return a >= b;
        default: return false;
    }
}

// Calls `test` with each number of the field until one passes.
bool AnyNumber(Field field, Record& record, const std::function<bool(std::int64_t)>& test) {
    switch (field) {
        case Field::Cause: {
            bool found = false;
            record.Elements([&](const decode::Element& e) {
                if (const auto cause = decode::CauseValue(e)) found = test(*cause);
                return !found;
            });
            return found;
        }
        case Field::Ie: {
            bool found = false;
            record.Elements([&](const decode::Element& e) {
                if (e.codeset == 0) found = test(e.id);
                return !found;
            });
            return found;
        }
        case Field::ChannelExclusive: {
            bool found = false;
            record.Elements([&](const decode::Element& e) {
                if (const auto channel = decode::ValuesOf(e).channel) found = test(channel->exclusive ? 1 : 0);
                return !found;
            });
            return found;
        }
        default: {
            const Numbers numbers = NumbersOf(field, record);
            for (int i = 0; i < numbers.count; ++i)
                if (test(numbers.values[static_cast<std::size_t>(i)])) return true;
            return false;
        }
    }
}

// Calls `test` with the digits of each called, calling or connected number
// element, as the field says, until one passes.
bool AnyPartyDigits(Field field, Record& record, const std::function<bool(std::string_view)>& test) {
    const std::uint8_t id = field == Field::Called    ? decode::kCalledNumberId
                            : field == Field::Calling ? decode::kCallingNumberId
                                                      : decode::kConnectedNumberId;
    bool found = false;
    record.Elements([&](const decode::Element& e) {
        if (e.id == id) {
            // A connected number without digits shows none (packet analysers' way).
            const auto digits = decode::PartyDigits(e);
            if (digits && !(field == Field::Connected && digits->empty())) found = test(*digits);
        }
        return !found;
    });
    return found;
}

// Calls `test` with the text of a D-channel frame's link or message field.
bool AnySummaryText(Field field, Record& record, const std::function<bool(std::string_view)>& test) {
    if (!record.IsDChannel()) return false;
    const decode::FrameSummary& summary = record.Summary();
    switch (field) {
        case Field::Cr: {
            const auto command = summary.IsCommand();
            return command && test(*command ? "C" : "R");
        }
        case Field::Source: return test(summary.NetworkSide() ? "NT" : "TE");
        case Field::CrFlag: return summary.HasCallReference() && test(summary.CallReferenceFlag() ? "D" : "O");
        case Field::Q931CallRefFlag: {
            const Numbers flag = NumbersOf(field, record);
            return flag.count > 0 && test(flag.values[0] != 0 ? "D" : "O");
        }
        case Field::Msg:
        case Field::Q931MessageType:
            return summary.GetMessageKind() == decode::MessageKind::Q931 && test(summary.Message());
        case Field::FrameType: {
            const std::string_view type = decode::LapdName(summary.Link().type);
            if (!type.empty() && test(type)) return true;
            if (summary.GetMessageKind() != decode::MessageKind::TeiManagement) return false;
            return test("ID_" + std::string(decode::Lookup(decode::kTeiMessages, summary.MessageValue())));
        }
        default: return false;
    }
}

// Calls `test` with each text of the field until one passes.
bool AnyText(Field field, Record& record, const std::function<bool(std::string_view)>& test) {
    const Subject& s = record.Get();
    switch (field) {
        case Field::Text: return test(record.Message());
        case Field::Frame:
            return test(std::string_view(reinterpret_cast<const char*>(s.data.data()), s.data.size()));
        case Field::Mod:
            if (s.type == kAscii) return test("ASC");
            if (s.type == kHex) return test("HEX");
            if (s.type == kDChannel) return test("DCH");
            return false;
        case Field::Q931CallRef: {
            const auto octets = CallReferenceOctets(record);
            return octets && test(*octets);
        }
        case Field::Called:
        case Field::Calling:
        case Field::Connected: return AnyPartyDigits(field, record, test);
        case Field::Ie: {
            bool found = false;
            record.Elements([&](const decode::Element& e) {
                const std::string name = decode::ElementName(e);
                if (!name.empty()) found = test(Trimmed(name));
                return !found;
            });
            return found;
        }
        default: return AnySummaryText(field, record, test);
    }
}

bool IsTextField(Field field) {
    return field == Field::Text || field == Field::Frame || field == Field::Called || field == Field::Calling ||
           field == Field::Connected || field == Field::Q931CallRef;
}

// Octets ordered as packet analysers order them: the shorter first, then
// octet by octet.
int CompareOctets(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

bool Present(Field field, Record& record) {
    switch (field) {
        case Field::Lapd: return record.IsDChannel();
        // As packet analysers have it: every SAPI 0 frame with an information field.
        case Field::Q931: return record.IsDChannel() && record.Analyser().Q931();
        case Field::Text: return record.Get().type >= kAscii && record.Get().type <= kDChannel;
        case Field::Frame: return !record.Get().data.empty();
        case Field::Called:
        case Field::Calling:
        case Field::Connected:
        case Field::Q931CallRef: return AnyText(field, record, [](std::string_view) { return true; });
        default: return AnyNumber(field, record, [](std::int64_t) { return true; });
    }
}

// A comparison other than != (which is the negation of ==).
bool Compare(const Node& node, Op op, Record& record) {
    const Field field = node.field;
    if (op == Op::Matches) {
        return AnyText(field, record, [&](std::string_view text) {
            return re2::RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *node.pattern);
        });
    }
    if (field == Field::Frame || field == Field::Q931CallRef) {
        const std::string_view bytes = node.text;
        return AnyText(field, record, [&](std::string_view data) {
            if (op == Op::Contains) return data.find(bytes) != std::string_view::npos;
            if (op == Op::Eq) return data == bytes;
            const int order = CompareOctets(data, bytes);
            return CompareNumbers(op, order, 0);
        });
    }
    const bool byNumber = !IsTextField(field) && op != Op::Contains && !(field == Field::Ie && !node.text.empty());
    if (byNumber) {
        return AnyNumber(field, record, [&](std::int64_t value) { return CompareNumbers(op, value, node.number); });
    }
    const std::string_view wanted = node.text;
    if (op == Op::Contains) {
        return AnyText(field, record, [&](std::string_view text) { return ContainsIgnoringCase(text, wanted); });
    }
    if (field == Field::Ie) {
        // Element names are cut to 15 characters: a longer name given in full
        // matches its cut form.
        return AnyText(field, record, [&](std::string_view name) {
            return EqualIgnoringCase(name, wanted) ||
                   (name.size() >= 13 && wanted.size() > name.size() &&
                    EqualIgnoringCase(name, wanted.substr(0, name.size())));
        });
    }
    return AnyText(field, record, [&](std::string_view text) { return EqualIgnoringCase(text, wanted); });
}

bool Evaluate(const Program& program, int at, Record& record) {
    const Node& node = program.nodes[static_cast<std::size_t>(at)];
    switch (node.op) {
        case Op::True: return true;
        case Op::Or: return Evaluate(program, node.left, record) || Evaluate(program, node.right, record);
        case Op::And: return Evaluate(program, node.left, record) && Evaluate(program, node.right, record);
        case Op::Not: return !Evaluate(program, node.left, record);
        case Op::Present: return Present(node.field, record);
        case Op::Ne:
            if (node.analyserName) return Present(node.field, record) && !Compare(node, Op::Eq, record);
            return !Compare(node, Op::Eq, record);
        default: return Compare(node, node.op, record);
    }
}

}  // namespace

Subject SubjectOf(const trace::CTraceLog& log, int index) {
    Subject subject;
    const std::optional<trace::CTraceRecord> record = log.GetRecord(index);
    if (!record) return subject;
    subject.type = record->GetType();
    subject.sequence = record->GetSequence();
    subject.hours = record->GetHours();
    subject.minutes = record->GetMinutes();
    subject.seconds = record->GetSeconds();
    subject.hundredths = record->GetHundredths();
    subject.b = record->GetBNumber();
    subject.ln = record->GetLNNumber();
    subject.flagsOctet = record->GetFlags();
    subject.data = record->GetData();
    return subject;
}

bool DisplayFilter::Matches(const Subject& subject) const {
    if (IsEverything()) return true;
    Record record(subject);
    return Evaluate(*m_program, static_cast<int>(m_program->nodes.size() - 1), record);
}

bool DisplayFilter::Matches(const trace::CTraceLog& log, int index) const {
    if (IsEverything()) return index >= 0 && index < log.GetRecordCount();
    const Subject subject = SubjectOf(log, index);
    if (subject.type == 0) return false;
    return Matches(subject);
}

bool DisplayFilter::IsEverything() const { return m_program == nullptr || m_program->nodes.empty(); }

bool DisplayFilter::ReadsElements() const { return m_program != nullptr && m_program->elements; }

std::vector<int> MatchingRecords(const DisplayFilter& filter, const trace::CTraceLog& log, int first, int last) {
    std::vector<int> rows;
    first = std::max(first, 0);
    last = std::min(last, log.GetRecordCount());
    for (int i = first; i < last; ++i)
        if (filter.Matches(log, i)) rows.push_back(i);
    return rows;
}

}  // namespace filter
