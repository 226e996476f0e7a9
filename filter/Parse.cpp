// Reading a display filter: the field table, the tokens, and a recursive
// descent over
//     expr    := and ( ("or" | "||") and )*
//     and     := unary ( ("and" | "&&") unary )*
//     unary   := ("not" | "!") unary | primary
//     primary := "(" expr ")" | FIELD [ OPERATOR VALUE ]
// Names of values (message types, frame types, sides) are turned into
// numbers here, so matching compares numbers.

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>

#include "decode/Frame.h"
#include "decode/ProtocolNames.h"
#include "filter/DisplayFilter.h"
#include "filter/Program.h"

namespace filter {
namespace {

struct FieldName {
    std::string_view name;
    FieldInfo info;
};

// Every name a field answers to: its own first, then the names packet
// analysers use for the same value.
constexpr FieldName kFieldNames[] = {
    {"sapi", {"sapi", Field::Sapi, FieldKind::Number, false}},
    {"lapd.sapi", {"sapi", Field::Sapi, FieldKind::Number, false}},
    {"tei", {"tei", Field::Tei, FieldKind::Number, false}},
    {"lapd.tei", {"tei", Field::Tei, FieldKind::Number, false}},
    {"cr", {"cr", Field::Cr, FieldKind::Named, false}},
    {"lapd.cr", {"lapd.cr", Field::CrBit, FieldKind::Number, false}},
    {"ftype", {"ftype", Field::FrameType, FieldKind::Named, false}},
    {"ns", {"ns", Field::NS, FieldKind::Number, false}},
    {"lapd.control.n_s", {"ns", Field::NS, FieldKind::Number, false}},
    {"nr", {"nr", Field::NR, FieldKind::Number, false}},
    {"lapd.control.n_r", {"nr", Field::NR, FieldKind::Number, false}},
    {"pf", {"pf", Field::PF, FieldKind::Number, false}},
    {"lapd.control.p", {"lapd.control.p", Field::Poll, FieldKind::Named, false}},
    {"lapd.control.f", {"lapd.control.f", Field::Final, FieldKind::Named, false}},
    {"lapd.control", {"lapd.control", Field::Control, FieldKind::Number, false}},
    {"lapd.control.ftype", {"lapd.control.ftype", Field::ControlFormat, FieldKind::Number, false}},
    {"lapd.control.s_ftype", {"lapd.control.s_ftype", Field::SFunction, FieldKind::Number, false}},
    {"lapd.control.u_modifier_cmd", {"lapd.control.u_modifier_cmd", Field::UModifierCommand, FieldKind::Number, false}},
    {"lapd.control.u_modifier_resp",
     {"lapd.control.u_modifier_resp", Field::UModifierResponse, FieldKind::Number, false}},
    {"source", {"source", Field::Source, FieldKind::Named, false}},
    {"lapd.direction", {"source", Field::Source, FieldKind::Named, false}},
    {"tei.entity", {"tei.entity", Field::TeiEntity, FieldKind::Number, false}},
    {"tei.reference", {"tei.reference", Field::TeiReference, FieldKind::Number, false}},
    {"tei.msg", {"tei.msg", Field::TeiMessage, FieldKind::Number, false}},
    {"tei.action", {"tei.action", Field::TeiAction, FieldKind::Number, false}},
    {"crv", {"crv", Field::Crv, FieldKind::Number, false}},
    {"q931.call_ref", {"q931.call_ref", Field::Q931CallRef, FieldKind::Octets, false}},
    {"crflag", {"crflag", Field::CrFlag, FieldKind::Named, false}},
    {"q931.call_ref_flag", {"q931.call_ref_flag", Field::Q931CallRefFlag, FieldKind::Named, false}},
    {"q931.call_ref_len", {"q931.call_ref_len", Field::Q931CallRefLength, FieldKind::Number, false}},
    {"q931.disc", {"q931.disc", Field::Q931Discriminator, FieldKind::Number, false}},
    {"msg", {"msg", Field::Msg, FieldKind::Named, false}},
    {"q931.message_type", {"q931.message_type", Field::Q931MessageType, FieldKind::Named, false}},
    {"ie", {"ie", Field::Ie, FieldKind::Text, true}},
    {"cause", {"cause", Field::Cause, FieldKind::Number, true}},
    {"q931.cause_value", {"cause", Field::Cause, FieldKind::Number, true}},
    {"q931.channel.exclusive", {"q931.channel.exclusive", Field::ChannelExclusive, FieldKind::Named, true}},
    {"called", {"called", Field::Called, FieldKind::Text, true}},
    {"q931.called_party_number.digits", {"called", Field::Called, FieldKind::Text, true}},
    {"calling", {"calling", Field::Calling, FieldKind::Text, true}},
    {"q931.calling_party_number.digits", {"calling", Field::Calling, FieldKind::Text, true}},
    {"q931.connected_number.digits",
     {"q931.connected_number.digits", Field::Connected, FieldKind::Text, true}},
    {"mod", {"mod", Field::Mod, FieldKind::Named, false}},
    {"seq", {"seq", Field::Seq, FieldKind::Number, false}},
    {"time", {"time", Field::Time, FieldKind::Time, false}},
    {"text", {"text", Field::Text, FieldKind::Text, false}},
    {"frame", {"frame", Field::Frame, FieldKind::Bytes, false}},
    {"len", {"len", Field::Length, FieldKind::Number, false}},
    {"frame.len", {"len", Field::Length, FieldKind::Number, false}},
    {"b", {"b", Field::B, FieldKind::Number, false}},
    {"ln", {"ln", Field::LN, FieldKind::Number, false}},
    {"lapd", {"lapd", Field::Lapd, FieldKind::Protocol, false}},
    {"q931", {"q931", Field::Q931, FieldKind::Protocol, false}},
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Upper);
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// Names of the named fields (upper case); the frame-type numbers are the
// filter's own, the others are the numbers the field has on the wire.
constexpr NamedValue kCrNames[] = {{"C", 1}, {"R", 0}, {"COMMAND", 1}, {"RESPONSE", 0}};
constexpr NamedValue kSourceNames[] = {{"TE", 0}, {"NT", 1}, {"USER", 0}, {"NETWORK", 1}};
constexpr NamedValue kCrFlagNames[] = {{"O", 0}, {"D", 1}};
constexpr NamedValue kModNames[] = {{"ASC", 1}, {"HEX", 2}, {"DCH", 3}};
// A packet analyser's true and false.
constexpr NamedValue kBooleanNames[] = {{"TRUE", 1}, {"FALSE", 0}};
constexpr NamedValue kCrFlagBooleanNames[] = {{"O", 0}, {"D", 1}, {"TRUE", 1}, {"FALSE", 0}};

// Where a parse went wrong; thrown inside the parser only.
struct Failure {
    std::size_t offset;  // 0-based
    std::string message;
};

enum class Tok : std::uint8_t {
    End, LParen, RParen, And, Or, Not, Eq, Ne, Lt, Le, Gt, Ge, Contains, Matches, Word, Number, String, Colon,
};

struct Token {
    Tok kind = Tok::End;
    std::size_t offset = 0;
    std::string_view source;  // the characters as written
    std::string text;         // a string's value (escapes resolved)
    std::int64_t number = 0;
};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Describe(const Token& token) {
    if (token.kind == Tok::End) return "the end";
    return Quoted(token.source);
}

bool WordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == ':';
}

std::optional<std::int64_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0 || digit >= base) return std::nullopt;
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / base) return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    // While set, a word that starts with a digit but is no number is read
    // as a word: the value of an octets field.
    void ReadOctets(bool octets) { m_octets = octets; }

    Token Next() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])) != 0) ++m_pos;
        Token token;
        token.offset = m_pos;
        if (m_pos >= m_text.size()) return token;
        if (std::optional<Token> punctuation = Punctuation(token)) return std::move(*punctuation);
        return Word(token);
    }

