#pragma once
// Display filters: a small expression language over the fields of a trace
// record, such as
//     msg == "SETUP" and called contains "555"
//     tei == 64 && !(ftype == RR or ftype == RNR)
//     frame contains 08:01
// A DisplayFilter is parsed once and then asked about record after record; it
// keeps no state between records, so one filter may be used from several
// threads at once. The fields, operators and messages are listed in the
// README (section "Display filters").

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trace {
class CTraceLog;
}

namespace filter {

// Why an expression was not accepted: `position` is the 1-based character
// where the trouble starts (one past the last character at the end).
struct FilterError {
    std::size_t position = 0;
    std::string message;
    // "<message> (at character <position>)".
    std::string Text() const;
};

// What a filter looks at in one record.
struct Subject {
    std::uint16_t type = 0;  // raw record type: 1 ASCII, 2 hex, 3 D-channel
    std::uint16_t sequence = 0;
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    std::uint8_t seconds = 0;
    std::uint8_t hundredths = 0;
    std::uint8_t b = 0;
    std::uint8_t ln = 0;
    std::uint8_t flagsOctet = 0;             // octet 17 of a D-channel record: which side sent the frame
    std::span<const std::uint8_t> data;      // the frame octets (the text of an ASCII record)
};

// The subject of record `index` of a log (type 0 for an index out of range).
Subject SubjectOf(const trace::CTraceLog& log, int index);

struct Program;  // the parsed expression

class DisplayFilter {
public:
    // Parses an expression. Blank text gives the filter that lets every
    // record through; a malformed one gives nullopt and the reason.
    static std::optional<DisplayFilter> Parse(std::string_view text, FilterError* error = nullptr);

    bool Matches(const Subject& subject) const;
    bool Matches(const trace::CTraceLog& log, int index) const;

    // True when the expression lets every record through (blank text).
    bool IsEverything() const;
    // True when some field needs the record's information elements: such
    // filters take several times as long as those on layer-2 and header fields.
    bool ReadsElements() const;

private:
    std::shared_ptr<const Program> m_program;
};

// The indexes of the records of `log` in [first, last) that match.
std::vector<int> MatchingRecords(const DisplayFilter& filter, const trace::CTraceLog& log, int first, int last);

}  // namespace filter
