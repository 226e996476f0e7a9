#pragma once
// The texts of the statistics window, made from the document's statistics
// copies: what the window's form and trctool stats show.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace adapter {

struct LineStatisticsCopy;
struct LinkStatisticsCopy;

// "%d:%2d:%2d" of hours (modulo 99), minutes and seconds of a time in
// hundredths of a second: 366100 gives "1: 1: 1".
std::string FormatElapsed(std::uint32_t hundredths);

// 75 "ISDN S/T Interface", 76 "ISDN U Interface", else empty.
std::string_view LineTypeText(std::uint8_t type);
// 76 "LAPD", 63 "ISDN signaling", else empty.
std::string_view LinkTypeText(std::uint8_t type);

struct StatisticsRow {
    std::string_view label;  // as in the window: "In Octets:", "Out Octets", ...
    std::string text;
};

inline constexpr std::size_t kLinkStatisticsRows = 13;

std::array<StatisticsRow, 2> LineStatisticsRows(const LineStatisticsCopy& line);
std::array<StatisticsRow, kLinkStatisticsRows> LinkStatisticsRows(const LinkStatisticsCopy& link);

}  // namespace adapter