private:
    // A parenthesis, an operator or a string at the reading place; nullopt
    // when a word starts there.
    std::optional<Token> Punctuation(Token& token) {
        const char c = m_text[m_pos];
        const auto two = [&](char second) { return m_pos + 1 < m_text.size() && m_text[m_pos + 1] == second; };
        const auto take = [&](Tok kind, std::size_t n) {
            token.kind = kind;
            token.source = m_text.substr(m_pos, n);
            m_pos += n;
            return token;
        };
        switch (c) {
            case '(': return take(Tok::LParen, 1);
            case ')': return take(Tok::RParen, 1);
            case '&':
                if (two('&')) return take(Tok::And, 2);
                break;
            case '|':
                if (two('|')) return take(Tok::Or, 2);
                break;
            case '=':
                if (two('=')) return take(Tok::Eq, 2);
                throw Failure{m_pos, "\"=\" is not an operator: write \"==\""};
            case '!': return two('=') ? take(Tok::Ne, 2) : take(Tok::Not, 1);
            case '<': return two('=') ? take(Tok::Le, 2) : take(Tok::Lt, 1);
            case '>': return two('=') ? take(Tok::Ge, 2) : take(Tok::Gt, 1);
            case '"': return String(token);
            default: break;
        }
        return std::nullopt;
    }

    // The word at the reading place: a keyword, a name with a colon, a
    // number, or a plain word.
    Token Word(Token& token) {
        if (!WordChar(m_text[m_pos])) throw Failure{m_pos, "unexpected character " + Quoted(m_text.substr(m_pos, 1))};
        std::size_t end = m_pos;
        while (end < m_text.size() && WordChar(m_text[end])) ++end;
        token.source = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        static constexpr std::pair<std::string_view, Tok> kKeywords[] = {
            {"and", Tok::And}, {"or", Tok::Or}, {"not", Tok::Not}, {"contains", Tok::Contains},
            {"matches", Tok::Matches}, {"eq", Tok::Eq}, {"ne", Tok::Ne}, {"lt", Tok::Lt}, {"le", Tok::Le},
            {"gt", Tok::Gt}, {"ge", Tok::Ge},
        };
        for (const auto& [word, kind] : kKeywords) {
            if (SameName(token.source, word)) {
                token.kind = kind;
                return token;
            }
        }
        if (token.source.find(':') != std::string_view::npos) {
            token.kind = Tok::Colon;
        } else if (std::isdigit(static_cast<unsigned char>(token.source[0])) != 0) {
            const auto number = ParseNumber(token.source);
            if (!number) {
                // Octets written as hex ("7e", "00.03") start with a digit too.
                if (!m_octets) throw Failure{token.offset, "bad number " + Quoted(token.source)};
                token.kind = Tok::Word;
                return token;
            }
            token.kind = Tok::Number;
            token.number = *number;
        } else {
            token.kind = Tok::Word;
        }
        return token;
    }

    Token String(Token& token) {
        const std::size_t start = m_pos++;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            char c = m_text[m_pos++];
            if (c == '\\') {
                if (m_pos >= m_text.size()) break;
                c = m_text[m_pos++];
                if (c == 'n') c = '\n';
                else if (c == 't') c = '\t';
                else if (c == 'x') {
                    const auto hex = m_pos + 2 <= m_text.size() ? ParseNumber("0x" + std::string(m_text.substr(m_pos, 2)))
                                                                : std::nullopt;
                    if (!hex) throw Failure{m_pos - 2, "\"\\x\" needs two hex digits"};
                    c = static_cast<char>(*hex);
                    m_pos += 2;
                }
            }
            token.text.push_back(c);
        }
        if (m_pos >= m_text.size()) throw Failure{start, "the string has no closing quote"};
        ++m_pos;
        token.kind = Tok::String;
        token.source = m_text.substr(start, m_pos - start);
        return token;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_octets = false;
};

