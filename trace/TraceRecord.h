#pragma once
// Trace records: one unit of captured adapter traffic each, built from a raw
// record that passed the framing checks, owned by a CTraceLog and used on the
// user-interface thread only. The record kind follows the raw type:
//   1 CAsciiRecord ("ASC"), 2 CTraceRecord (hex, no mnemonic), 3 CDChannelRecord ("DCH").
// Display texts are answered by value so a record may keep what its decoder
// found in a compact form and format the text only when a view asks.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/DecodeItem.h"
#include "decode/Frame.h"
#include "trace/RawRecord.h"

namespace trace {

using decode::DecodeItem;

class CTraceRecord {
public:
    explicit CTraceRecord(std::uint32_t dataLength);
    virtual ~CTraceRecord();
    CTraceRecord(const CTraceRecord&) = delete;
    CTraceRecord& operator=(const CTraceRecord&) = delete;

    // Builder steps: the data bytes (exactly the length given at construction)
    // and the first 24 raw bytes.
    void SetData(std::span<const std::uint8_t> bytes);
    void SetHeaderCopy(std::span<const std::uint8_t> raw);

    // Decodes the record from its whole raw record (header included). The
    // result is not used by the builders.
    virtual int Decode(std::span<const std::uint8_t> raw, std::uint32_t options);

    // 75-character lines of 16 bytes each ("\r\n" included); returns 1.
    int FormatHexDump(std::string& out) const;

    virtual std::string_view GetMnemonic() const { return {}; }
    virtual std::string GetSource() const { return {}; }
    virtual std::string GetAddress() const { return {}; }
    virtual std::string GetFrameType() const { return {}; }
    virtual std::string GetPollFinal() const { return {}; }
    virtual std::string GetNS() const { return {}; }
    virtual std::string GetNR() const { return {}; }
    virtual std::string GetCallReference() const { return {}; }
    virtual std::string GetMessage() const { return {}; }
    virtual int HasLayer3() const { return 0; }
    virtual int GetItemCount() const { return 0; }
    virtual std::optional<DecodeItem> GetItem(int /*position*/) const { return std::nullopt; }

    std::uint16_t GetSequence() const { return ReadU16(m_header, 6); }
    std::uint8_t GetHours() const { return m_header[8]; }
    std::uint8_t GetMinutes() const { return m_header[9]; }
    std::uint8_t GetSeconds() const { return m_header[10]; }
    std::uint8_t GetHundredths() const { return m_header[11]; }
    std::uint8_t GetBNumber() const { return m_header[12]; }
    std::uint8_t GetLNNumber() const { return m_header[13]; }
    std::span<const std::uint8_t> GetHeaderCopy() const { return m_header; }
    std::span<const std::uint8_t> GetData() const { return {m_data.get(), m_dataLength}; }

protected:
    // Shortens the data, for the ASCII rendering's dropped terminator.
    void TruncateData(std::uint32_t length) { m_dataLength = std::min(length, m_dataLength); }

private:
    std::unique_ptr<std::uint8_t[]> m_data;
    std::uint32_t m_dataLength;
    std::array<std::uint8_t, kHeaderCopySize> m_header{};
};

class CAsciiRecord final : public CTraceRecord {
public:
    using CTraceRecord::CTraceRecord;
    int Decode(std::span<const std::uint8_t> raw, std::uint32_t options) override;
    std::string_view GetMnemonic() const override { return "ASC"; }
    std::string GetMessage() const override { return m_message; }

private:
    std::string m_message;  // the rendered text, at most two lines
};

// Keeps what the decoders found as a FrameSummary of a few octets and formats
// each text when asked; the decode items are made again from the frame octets
// the record holds anyway.
class CDChannelRecord final : public CTraceRecord {
public:
    using CTraceRecord::CTraceRecord;
    int Decode(std::span<const std::uint8_t> raw, std::uint32_t options) override;
    std::string_view GetMnemonic() const override { return "DCH"; }
    std::string GetSource() const override { return m_summary.Source(); }
    std::string GetAddress() const override { return m_summary.Address(); }
    std::string GetFrameType() const override { return m_summary.FrameType(); }
    std::string GetPollFinal() const override { return m_summary.PollFinal(); }
    std::string GetNS() const override { return m_summary.NS(); }
    std::string GetNR() const override { return m_summary.NR(); }
    std::string GetCallReference() const override { return m_summary.CallReference(); }
    std::string GetMessage() const override { return m_summary.Message(); }
    int HasLayer3() const override { return m_summary.HasLayer3() ? 1 : 0; }
    int GetItemCount() const override { return static_cast<int>(m_summary.ItemCount()); }
    std::optional<DecodeItem> GetItem(int position) const override;
    // Every item at once, for the decode tree (one walk instead of one per item).
    std::vector<DecodeItem> GetItems() const { return m_summary.Items(GetData()); }

private:
    decode::FrameSummary m_summary;
};

// The hex dump of a byte block, as every record kind formats its data.
std::string FormatHexDump(std::span<const std::uint8_t> data);

// The ASCII record's rendering: a column counter from 26, tabs to the next
// multiple of 8, at most two lines of which the first holds 54 characters.
std::string RenderAsciiText(std::span<const std::uint8_t> data);

// Builds the record of a raw record that passed both framing checks, in the
// order the builders follow: create by type, copy data, decode, keep the
// header copy. Types without a record class give null.
std::unique_ptr<CTraceRecord> BuildRecord(std::span<const std::uint8_t> raw);

}  // namespace trace
