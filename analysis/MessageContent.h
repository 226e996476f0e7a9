#pragma once
// What the call analysis reads from the elements of one Q.931 message, in one
// walk: which codeset-0 elements are present, the first break of their
// ascending order, and the values a call keeps (numbers, bearer, channel,
// cause), as the decoder's element rows read them. Bounds-safe like every element decoder; any thread.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "decode/Elements.h"

namespace analysis {

struct MessageContent {
    // Codeset-0 elements present: variable-length ones by identifier,
    // single-octet ones by their high four bits (0xA_ by the whole octet).
    std::bitset<256> present;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> orderBreak;  // (earlier id, later smaller id)
    std::string bearer;
    std::string channel;
    std::string calling;
    std::string called;
    std::string keypad;
    std::optional<std::uint8_t> cause;
};

MessageContent ReadMessageContent(std::span<const std::uint8_t> frame, std::size_t headerLength);

// Words for a bearer capability and a channel identification, as the call
// table shows them.
std::string BearerWords(const decode::BearerValue& bearer);
std::string ChannelWords(const decode::ChannelValue& channel);

}  // namespace analysis