// Fields that are a packet analyser's true or false (1 or 0).
bool IsBoolean(Field field) {
    return field == Field::Poll || field == Field::Final || field == Field::ChannelExclusive;
}

bool Ordering(Op op) { return op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge; }

std::optional<Op> ComparisonOf(Tok kind) {
    switch (kind) {
        case Tok::Eq: return Op::Eq;
        case Tok::Ne: return Op::Ne;
        case Tok::Lt: return Op::Lt;
        case Tok::Le: return Op::Le;
        case Tok::Gt: return Op::Gt;
        case Tok::Ge: return Op::Ge;
        case Tok::Contains: return Op::Contains;
        case Tok::Matches: return Op::Matches;
        default: return std::nullopt;
    }
}

// The value as text: a string's contents, or a word, number or colon
// sequence as written.
std::string ValueText(const Token& value) {
    return value.kind == Tok::String ? value.text : std::string(value.source);
}

std::string NamesList(std::span<const NamedValue> names) {
    std::string list;
    for (const NamedValue& n : names) {
        if (!list.empty()) list += ", ";
        list += n.name;
    }
    return list;
}

class Parser {
public:
    explicit Parser(std::string_view text) : m_lexer(text) { Advance(); }

    Program Run() {
        Program program;
        m_program = &program;
        if (m_token.kind == Tok::End) return program;
        Or();
        if (m_token.kind != Tok::End) {
            throw Failure{m_token.offset, "expected \"and\", \"or\" or the end of the expression, found " +
                                              Describe(m_token)};
        }
        return program;
    }

private:
    void Advance() { m_token = m_lexer.Next(); }

