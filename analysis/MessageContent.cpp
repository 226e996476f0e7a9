#include "analysis/MessageContent.h"

#include <array>

#include "decode/ElementWalk.h"
#include "decode/ProtocolNames.h"

namespace analysis {
namespace {

constexpr std::uint8_t kChannelId = decode::ElementId("CHANNEL ID");
constexpr std::uint8_t kKeypadId = decode::ElementId("KEYPAD FACILITY");
constexpr std::uint8_t kCallingId = decode::ElementId("CALLING NUMBER");
constexpr std::uint8_t kCalledId = decode::ElementId("CALLED NUMBER");

// Digits of a number element, printable ones only.
std::string Digits(std::span<const std::uint8_t> digits) {
    std::string text;
    for (const std::uint8_t octet : digits) {
        const char c = static_cast<char>(octet & 0x7F);
        if (c >= 0x20 && c < 0x7F) text.push_back(c);
    }
    return text;
}

}  // namespace

std::string BearerWords(const decode::BearerValue& bearer) {
    if (bearer.codingStandard != 0) return "non-ITU coding";
    const std::uint8_t mode = bearer.mode.value_or(0);
    const std::uint8_t rate = bearer.rate.value_or(0);
    switch (bearer.capability) {
        case 0x00: return "speech";
        case 0x10: return "3.1 kHz audio";
        case 0x11: return "7 kHz audio";
        case 0x18: return "video";
        case 0x08:
        case 0x09: {
            const char* kind = bearer.capability == 0x08 ? "data" : "restricted data";
            if (mode == 2) return std::string("packet ") + kind;
            switch (rate) {
                case 0x10: return std::string("64 kbit/s ") + kind;
                case 0x11: return std::string("2x64 kbit/s ") + kind;
                case 0x13: return std::string("384 kbit/s ") + kind;
                case 0x18: return std::string("multirate ") + kind;
                default: return kind;
            }
        }
        default: return "other bearer";
    }
}

std::string ChannelWords(const decode::ChannelValue& channel) {
    if (channel.dChannel) return "D";
    if (channel.otherInterface) return channel.number ? "B" + std::to_string(*channel.number) : "any";
    static constexpr std::array<const char*, 4> kBasic = {"none", "B1", "B2", "any"};
    return kBasic[channel.selection & 0x03];
}

MessageContent ReadMessageContent(std::span<const std::uint8_t> frame, std::size_t headerLength) {
    MessageContent c;
    std::array<int, 8> last{};
    last.fill(-1);
    decode::WalkElements(frame, headerLength, [&](const decode::Element& e) {
        if (e.singleOctet) {
            if (e.codeset == 0) c.present[(e.id & 0xF0) == 0xA0 ? e.id : (e.id & 0xF0)] = true;
            return true;  // single-octet elements may stand anywhere
        }
        const std::size_t codeset = static_cast<std::size_t>(e.codeset) & 0x07;
        if (e.id < last[codeset] && !c.orderBreak) {
            c.orderBreak = std::pair<std::uint8_t, std::uint8_t>(static_cast<std::uint8_t>(last[codeset]), e.id);
        }
        last[codeset] = e.id;
        if (e.codeset != 0) return true;
        c.present[e.id] = true;
        const decode::ElementValues values = decode::ValuesOf(e);
        if (values.bearer && c.bearer.empty()) c.bearer = BearerWords(*values.bearer);
        if (values.cause && !c.cause) c.cause = values.cause;
        if (e.id == kChannelId) c.channel = values.channel ? ChannelWords(*values.channel) : std::string();
        if (values.digits) {
            if (e.id == kKeypadId) c.keypad = Digits(*values.digits);
            if (e.id == kCallingId) c.calling = Digits(*values.digits);
            if (e.id == kCalledId) c.called = Digits(*values.digits);
        }
        return true;
    });
    return c;
}

}  // namespace analysis
