#include "analysis/MessageContent.h"

#include <array>

#include "decode/ElementWalk.h"

namespace analysis {
namespace {

// Digits of a number element: the octets from `from` on, printable ones only.
std::string Digits(std::span<const std::uint8_t> body, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < body.size(); ++i) {
        const char c = static_cast<char>(body[i] & 0x7F);
        if (c >= 0x20 && c < 0x7F) text.push_back(c);
    }
    return text;
}

}  // namespace

std::string BearerWords(std::span<const std::uint8_t> body) {
    if (body.empty()) return {};
    if (((body[0] >> 5) & 0x03) != 0) return "non-ITU coding";
    const std::uint8_t capability = body[0] & 0x1F;
    const std::uint8_t mode = body.size() > 1 ? (body[1] >> 5) & 0x03 : 0;
    const std::uint8_t rate = body.size() > 1 ? body[1] & 0x1F : 0;
    switch (capability) {
        case 0x00: return "speech";
        case 0x10: return "3.1 kHz audio";
        case 0x11: return "7 kHz audio";
        case 0x18: return "video";
        case 0x08:
        case 0x09: {
            const char* kind = capability == 0x08 ? "data" : "restricted data";
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

std::string ChannelWords(std::span<const std::uint8_t> body) {
    if (body.empty()) return {};
    const std::uint8_t octet3 = body[0];
    if (octet3 & 0x04) return "D";
    if (octet3 & 0x20) {
        // Other interfaces: the channel number is the last octet.
        if (body.size() < 3) return "any";
        return "B" + std::to_string(body.back() & 0x7F);
    }
    static constexpr std::array<const char*, 4> kBasic = {"none", "B1", "B2", "any"};
    return kBasic[octet3 & 0x03];
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
        const std::span<const std::uint8_t> body = e.body.Rest();
        switch (e.id) {
            case 0x04:
                if (c.bearer.empty()) c.bearer = BearerWords(body);
                break;
            case 0x08:
                if (!c.cause && !body.empty()) {
                    const std::size_t at = (body[0] & 0x80) ? 1 : 2;
                    if (body.size() > at) c.cause = body[at] & 0x7F;
                }
                break;
            case 0x18:
                c.channel = ChannelWords(body);
                break;
            case 0x2C:
                c.keypad = Digits(body, 0);
                break;
            case 0x6C:
                if (!body.empty()) c.calling = Digits(body, (body[0] & 0x80) ? 1 : 2);
                break;
            case 0x70:
                c.called = Digits(body, 1);
                break;
            default:
                break;
        }
        return true;
    });
    return c;
}

}  // namespace analysis