    int Add(Node node) {
        m_program->nodes.push_back(std::move(node));
        return static_cast<int>(m_program->nodes.size() - 1);
    }

    int Or() {
        int left = And();
        while (m_token.kind == Tok::Or) {
            Advance();
            const int right = And();
            left = Add(Node{Op::Or, Field::Sapi, left, right, 0, {}, nullptr});
        }
        return left;
    }

    int And() {
        int left = Unary();
        while (m_token.kind == Tok::And) {
            Advance();
            const int right = Unary();
            left = Add(Node{Op::And, Field::Sapi, left, right, 0, {}, nullptr});
        }
        return left;
    }

    int Unary() {
        if (m_token.kind == Tok::Not) {
            Advance();
            const int operand = Unary();
            return Add(Node{Op::Not, Field::Sapi, operand, -1, 0, {}, nullptr});
        }
        return Primary();
    }

    int Primary() {
        if (m_token.kind == Tok::LParen) {
            const std::size_t open = m_token.offset;
            Advance();
            const int inner = Or();
            if (m_token.kind != Tok::RParen) {
                throw Failure{m_token.offset, "expected \")\" to close the \"(\" at character " +
                                                  std::to_string(open + 1) + ", found " + Describe(m_token)};
            }
            Advance();
            return inner;
        }
        if (m_token.kind != Tok::Word) {
            throw Failure{m_token.offset, "expected a field name, \"not\" or \"(\", found " + Describe(m_token)};
        }
        const Token fieldToken = m_token;
        const FieldInfo* info = FindField(m_token.source);
        if (info == nullptr) throw Failure{m_token.offset, "unknown field " + Quoted(m_token.source)};
        if (info->elements) m_program->elements = true;
        Advance();
        const auto op = ComparisonOf(m_token.kind);
        if (!op) return Add(Node{Op::Present, info->field, -1, -1, 0, {}, nullptr});
        const Token opToken = m_token;
        m_lexer.ReadOctets(info->kind == FieldKind::Octets);
        Advance();
        m_lexer.ReadOctets(false);
        const Token value = m_token;
        if (value.kind != Tok::Number && value.kind != Tok::String && value.kind != Tok::Word &&
            value.kind != Tok::Colon) {
            throw Failure{value.offset, "expected a value after " + Quoted(opToken.source) + ", found " +
                                            Describe(value)};
        }
        Advance();
        Node node{*op, info->field, -1, -1, 0, {}, nullptr};
        node.analyserName = fieldToken.source.find('.') != std::string_view::npos;
        Bind(*info, opToken, value, node);
        return Add(std::move(node));
    }

