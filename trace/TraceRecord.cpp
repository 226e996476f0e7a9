#include "trace/TraceRecord.h"

#include <algorithm>
#include <cstring>

namespace trace {

CTraceRecord::CTraceRecord(std::uint32_t dataLength)
    : m_data(std::make_unique_for_overwrite<std::uint8_t[]>(dataLength)), m_dataLength(dataLength) {}

CTraceRecord::~CTraceRecord() = default;

void CTraceRecord::SetData(std::span<const std::uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), m_dataLength), m_data.get());
}

void CTraceRecord::SetHeaderCopy(std::span<const std::uint8_t> raw) {
    std::copy_n(raw.begin(), std::min(raw.size(), m_header.size()), m_header.begin());
}

int CTraceRecord::Decode(std::span<const std::uint8_t>, std::uint32_t) { return 0; }

int CTraceRecord::FormatHexDump(std::string& out) const {
    out = trace::FormatHexDump(GetData());
    return 1;
}

int CAsciiRecord::Decode(std::span<const std::uint8_t>, std::uint32_t) {
    const auto data = GetData();
    if (!data.empty() && data.back() == 0) TruncateData(static_cast<std::uint32_t>(data.size() - 1));
    m_message = RenderAsciiText(GetData());
    return 0;
}

int CDChannelRecord::Decode(std::span<const std::uint8_t> raw, std::uint32_t options) {
    // Octet 17 of the raw record (inside the frame flags) says which side sent
    // the frame; the frame octets are the data this record already holds.
    const std::uint8_t flags = raw.size() > 17 ? raw[17] : 0;
    m_summary = decode::DecodeFrame(GetData(), flags, options);
    return 0;
}

std::optional<DecodeItem> CDChannelRecord::GetItem(int position) const {
    if (position < 0) return std::nullopt;
    return m_summary.Item(GetData(), static_cast<std::uint32_t>(position));
}

std::string FormatHexDump(std::span<const std::uint8_t> data) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    constexpr std::size_t kLineLength = 75;
    const std::size_t lines = (data.size() + 15) / 16;
    std::string out(lines * kLineLength, ' ');
    for (std::size_t line = 0; line < lines; ++line) {
        char* p = out.data() + line * kLineLength;
        const std::size_t offset = line * 16;
        // Record data is at most 4976 bytes, so four hex places always suffice.
        std::memcpy(p, "0x0000", 6);
        for (int digit = 0; digit < 4; ++digit)
            p[5 - digit] = kHex[(offset >> (4 * digit)) & 0xF];
        const std::size_t count = std::min<std::size_t>(16, data.size() - offset);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t b = data[offset + i];
            p[8 + 3 * i] = kHex[b >> 4];
            p[9 + 3 * i] = kHex[b & 0xF];
            p[57 + i] = (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
        }
        p[73] = '\r';
        p[74] = '\n';
    }
    return out;
}

std::string RenderAsciiText(std::span<const std::uint8_t> data) {
    constexpr int kLineEnd = 80;
    std::string out;
    if (data.empty()) return out;  // no byte, so no line end either
    int column = 26;
    int lines = 0;
    auto produce = [&](char c) {
        out.push_back(c);
        ++column;
        if (column == kLineEnd) {
            out.push_back('\n');
            ++lines;
            column = static_cast<int>(out.size());
        }
    };
    for (const std::uint8_t b : data) {
        if (lines == 2) break;
        if (b == '\t') {
            do produce(' ');
            while (column % 8 != 0 && lines < 2);
        } else {
            produce((b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.');
        }
    }
    if (lines < 2 && (out.empty() || out.back() != '\n')) out.push_back('\n');
    return out;
}

std::unique_ptr<CTraceRecord> BuildRecord(std::span<const std::uint8_t> raw) {
    const std::uint16_t type = RecordTypeOf(raw);
    std::unique_ptr<CTraceRecord> record;
    const std::uint32_t n = DataLength(raw);
    switch (type) {
        case kAsciiRecord: record = std::make_unique<CAsciiRecord>(n); break;
        case kHexRecord: record = std::make_unique<CTraceRecord>(n); break;
        case kDChannelRecord: record = std::make_unique<CDChannelRecord>(n); break;
        default: return nullptr;  // types 4 to 6: framed, but no record class
    }
    record->SetData(raw.subspan(DataOffset(type), n));
    record->Decode(raw, kDecodeOptions);
    record->SetHeaderCopy(raw);
    return record;
}

}  // namespace trace
