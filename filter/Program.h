#pragma once
// The parsed form of a display filter: a flat list of nodes (children before
// their parents, the root last) over fields bound at parse time. Internal to
// the filter library.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <re2/re2.h>

namespace filter {

enum class Field : std::uint8_t {
    Sapi, Tei, Cr, FrameType, NS, NR, PF, Source, Crv, CrFlag, Msg, Ie, Cause, Called, Calling, Mod, Seq, Time,
    Text, Frame, Length, B, LN, Lapd, Q931,
    // Fields only a packet analyser's name reaches, with its meaning: the
    // C/R bit as sent, the poll bit of commands and the final bit of
    // responses, the control field's parts, the TEI-management octets of
    // any SAPI 63 frame, the Q.931 header of any SAPI 0 frame whatever its
    // discriminator, and element values.
    CrBit, Poll, Final, Control, ControlFormat, SFunction, UModifierCommand, UModifierResponse,
    TeiEntity, TeiReference, TeiMessage, TeiAction,
    Q931Discriminator, Q931CallRefLength, Q931CallRefFlag, Q931CallRef, Q931MessageType,
    ChannelExclusive, Connected,
};

// How a field's values are compared.
enum class FieldKind : std::uint8_t {
    Number,    // a number; ordering works
    Named,     // a number with names (C/R, TE/NT, message types, ...): names are turned into numbers when parsed
    Text,      // a text, compared without regard to case
    Time,      // time of day in hundredths of a second
    Bytes,     // octets
    Octets,    // octets as a packet analyser compares them: ordered by length, then octet by octet
    Protocol,  // present or not, nothing to compare
};

struct FieldInfo {
    std::string_view name;  // the field's own name
    Field field;
    FieldKind kind;
    bool elements;  // read from the information elements
};

// The field of a name (either the field's own or another name for it),
// compared without regard to case; null when none has it.
const FieldInfo* FindField(std::string_view name);

struct NamedValue {
    std::string_view name;
    std::int64_t value;
};

// The filter's numbers for frame types: decode::FrameType's own for the
// frame types, and kTeiTypeBase + the message type for a TEI-management
// message ("ID_REQ" ...). FrameTypeNames lists every name they answer to,
// made from the decoder's tables: the LAPD names, the ID_ names, and the
// names the record list shows where they differ ("SABE").
inline constexpr std::int64_t kTeiTypeBase = 20;
std::span<const NamedValue> FrameTypeNames();

enum class Op : std::uint8_t { Or, And, Not, Present, Eq, Ne, Lt, Le, Gt, Ge, Contains, Matches, True };

struct Node {
    Op op = Op::True;
    Field field = Field::Sapi;
    int left = -1;   // operand of Not, first operand of And/Or
    int right = -1;  // second operand of And/Or
    std::int64_t number = 0;                    // number, name's number or time
    std::string text;                           // upper-case text or the octets of a byte sequence
    std::shared_ptr<const re2::RE2> pattern;    // matches
    // The field was named as packet analysers name it: a != b then keeps only
    // records that have the field, with a value other than b.
    bool analyserName = false;
};

struct Program {
    std::vector<Node> nodes;  // empty: every record matches
    bool elements = false;
};

}  // namespace filter