    [[noreturn]] void Refuse(const Token& at, std::string message) { throw Failure{at.offset, std::move(message)}; }

    [[noreturn]] void RefuseOperator(const FieldInfo& info, const Token& opToken, std::string_view what) {
        Refuse(opToken, Quoted(opToken.source) + " does not apply to " + std::string(info.name) + ", " +
                            std::string(what));
    }

    // Checks the operator and the value against the field and turns the
    // value into the form the matcher compares.
    void Bind(const FieldInfo& info, const Token& opToken, const Token& value, Node& node) {
        const Op op = node.op;
        if (op == Op::Matches) {
            if (info.kind == FieldKind::Number || info.kind == FieldKind::Time || info.kind == FieldKind::Protocol ||
                IsBoolean(info.field))
                RefuseOperator(info, opToken, "which is not a text");
            node.text = ValueText(value);
            // A linear-time matcher: a pattern typed into the filter bar or
            // given to trctool must not be able to hang the program or
            // exhaust its stack on a long text. Octets are matched one by
            // one, as the texts and frames hold them.
            re2::RE2::Options options;
            options.set_encoding(re2::RE2::Options::EncodingLatin1);
            options.set_case_sensitive(false);
            options.set_log_errors(false);
            node.pattern = std::make_shared<const re2::RE2>(node.text, options);
            if (!node.pattern->ok())
                Refuse(value, "bad regular expression " + Quoted(node.text) + ": " + node.pattern->error());
            return;
        }
        switch (info.kind) {
            case FieldKind::Protocol:
                RefuseOperator(info, opToken, "which is only present or not");
            case FieldKind::Number:
                if (op == Op::Contains) RefuseOperator(info, opToken, "which is a number");
                if (value.kind != Tok::Number)
                    Refuse(value, std::string(info.name) + " is a number, not " + Quoted(value.source));
                node.number = value.number;
                return;
            case FieldKind::Named: BindNamed(info, opToken, value, node); return;
            case FieldKind::Text:
                if (info.field == Field::Ie && value.kind == Tok::Number) {
                    if (op == Op::Contains) RefuseOperator(info, opToken, "compared with a number");
                    node.number = value.number;
                    node.text.clear();
                    node.field = Field::Ie;
                    node.pattern = nullptr;
                    // An identifier compares as a number: marked by an empty text.
                    return;
                }
                if (Ordering(op)) RefuseOperator(info, opToken, "which is a text");
                if (value.kind == Tok::Colon) Refuse(value, std::string(info.name) + " is a text: put it in quotes");
                node.text = UpperCase(ValueText(value));
                if (node.text.empty() && info.field == Field::Ie) Refuse(value, "an element name cannot be empty");
                return;
            case FieldKind::Time: BindTime(info, opToken, value, node); return;
            case FieldKind::Bytes: BindBytes(info, opToken, value, node); return;
            case FieldKind::Octets: BindOctets(info, opToken, value, node); return;
        }
    }

