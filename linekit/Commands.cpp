// The line and link commands: each builds one group-2 adapter message and
// writes it; the adapter's answer comes back through the monitor thread.

#include <array>
#include <cstring>
#include <vector>

#include "linekit/Internal.h"

namespace linekit {
namespace {

constexpr std::size_t kMaxConfigText = 127;
constexpr std::size_t kMaxConfigTexts = 274;  // both texts with their paddings

// Writes a command: the 16-byte header, an optional extra header word (trace
// control's mode) and the data.
std::uint32_t WriteCommand(TpxHandle device, std::uint32_t clientId, std::uint32_t connectionId,
                           std::uint32_t opcode, std::uint32_t address,
                           std::span<const std::uint8_t> data = {}, const std::uint32_t* mode = nullptr) {
    const std::size_t headerLength = mode ? kTraceHeaderLength : kLineHeaderLength;
    std::vector<std::uint8_t> message;
    Appender out(message, ByteOrder::Little);
    out.U16(TPX_GROUP_LINE);
    out.U16(kHeaderConstant);
    out.U32(opcode);
    out.U32(0);  // result
    out.U32(address);
    if (mode) out.U32(*mode);
    out.Bytes(data);
    return TpxWrite(device, clientId, connectionId, kWriteMessageType, static_cast<std::uint16_t>(headerLength),
                    static_cast<std::uint16_t>(data.size()), message.data());
}

std::size_t Padding(std::size_t textLength) { return (4 - (2 + textLength) % 4) % 4; }

}  // namespace

// The link configuration elements: 0xFA (second text), 0xFB (empty), 0xFC
// (first text), each element padded to a multiple of 4 and 8 zero bytes
// after them, which the declared data length counts.
std::vector<std::uint8_t> LinkConfigData(std::string_view firstText, std::string_view secondText) {
    const std::size_t p1 = Padding(firstText.size());
    const std::size_t p2 = Padding(secondText.size());
    std::vector<std::uint8_t> data(24 + firstText.size() + p1 + secondText.size() + p2, 0);
    const std::uint8_t lead[8] = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00};
    std::copy(std::begin(lead), std::end(lead), data.begin());
    std::size_t at = 8;
    data[at++] = 0xFA;
    data[at++] = static_cast<std::uint8_t>(secondText.size());
    std::memcpy(data.data() + at, secondText.data(), secondText.size());
    at += secondText.size() + p2;
    data[at] = 0xFB;  // then a zero length and 2 padding bytes
    at += 4;
    data[at++] = 0xFC;
    data[at++] = static_cast<std::uint8_t>(firstText.size());
    std::memcpy(data.data() + at, firstText.data(), firstText.size());
    return data;
}

}  // namespace linekit

using namespace linekit;

#define TPX_LINE_COMMAND(Name, opcode)                                                           \
    TPX_API uint32_t Name(TpxHandle device, uint32_t clientId, uint32_t connectionId) {          \
        return Guarded([&] { return WriteCommand(device, clientId, connectionId, opcode, TPX_LINE_ADDRESS); }); \
    }
#define TPX_LINK_COMMAND(Name, opcode)                                                                 \
    TPX_API uint32_t Name(TpxHandle device, uint32_t clientId, uint32_t connectionId, uint32_t link) { \
        return Guarded([&] { return WriteCommand(device, clientId, connectionId, opcode, LinkAddress(link)); }); \
    }

extern "C" {

TPX_LINE_COMMAND(TpxLineEnable, TPX_OP_LINE_ENABLE)
TPX_LINE_COMMAND(TpxLineDisable, TPX_OP_LINE_DISABLE)
TPX_LINE_COMMAND(TpxLineGetStatus, TPX_OP_LINE_GET_STATUS)
TPX_LINE_COMMAND(TpxLineGetStatistics, TPX_OP_LINE_GET_STATISTICS)
TPX_LINE_COMMAND(TpxLineZeroStatistics, TPX_OP_LINE_ZERO_STATISTICS)
TPX_LINK_COMMAND(TpxLinkGetStatus, TPX_OP_LINK_GET_STATUS)
TPX_LINK_COMMAND(TpxLinkGetStatistics, TPX_OP_LINK_GET_STATISTICS)
TPX_LINK_COMMAND(TpxLinkZeroStatistics, TPX_OP_LINK_ZERO_STATISTICS)

TPX_API uint32_t TpxLineTraceControlEnable(TpxHandle device, uint32_t clientId, uint32_t connectionId) {
    return Guarded([&] {
        return WriteCommand(device, clientId, connectionId, TPX_OP_TRACE_CONTROL, TPX_LINE_ADDRESS, {},
                            &kTraceModeOn);
    });
}

TPX_API uint32_t TpxLineTraceControlDisable(TpxHandle device, uint32_t clientId, uint32_t connectionId) {
    return Guarded([&] {
        return WriteCommand(device, clientId, connectionId, TPX_OP_TRACE_CONTROL, TPX_LINE_ADDRESS, {},
                            &kTraceModeOff);
    });
}

TPX_API uint32_t TpxLineSetConfig(TpxHandle device, uint32_t clientId, uint32_t connectionId, uint32_t value) {
    return Guarded([&] {
        std::array<std::uint8_t, 4> data{};
        Put<0>(data, static_cast<std::uint16_t>(value & 0xFFFFu));
        return WriteCommand(device, clientId, connectionId, TPX_OP_LINE_SET_CONFIG, TPX_LINE_ADDRESS, data);
    });
}

TPX_API uint32_t TpxLinkSetConfig(TpxHandle device, uint32_t clientId, uint32_t connectionId,
                                  const char* firstText, const char* secondText, uint32_t link) {
    return Guarded([&]() -> std::uint32_t {
        if (!firstText || !secondText) return TPX_ERROR_INVALID_PARAMETER;
        // Measured with a bound, so an unterminated text is never overrun;
        // texts too long for one Write are refused instead of overflowing it.
        const std::size_t l1 = ::strnlen(firstText, kMaxConfigText + 1);
        const std::size_t l2 = ::strnlen(secondText, kMaxConfigText + 1);
        if (l1 > kMaxConfigText || l2 > kMaxConfigText ||
            l1 + Padding(l1) + l2 + Padding(l2) > kMaxConfigTexts)
            return TPX_ERROR_INVALID_PARAMETER;
        const auto data = LinkConfigData({firstText, l1}, {secondText, l2});
        return WriteCommand(device, clientId, connectionId, TPX_OP_LINK_SET_CONFIG, LinkAddress(link), data);
    });
}

}  // extern "C"
