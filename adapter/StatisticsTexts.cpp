#include "adapter/StatisticsTexts.h"

#include <cstdio>

#include "adapter/MarloTrcDoc.h"

namespace adapter {

namespace {

std::string Signed(std::uint32_t value) {
    return std::to_string(static_cast<std::int32_t>(value));
}

}  // namespace

std::string FormatElapsed(std::uint32_t hundredths) {
    const unsigned seconds = (hundredths / 100) % 60;
    const unsigned minutes = (hundredths / 6000) % 60;
    const unsigned hours = (hundredths / 360000) % 99;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%2u:%2u", hours, minutes, seconds);
    return text;
}

std::string_view LineTypeText(std::uint8_t type) {
    switch (type) {
        case 75: return "ISDN S/T Interface";
        case 76: return "ISDN U Interface";
        default: return "";
    }
}

std::string_view LinkTypeText(std::uint8_t type) {
    switch (type) {
        case 76: return "LAPD";
        case 63: return "ISDN signaling";
        default: return "";
    }
}

std::array<StatisticsRow, 2> LineStatisticsRows(const LineStatisticsCopy& line) {
    return {{
        {"Line Type:", std::string(LineTypeText(line.lineType))},
        {"Line Last Changed:", FormatElapsed(line.lastChanged)},
    }};
}

std::array<StatisticsRow, kLinkStatisticsRows> LinkStatisticsRows(const LinkStatisticsCopy& link) {
    return {{
        {"Type:", std::string(LinkTypeText(link.linkType))},
        {"Last Changed:", FormatElapsed(link.lastChanged)},
        {"MTU:", Signed(link.mtu)},
        {"In Octets:", Signed(link.inOctets)},
        {"In Packets:", Signed(link.inPackets)},
        {"In Packet Total:", Signed(link.inPacketTotal)},
        {"In Discards:", Signed(link.inDiscards)},
        {"In Errors:", Signed(link.inErrors)},
        {"Out Octets", Signed(link.outOctets)},
        {"Out Packets:", Signed(link.outPackets)},
        {"Out Packet Total:", Signed(link.outPacketTotal)},
        {"Out Discards:", Signed(link.outDiscards)},
        {"Out Errors:", Signed(link.outErrors)},
    }};
}

}  // namespace adapter