    void BindNamed(const FieldInfo& info, const Token& opToken, const Token& value, Node& node) {
        const Op op = node.op;
        if (op == Op::Contains && IsBoolean(info.field)) RefuseOperator(info, opToken, "which is true or false");
        if (op == Op::Contains) {
            node.text = UpperCase(ValueText(value));
            return;
        }
        if (value.kind == Tok::Number) {
            if (info.field == Field::FrameType) {
                Refuse(value, "ftype is a frame type name (" + NamesList(FrameTypeNames()) +
                                  "), not a number");
            }
            node.number = value.number;
            return;
        }
        if (Ordering(op)) RefuseOperator(info, opToken, "unless it is compared with a number");
        if (value.kind == Tok::Colon) Refuse(value, "unknown " + std::string(info.name) + " " + Quoted(value.source));
        const std::string name = UpperCase(ValueText(value));
        std::span<const NamedValue> names;
        switch (info.field) {
            case Field::Cr: names = kCrNames; break;
            case Field::Source: names = kSourceNames; break;
            case Field::CrFlag: names = kCrFlagNames; break;
            case Field::Q931CallRefFlag: names = kCrFlagBooleanNames; break;
            case Field::Poll:
            case Field::Final:
            case Field::ChannelExclusive: names = kBooleanNames; break;
            case Field::Mod: names = kModNames; break;
            case Field::FrameType: names = FrameTypeNames(); break;
            case Field::Msg:
            case Field::Q931MessageType: {
                // Underscores stand for the blanks of a name written without quotes.
                std::string spaced = name;
                std::replace(spaced.begin(), spaced.end(), '_', ' ');
                const auto type = decode::MessageTypeByName(spaced);
                if (!type) Refuse(value, "unknown message " + Quoted(ValueText(value)));
                node.number = *type;
                return;
            }
            default: break;
        }
        for (const NamedValue& n : names) {
            if (n.name == name) {
                node.number = n.value;
                return;
            }
        }
        Refuse(value, "unknown " + std::string(info.name) + " " + Quoted(ValueText(value)) + ": expected one of " +
                          NamesList(names));
    }

    void BindTime(const FieldInfo& info, const Token& opToken, const Token& value, Node& node) {
        if (node.op == Op::Contains) RefuseOperator(info, opToken, "which is a time of day");
        if (value.kind == Tok::Number) {
            // Seconds since midnight; a day has fewer than 10^7 of them, so
            // anything larger is as good as 10^7 (and cannot overflow).
            node.number = std::min<std::int64_t>(value.number, 10'000'000) * 100;
            return;
        }
        // hh:mm, hh:mm:ss or hh:mm:ss.cc
        const std::string text = ValueText(value);
        int parts[4] = {0, 0, 0, 0};
        int count = 0;
        std::size_t i = 0;
        bool good = value.kind != Tok::Word && value.kind != Tok::Number;
        while (good && i < text.size() && count < 4) {
            std::size_t end = i;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0) ++end;
            if (end == i || end - i > 2) {
                good = false;
                break;
            }
            parts[count++] = std::stoi(text.substr(i, end - i));
            if (end == text.size()) {
                i = end;
                break;
            }
            const char sep = text[end];
            if ((sep == ':' && count < 3) || (sep == '.' && count == 3)) {
                i = end + 1;
            } else {
                good = false;
            }
        }
        if (!good || i != text.size() || count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
            Refuse(value, "time takes hh:mm, hh:mm:ss or hh:mm:ss.cc, not " + Quoted(value.source));
        node.number = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 100LL + parts[3];
    }

    void BindBytes(const FieldInfo& info, const Token& opToken, const Token& value, Node& node) {
        if (Ordering(node.op)) RefuseOperator(info, opToken, "which is a byte sequence");
        switch (value.kind) {
            case Tok::String: node.text = value.text; return;
            case Tok::Number:
                if (value.number > 0xFF) Refuse(value, "a byte is 0 to 255 (0xFF), not " + Quoted(value.source));
                node.text.assign(1, static_cast<char>(value.number));
                return;
            case Tok::Colon:
            case Tok::Word: {
                // Two hex digits per octet, separated by colons: 08:01:01:05.
                const std::string_view text = value.source;
                for (std::size_t i = 0; i <= text.size(); i += 3) {
                    const auto octet = i + 2 <= text.size() ? ParseNumber("0x" + std::string(text.substr(i, 2)))
                                                            : std::nullopt;
                    const bool separated = i + 2 == text.size() || (i + 2 < text.size() && text[i + 2] == ':');
                    if (!octet || !separated)
                        Refuse(value, "expected octets as hex pairs separated by \":\" (08:01), found " +
                                          Quoted(text));
                    node.text.push_back(static_cast<char>(*octet));
                    if (i + 2 == text.size()) break;
                }
                return;
            }
            default: return;
        }
    }

