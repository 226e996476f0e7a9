#include "trace/TraceRecord.h"

#include <algorithm>
#include <cstring>

namespace trace {

int CTraceRecord::FormatHexDump(std::string& out) const {
    out.clear();
    AppendHexDump(out, m_data);
    return 1;
}

std::string_view CTraceRecord::GetMnemonic() const {
    switch (GetType()) {
        case tracefile::kAsciiRecord: return "ASC";
        case tracefile::kDChannelRecord: return "DCH";
        default: return {};
    }
}

decode::FrameSummary CTraceRecord::Summary(std::uint32_t mask) const {
    if (!IsDChannel()) return {};
    return decode::DecodeFrame(m_data, GetFlags(), mask);
}

namespace {
// The row texts need no element count, so they skip the element walk.
constexpr std::uint32_t kTextMask = decode::kDecodeMask & ~decode::kDecodeInfoElements;
}  // namespace

#define MARLO_FRAME_TEXT(Name, SummaryName)                             \
    std::string CTraceRecord::Name() const {                            \
        return IsDChannel() ? Summary(kTextMask).SummaryName() : std::string(); \
    }
MARLO_FRAME_TEXT(GetSource, Source)
MARLO_FRAME_TEXT(GetAddress, Address)
MARLO_FRAME_TEXT(GetFrameType, FrameType)
MARLO_FRAME_TEXT(GetPollFinal, PollFinal)
MARLO_FRAME_TEXT(GetNS, NS)
MARLO_FRAME_TEXT(GetNR, NR)
MARLO_FRAME_TEXT(GetCallReference, CallReference)
#undef MARLO_FRAME_TEXT

std::string CTraceRecord::GetMessage() const {
    switch (GetType()) {
        case tracefile::kAsciiRecord: return RenderAsciiText(m_data);
        case tracefile::kDChannelRecord: return Summary(kTextMask).Message();
        default: return {};
    }
}

int CTraceRecord::HasLayer3() const { return IsDChannel() && Summary(kTextMask).HasLayer3() ? 1 : 0; }

int CTraceRecord::GetItemCount() const { return static_cast<int>(Summary().ItemCount()); }

std::optional<DecodeItem> CTraceRecord::GetItem(int position) const {
    if (position < 0 || !IsDChannel()) return std::nullopt;
    return Summary().Item(m_data, static_cast<std::uint32_t>(position));
}

std::string FormatHexDump(std::span<const std::uint8_t> data) {
    std::string out;
    AppendHexDump(out, data);
    return out;
}

void AppendHexDump(std::string& out, std::span<const std::uint8_t> data, std::string_view indent,
                   std::string_view lineEnd) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    constexpr std::size_t kText = 73;  // offset, sixteen bytes in hex, sixteen characters
    const std::size_t lineLength = indent.size() + kText + lineEnd.size();
    const std::size_t lines = (data.size() + 15) / 16;
    const std::size_t start = out.size();
    out.resize(start + lines * lineLength, ' ');
    for (std::size_t line = 0; line < lines; ++line) {
        char* p = out.data() + start + line * lineLength + indent.size();
        if (!indent.empty()) std::memcpy(p - indent.size(), indent.data(), indent.size());
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
        if (!lineEnd.empty()) std::memcpy(p + kText, lineEnd.data(), lineEnd.size());
    }
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

}  // namespace trace
