#pragma once
// Trace records: one unit of captured adapter traffic each, kept by a
// CTraceLog as the first 24 raw bytes and the data bytes, nothing more. A
// CTraceRecord is a small view of one stored record (valid until the log's
// records are deleted); it formats every display text when asked, decoding
// a D-channel frame again from its octets each time. The record kind follows
// the raw type:
//   1 ASCII ("ASC"), 2 hex (no mnemonic), 3 D-channel ("DCH").

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/DecodeItem.h"
#include "decode/Frame.h"
#include "tracefile/RawRecord.h"

namespace trace {

using decode::DecodeItem;

class CTraceRecord {
public:
    // header: the first kHeaderCopySize raw bytes; data: the record's data
    // (an ASCII record's without its terminating zero).
    CTraceRecord(const std::uint8_t* header, std::span<const std::uint8_t> data) : m_header(header), m_data(data) {}

    std::uint16_t GetType() const { return tracefile::ReadU16(GetHeaderCopy(), wire::kRecType); }
    bool IsDChannel() const { return GetType() == tracefile::kDChannelRecord; }

    // 75-character lines of 16 bytes each ("\r\n" included); returns 1.
    int FormatHexDump(std::string& out) const;

    std::string_view GetMnemonic() const;
    std::string GetSource() const;
    std::string GetAddress() const;
    std::string GetFrameType() const;
    std::string GetPollFinal() const;
    std::string GetNS() const;
    std::string GetNR() const;
    std::string GetCallReference() const;
    std::string GetMessage() const;
    int HasLayer3() const;
    int GetItemCount() const;
    std::optional<DecodeItem> GetItem(int position) const;

    // The decode of a D-channel record's frame (an empty summary for the
    // other kinds); with decode::kDecodeInfoElements in mask it counts the
    // elements too.
    decode::FrameSummary Summary(std::uint32_t mask = decode::kDecodeMask) const;

    std::uint16_t GetSequence() const { return tracefile::ReadU16(GetHeaderCopy(), wire::kRecSequence); }
    std::uint8_t GetHours() const { return m_header[wire::kRecHour]; }
    std::uint8_t GetMinutes() const { return m_header[wire::kRecMinute]; }
    std::uint8_t GetSeconds() const { return m_header[wire::kRecSecond]; }
    std::uint8_t GetHundredths() const { return m_header[wire::kRecHundredths]; }
    // The time of day in hundredths of a second since midnight.
    std::uint32_t GetTimeOfDay() const {
        return wire::HundredthsOfDay(GetHours(), GetMinutes(), GetSeconds(), GetHundredths());
    }
    std::uint8_t GetBNumber() const { return m_header[wire::kRecBChannel]; }
    std::uint8_t GetLNNumber() const { return m_header[wire::kRecLn]; }
    // A D-channel record's side flags (meaningless for the other kinds):
    // which side sent the frame, and whether a capture file left that unsaid.
    std::uint8_t GetFlags() const { return m_header[wire::kRecFlags]; }
    bool IsFromNetworkSide() const { return wire::FromNetworkSide(GetFlags()); }
    bool IsSideUnknown() const { return IsDChannel() && (m_header[wire::kRecFrameFlags] & wire::kSideUnknownBit) != 0; }
    std::span<const std::uint8_t> GetHeaderCopy() const { return {m_header, tracefile::kHeaderCopySize}; }
    std::span<const std::uint8_t> GetData() const { return m_data; }

private:
    const std::uint8_t* m_header;
    std::span<const std::uint8_t> m_data;
};

// The hex dump of a byte block, as every record kind formats its data.
std::string FormatHexDump(std::span<const std::uint8_t> data);
// The same lines appended to out, each after `indent` and ending in lineEnd
// instead of "\r\n".
void AppendHexDump(std::string& out, std::span<const std::uint8_t> data, std::string_view indent = {},
                   std::string_view lineEnd = "\r\n");

// The ASCII record's rendering: a column counter from 26, tabs to the next
// multiple of 8, at most two lines of which the first holds 54 characters.
std::string RenderAsciiText(std::span<const std::uint8_t> data);

}  // namespace trace