    // Octets as a packet analyser writes them: a string, one octet in hex
    // ("30", "0x30", "7e"), or hex pairs, run together or separated by ":"
    // or "." ("0003", "00:03", "00.03").
    void BindOctets(const FieldInfo& info, const Token& opToken, const Token& value, Node& node) {
        (void)opToken;
        if (value.kind == Tok::String) {
            node.text = value.text;
            return;
        }
        const auto bad = [&] {
            Refuse(value, std::string(info.name) + " takes octets in hex (30, 00:03) or a string, not " +
                              Quoted(value.source));
        };
        std::string_view text = value.source;
        std::vector<std::string_view> parts;
        const std::size_t separator = text.find_first_of(":.");
        if (separator != std::string_view::npos) {
            const char sep = text[separator];
            for (std::size_t start = 0;;) {
                const std::size_t end = text.find(sep, start);
                parts.push_back(text.substr(start, end - start));
                if (end == std::string_view::npos) break;
                start = end + 1;
            }
        } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            parts.push_back(text.substr(2));
        } else if (text.size() <= 2) {
            parts.push_back(text);
        } else if (text.size() % 2 == 0) {
            for (std::size_t i = 0; i < text.size(); i += 2) parts.push_back(text.substr(i, 2));
        } else {
            bad();
        }
        for (const std::string_view part : parts) {
            const auto octet = part.empty() || part.size() > 2 || part[0] == 'x' || part[0] == 'X'
                                   ? std::nullopt
                                   : ParseNumber("0x" + std::string(part));
            if (!octet) bad();
            node.text.push_back(static_cast<char>(*octet));
        }
    }

    Lexer m_lexer;
    Token m_token;
    Program* m_program = nullptr;
};

}  // namespace

const FieldInfo* FindField(std::string_view name) {
    for (const FieldName& row : kFieldNames)
        if (SameName(row.name, name)) return &row.info;
    return nullptr;
}

std::span<const NamedValue> FrameTypeNames() {
    // The texts the ID_ names are made of, then the names pointing into them.
    static const std::vector<std::string> kTeiNames = [] {
        std::vector<std::string> names;
        for (const decode::Name& row : decode::kTeiMessages) names.push_back("ID_" + std::string(row.text));
        return names;
    }();
    static const std::vector<NamedValue> kNames = [] {
        std::vector<NamedValue> names;
        for (const decode::FrameTypeRow& row : decode::kFrameTypes)
            names.push_back({row.lapd, static_cast<std::int64_t>(row.type)});
        for (std::size_t i = 0; i < kTeiNames.size(); ++i)
            names.push_back({kTeiNames[i], kTeiTypeBase + decode::kTeiMessages[i].value});
        for (const decode::FrameTypeRow& row : decode::kFrameTypes)
            if (row.shown != row.lapd) names.push_back({row.shown, static_cast<std::int64_t>(row.type)});
        return names;
    }();
    return kNames;
}

std::string FilterError::Text() const { return message + " (at character " + std::to_string(position) + ")"; }

std::optional<DisplayFilter> DisplayFilter::Parse(std::string_view text, FilterError* error) {
    try {
        DisplayFilter filter;
        filter.m_program = std::make_shared<const Program>(Parser(text).Run());
        return filter;
    } catch (const Failure& failure) {
        if (error != nullptr) *error = FilterError{failure.offset + 1, failure.message};
        return std::nullopt;
    }
}

}  // namespace filter
